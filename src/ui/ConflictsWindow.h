#pragma once
// The conflicts window: for each of the five situations the rule (keep the
// changed file or carry the operation out) and whether to ask. It closes
// with the tag of its button; OK (100) stores into the current session.
#include "uimodel/ConflictsForm.h"

#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QPushButton;

namespace qm {

class ConflictsWindow : public QDialog {
    Q_OBJECT
public:
    explicit ConflictsWindow(QWidget *parent = nullptr);

    // SetConflictsPanes, then shown window-modal; false without a session.
    bool openFor(const QVariantMap &document);
    // ConflictsApply: the outcome of closing with `code` (Beep: nothing stored).
    ConflictsForm::Outcome apply(int code, QVariantMap &document) const { return m_form.apply(code, document); }

    QButtonGroup *ruleGroup(int rule) const { return m_groups.at(size_t(rule)); }
    QCheckBox *askBox(int rule) const { return m_asks.at(size_t(rule)); }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    ConflictsForm m_form;
    std::array<QButtonGroup *, ConflictsForm::kRuleCount> m_groups{};
    std::array<QCheckBox *, ConflictsForm::kRuleCount> m_asks{};
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace qm
