#include "ui/PrivilegeAlerts.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace qm {

void applyRunAsRootAvailability(QCheckBox *box, bool euidRoot, const QString &tool)
{
    // Turning off needs no service: a root process gives its file back itself.
    const bool usable = euidRoot || PrivilegeChange::escalationAvailable(tool);
    box->setEnabled(usable);
    box->setToolTip(usable ? QString() : PrivilegeChange::unavailableText());
}

bool showPrivilegeOutcome(const PrivilegeOutcome &outcome, QWidget *parent)
{
    if (outcome.kind == PrivilegeOutcome::Kind::TurnedOn)
        return true;
    if (outcome.title().isEmpty())
        return false;
    QMessageBox box(QMessageBox::Warning, outcome.title(), outcome.message(), QMessageBox::NoButton, parent);
    const QStringList buttons = outcome.buttons();
    QPushButton *first = nullptr;
    for (const QString &text : buttons) {
        QPushButton *b = box.addButton(text, first ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (!first)
            first = b;
    }
    box.setDefaultButton(first);
    box.exec();
    // "Quit Now" is the first of the two-button alerts.
    return buttons.size() == 2 && box.clickedButton() == first;
}

} // namespace qm
