#pragma once
// The options a task is scanned and copied with: the session's flags, the
// run-wide settings taken from the preferences, and the process identity.
#include <QVariantMap>

namespace qm {

// One conflict situation: the rule flag (its radio key holds 2) and the ask
// flag (its check-box key holds 1). A rule on with ask off carries out the
// planned operation without looking for a conflict; otherwise a conflict is
// asked when `ask` is on and skipped when it is off.
struct ConflictRule {
    bool rule = false;
    bool ask = false;
    bool bypassesConflicts() const { return rule && !ask; }
};

struct SessionSettings {
    // Session flags (keys settTask, settExact, ... on when 1).
    bool isSyncOn = false;
    bool isExactOn = false;
    bool isUnlockOn = false;
    bool isInvisibleOn = false;
    bool isResolveAliasOn = false;
    bool isResolveSymLinkOn = false;
    bool isNewItemsOnly = false;
    bool isSkipEmptyFolders = false;
    bool isMoveToTrash = false;
    bool isFilterOn = false;
    bool isExcludeOn = false;
    bool changePermissions = false; // settCPOn
    int cpOwner = -1, cpGroup = -1, cpOthers = -1;

    ConflictRule conflictSync;        // a file changed on both sides
    ConflictRule conflictBackup;      // source newer, destination changed
    ConflictRule conflictBackup2;     // destination newer than source
    ConflictRule conflictExactBackup; // destination-only file changed
    ConflictRule conflictExactSync;   // deleted on one side, changed on other

    // Run-wide, from the preferences.
    int modificationDelta = 0; // date tolerance in whole seconds
    bool makeDetailedLog = false; // prefLogKind 2
    bool makeErrorsLog = false;   // prefLogKind 3

    // Process identity.
    bool euidRoot = false;

    // Loads the session flags and conflict flags from a session record; the
    // run-wide and process fields are left as they are.
    void loadSession(const QVariantMap &session);
    // Loads the run-wide fields from the preferences dictionary.
    void loadPreferences(const QVariantMap &prefs);
};

} // namespace qm
