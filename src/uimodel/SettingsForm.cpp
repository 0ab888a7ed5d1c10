#include "uimodel/SettingsForm.h"

#include "app/SessionDefaults.h"
#include "platform/Messages.h"

namespace qm {

namespace {

constexpr const char *kCheckKeys[SettingsForm::CheckCount] = {
    "settExact",       "settInvisibleItems", "settLockedItems",      "settResolveAlias",
    "settResolveSymLink", "settNewItemsOnly", "settSkipEmptyFolders", "settMoveToTrash",
};
constexpr const char *kPermissionKeys[3] = {"settCPPopOwner", "settCPPopGroup", "settCPPopOthers"};

int currentSession(const QVariantMap &doc)
{
    const int index = doc.value(QStringLiteral("sessionIndex")).toInt();
    const int n = int(doc.value(QStringLiteral("sessionsArray")).toList().size());
    return index >= 0 && index < n ? index : -1;
}

} // namespace

const char *SettingsForm::checkKey(Check check) { return kCheckKeys[check]; }

QString SettingsForm::checkTitle(Check check)
{
    switch (check) {
    case Exact: return GLS("Exact Sync");
    case InvisibleItems: return GLS("Invisible items");
    case LockedItems: return GLS("Locked items");
    case ResolveAlias: return GLS("Resolve aliases");
    case ResolveSymLink: return GLS("Resolve symbolic links");
    case NewItemsOnly: return GLS("New items only");
    case SkipEmptyFolders: return GLS("Skip empty folders");
    case MoveToTrash: return GLS("Move to Trash");
    case CheckCount: break;
    }
    return QString();
}

bool SettingsForm::SetSettingsPanes(const QVariantMap &document)
{
    const int index = currentSession(document);
    if (index < 0)
        return false;
    const QVariantMap s = document.value(QStringLiteral("sessionsArray")).toList().at(index).toMap();
    m_task = s.value(QStringLiteral("settTask"), 1).toInt();
    for (int c = 0; c < CheckCount; ++c)
        m_checks[c] = s.value(QLatin1String(kCheckKeys[c])).toInt() != 0;
    m_cpOn = s.value(QStringLiteral("settCPOn")).toInt() != 0;
    for (int c = 0; c < 3; ++c)
        m_cp[c] = s.value(QLatin1String(kPermissionKeys[c])).toInt();
    return true;
}

QString SettingsForm::exactTitle() const
{
    return m_task == int(SessionTask::Backup) ? GLS("Exact Backup") : GLS("Exact Sync");
}

QString SettingsForm::exactToolTip() const
{
    return m_task == int(SessionTask::Backup)
               ? GLS("Deletes, from the destination folder, all the items not longer existing in the source folder")
               : GLS("Deletes, from a folder, all the items not longer existing in its specular folder");
}

void SettingsForm::GetSettingsPanes(QVariantMap &document) const
{
    const int index = currentSession(document);
    if (index < 0)
        return;
    QVariantList list = document.value(QStringLiteral("sessionsArray")).toList();
    QVariantMap s = list.at(index).toMap();
    s.insert(QStringLiteral("settTask"), qlonglong(m_task));
    for (int c = 0; c < CheckCount; ++c)
        s.insert(QLatin1String(kCheckKeys[c]), qlonglong(m_checks[c] ? 1 : 0));
    s.insert(QStringLiteral("settCPOn"), qlonglong(m_cpOn ? 1 : 0));
    for (int c = 0; c < 3; ++c)
        s.insert(QLatin1String(kPermissionKeys[c]), qlonglong(m_cp[c]));
    list[index] = s;
    document.insert(QStringLiteral("sessionsArray"), list);
}

SettingsForm::ApplyResult SettingsForm::SettingsApply(int buttonTag, bool optionKey, QVariantMap &document,
                                                      bool runUnderway) const
{
    if (buttonTag == kCancelTag)
        return {false, false};
    if (runUnderway)
        return {false, true};
    GetSettingsPanes(document);
    return {true, optionKey};
}

} // namespace qm
