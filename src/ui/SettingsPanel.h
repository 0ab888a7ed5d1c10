#pragma once
// The session settings panel: shows a SettingsForm and passes the user's
// changes to it. Apply stores and goes back to the console; "Apply and
// Stay" (or Alt held) stores and stays; Cancel goes back without storing.
#include "uimodel/SettingsForm.h"

#include <QVariantMap>
#include <QWidget>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QPushButton;

namespace qm {

class SettingsPanel : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPanel(QWidget *parent = nullptr);

    // SetSettingsPanes: shows the document's current session.
    void fill(const QVariantMap &document);
    // SettingsApply with the button's tag (SettingsForm::kCancelTag for Cancel).
    SettingsForm::ApplyResult apply(int buttonTag, bool optionKey, QVariantMap &document, bool runUnderway) const
    {
        return m_form.SettingsApply(buttonTag, optionKey, document, runUnderway);
    }

    QCheckBox *checkBox(SettingsForm::Check check) const { return m_boxes[check]; }
    QButtonGroup *taskGroup() const { return m_task; }
    QCheckBox *changePermissions() const { return m_cp; }
    QComboBox *permissionPopup(SettingsForm::PermissionClass c) const { return m_cpPops[size_t(c)]; }
    QPushButton *applyButton() const { return m_apply; }
    QPushButton *applyAndStayButton() const { return m_stay; }
    QPushButton *cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // A button was pressed; `optionKey`: Alt was held (or "Apply and Stay").
    void buttonPressed(int buttonTag, bool optionKey);

private:
    SettingsForm m_form;
    QButtonGroup *m_task = nullptr;
    std::array<QCheckBox *, SettingsForm::CheckCount> m_boxes{};
    QCheckBox *m_cp = nullptr;
    std::array<QComboBox *, 3> m_cpPops{};
    QPushButton *m_apply = nullptr, *m_stay = nullptr, *m_cancel = nullptr;

    void showForm(); // the form's values in the controls
    void showTask();
};

} // namespace qm
