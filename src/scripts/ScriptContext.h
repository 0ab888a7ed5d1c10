#pragma once
// The session's context as a script sees it, in environment variables:
//
//   QUILLMERE_HOOK            "before" (start script) or "after" (end script)
//   QUILLMERE_SESSION_NAME    the session's name
//   QUILLMERE_SESSION_INDEX   its position in the document, from 0
//   QUILLMERE_SOURCE          the source folder (the first pair's, when the
//   QUILLMERE_DESTINATION     the destination folder  folder-pair list is on)
//   QUILLMERE_PAIR_COUNT      how many folder pairs the session has (1 without the list)
//   QUILLMERE_SOURCE_<n>, QUILLMERE_DESTINATION_<n>   pair n, from 1
//   QUILLMERE_TASK            "sync" or "backup"
//   QUILLMERE_EXACT           "1" for an exact task, else "0"
//   QUILLMERE_TRIGGER         "button", "timer" or "sync-and-quit"
//   QUILLMERE_ERRORS          after-script only: the session's error count so far
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QVariantMap>

namespace qm {

struct ScriptContext {
    enum class Hook { Before, After };

    QString sessionName;
    int sessionIndex = 0;
    QList<QPair<QString, QString>> folderPairs;
    int task = 1;        // settTask: 1 sync, 2 backup
    bool exact = false;
    int executedBy = 1;  // 1 button, 2 timer, 3 Sync And Quit
    int errorCount = 0;  // shown to the after-script only

    static ScriptContext fromSession(const QVariantMap &session, int sessionIndex, int executedBy);
    // `base` with the QUILLMERE_* variables set (stale ones removed).
    QProcessEnvironment environment(const QProcessEnvironment &base, Hook hook) const;
};

} // namespace qm
