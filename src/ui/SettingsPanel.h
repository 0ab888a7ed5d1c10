#pragma once
// The session settings panel: the task, eight options and the permissions
// given to copies. Apply stores and goes back to the console; "Apply and
// Stay" (or Alt held) stores and stays; Cancel goes back without storing.
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
    // The stored keys of the eight check boxes, in the panel's order.
    static const std::array<const char *, 8> &checkBoxKeys();

    explicit SettingsPanel(QWidget *parent = nullptr);

    // SetSettingsPanes / GetSettingsPanes.
    void fill(const QVariantMap &session);
    void store(QVariantMap *session) const;

    QCheckBox *checkBox(const char *key) const;
    QButtonGroup *taskGroup() const { return m_task; }
    QCheckBox *changePermissions() const { return m_cp; }
    QComboBox *permissionPopup(int which) const { return m_cpPops[size_t(which)]; }
    QPushButton *applyButton() const { return m_apply; }
    QPushButton *applyAndStayButton() const { return m_stay; }
    QPushButton *cancelButton() const { return m_cancel; }

Q_SIGNALS:
    // `stored`: the user applied; `stay`: the panel stays shown.
    void finished(bool stored, bool stay);

private:
    QButtonGroup *m_task = nullptr;
    std::array<QCheckBox *, 8> m_boxes{};
    QCheckBox *m_cp = nullptr;
    std::array<QComboBox *, 3> m_cpPops{};
    QPushButton *m_apply = nullptr, *m_stay = nullptr, *m_cancel = nullptr;

    void SettingsSetTask(int task);
    void SettChangePermissions(bool on);
};

} // namespace qm
