#include "ui/PrivilegeAlerts.h"

#include "ui/Dialogs.h"

#include <QCheckBox>
#include <QMessageBox>

namespace qm {

void applyRunAsRootAvailability(QCheckBox *box, bool euidRoot, const QString &tool)
{
    // Turning off needs no service: a root process gives its file back itself.
    const bool usable = euidRoot || PrivilegeChange::escalationAvailable(tool);
    box->setEnabled(usable);
    box->setToolTip(usable ? QString() : PrivilegeChange::unavailableText());
}

bool showPrivilegeOutcome(const PrivilegeOutcome &outcome, Dialogs &dialogs, QWidget *parent)
{
    if (outcome.kind == PrivilegeOutcome::Kind::TurnedOn)
        return true;
    if (outcome.title().isEmpty())
        return false;
    const QStringList buttons = outcome.buttons();
    const int chosen = dialogs.alert(parent, QMessageBox::Warning, outcome.title(), outcome.message(), buttons);
    // "Quit Now" is the first of the two-button alerts.
    return buttons.size() == 2 && chosen == 0;
}

} // namespace qm
