#include "engine/SessionSettings.h"

namespace qm {

namespace {

bool isOne(const QVariantMap &m, const char *key)
{
    return m.value(QString::fromLatin1(key)).toInt() == 1;
}

ConflictRule rule(const QVariantMap &m, const char *radioKey, const char *askKey)
{
    return {m.value(QString::fromLatin1(radioKey)).toInt() == 2, isOne(m, askKey)};
}

} // namespace

void SessionSettings::loadSession(const QVariantMap &s)
{
    isSyncOn = isOne(s, "settTask");
    isExactOn = isOne(s, "settExact");
    isUnlockOn = isOne(s, "settLockedItems");
    isInvisibleOn = isOne(s, "settInvisibleItems");
    isResolveAliasOn = isOne(s, "settResolveAlias");
    isResolveSymLinkOn = isOne(s, "settResolveSymLink");
    isNewItemsOnly = isOne(s, "settNewItemsOnly");
    isSkipEmptyFolders = isOne(s, "settSkipEmptyFolders");
    isMoveToTrash = isOne(s, "settMoveToTrash");
    isFilterOn = isOne(s, "filterOn");
    isExcludeOn = isOne(s, "excludeOn");
    changePermissions = isOne(s, "settCPOn");
    cpOwner = s.value(QStringLiteral("settCPPopOwner"), -1).toInt();
    cpGroup = s.value(QStringLiteral("settCPPopGroup"), -1).toInt();
    cpOthers = s.value(QStringLiteral("settCPPopOthers"), -1).toInt();
    conflictSync = rule(s, "conflictSyncRadio", "conflictSyncAsk");
    conflictBackup = rule(s, "conflictBackupRadio", "conflictBackupAsk");
    conflictBackup2 = rule(s, "conflictBackupRadio2", "conflictBackupAsk2");
    conflictExactBackup = rule(s, "conflictExactBackupRadio", "conflictExactBackupAsk");
    conflictExactSync = rule(s, "conflictExactSyncRadio", "conflictExactSyncAsk");
}

void SessionSettings::loadPreferences(const QVariantMap &p)
{
    const int logKind = p.value(QStringLiteral("prefLogKind")).toInt();
    makeDetailedLog = logKind == 2;
    makeErrorsLog = logKind == 3;
    const int field = p.value(QStringLiteral("prefModificationDeltaField")).toInt();
    modificationDelta = (isOne(p, "prefModificationDelta") && field > 0) ? field : 0;
}

} // namespace qm
