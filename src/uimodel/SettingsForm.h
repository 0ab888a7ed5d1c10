#pragma once
// The session settings panel: the task radio group, the eight check boxes
// and the change-permissions box with its three pop-ups. The form holds what
// the panel shows; nothing reaches the session before Apply.
#include <QString>
#include <QVariantMap>

#include <array>

namespace qm {

class SettingsForm {
public:
    enum Check {
        Exact,
        InvisibleItems,
        LockedItems,
        ResolveAlias,
        ResolveSymLink,
        NewItemsOnly,
        SkipEmptyFolders,
        MoveToTrash,
        CheckCount
    };
    enum class PermissionClass { Owner, Group, Others };
    static constexpr int kCancelTag = 99;

    static const char *checkKey(Check check);
    // The check box's title; the exact box's follows the task (exactTitle()).
    static QString checkTitle(Check check);

    // SetSettingsPanes: fills the form from session `index` of the document;
    // false (and nothing changes) when that is not a session.
    bool SetSettingsPanes(const QVariantMap &document);

    int task() const { return m_task; }
    // SettingsSetTask: the exact box is retitled at once, before anything is stored.
    void SettingsSetTask(int tag) { m_task = tag; }
    QString exactTitle() const;
    QString exactToolTip() const;

    bool isChecked(Check check) const { return m_checks[check]; }
    void setChecked(Check check, bool on) { m_checks[check] = on; }

    bool changePermissions() const { return m_cpOn; }
    // SettChangePermissions: the pop-ups are enabled while the box is on.
    void SettChangePermissions(bool on) { m_cpOn = on; }
    bool permissionPopUpsEnabled() const { return m_cpOn; }
    // The stored choice of a class (a tag of ChoiceListModel::permissionChoices()).
    int permission(PermissionClass c) const { return m_cp[size_t(c)]; }
    void setPermission(PermissionClass c, int tag) { m_cp[size_t(c)] = tag; }

    // GetSettingsPanes: stores the form into the document's current session.
    void GetSettingsPanes(QVariantMap &document) const;

    struct ApplyResult {
        bool stored = false;
        bool stayInPanel = false; // otherwise back to the console
    };
    // SettingsApply: the cancel button (tag 99) leaves without storing; any
    // other stores and leaves, or stays with the Option key. Nothing is
    // stored while a run is under way.
    ApplyResult SettingsApply(int buttonTag, bool optionKey, QVariantMap &document, bool runUnderway) const;

private:
    int m_task = 1;
    std::array<bool, CheckCount> m_checks{};
    bool m_cpOn = false;
    std::array<int, 3> m_cp{{0, 0, 0}};
};

} // namespace qm
