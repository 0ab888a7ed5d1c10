#include "ui/ConflictsWindow.h"

#include "platform/Messages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace qm {

namespace {
constexpr int kCancelTag = 99;
}

ConflictsWindow::ConflictsWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("conflicts"));
    setWindowTitle(GLS("Conflicts"));
    auto *layout = new QVBoxLayout(this);
    for (int r = 0; r < ConflictsForm::kRuleCount; ++r) {
        const ConflictsForm::Rule &rule = ConflictsForm::rule(r);
        QString title = GLS(rule.heading);
        if (rule.number)
            title += u' ' + QString::number(rule.number);
        auto *box = new QGroupBox(title, this);
        auto *rows = new QVBoxLayout(box);
        auto *group = new QButtonGroup(box);
        auto *keep = new QRadioButton(GLS(rule.keepLabel), box);
        auto *carry = new QRadioButton(GLS(rule.carryOutLabel), box);
        group->addButton(keep, ConflictsForm::kKeepValue);
        group->addButton(carry, ConflictsForm::kCarryOutValue);
        auto *ask = new QCheckBox(GLS("Ask"), box);
        ask->setObjectName(QString::fromLatin1(rule.askKey));
        box->setObjectName(QString::fromLatin1(rule.radioKey));
        connect(group, &QButtonGroup::idClicked, this, [this, r](int value) { m_form.setRadio(r, value); });
        connect(ask, &QCheckBox::toggled, this, [this, r](bool on) { m_form.setAsk(r, on); });
        rows->addWidget(keep);
        rows->addWidget(carry);
        rows->addWidget(ask);
        layout->addWidget(box);
        m_groups[size_t(r)] = group;
        m_asks[size_t(r)] = ask;
    }
    m_cancel = new QPushButton(GLS("Cancel"), this);
    m_ok = new QPushButton(GLS("OK"), this);
    m_ok->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(kCancelTag); });
    connect(m_ok, &QPushButton::clicked, this, [this] { done(ConflictsForm::kConfirmTag); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_ok);
    layout->addLayout(buttons);
}

bool ConflictsWindow::openFor(const QVariantMap &document)
{
    if (!m_form.SetConflictsPanes(document))
        return false;
    for (int r = 0; r < ConflictsForm::kRuleCount; ++r) {
        // A stored value that names no choice shows none and is kept.
        QButtonGroup *group = m_groups[size_t(r)];
        group->setExclusive(false);
        for (QAbstractButton *b : group->buttons())
            b->setChecked(group->id(b) == m_form.radio(r));
        group->setExclusive(true);
        const QSignalBlocker quiet(m_asks[size_t(r)]);
        m_asks[size_t(r)]->setChecked(m_form.ask(r));
    }
    open();
    return true;
}

} // namespace qm
