#pragma once
// What the run log is made from. The run driver fills one LogRun from its run
// records after the closing purge stage; MakeLog turns it into text. Plain
// data only: nothing here reads the disk or the preferences by itself.
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QTimeZone>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace qm {

// How a task folder is named in the log: "Folder" for an existing folder that
// is not a package or for nothing at all, "File" for a file or a package.
// Auto asks the disk (a plain directory test, which knows no packages), so a
// caller that can tell packages should say File or Folder itself.
enum class LogItemKind { Auto, Folder, File };

// One side's counters of a task ("gA..." for side A, "gB..." for side B).
struct LogSideCounters {
    int foldersScanned = 0;
    int filesScanned = 0;
    int foldersCreated = 0;
    int filesReplaced = 0;
    int filesCopied = 0;
    int filesRenamed = 0; // carried, never printed
    int foldersDeleted = 0;
    int filesDeleted = 0;
    int itemVisible = 0;
    int itemInvisible = 0;
};

// One task run record (a folder pair of a session).
struct LogTask {
    int taskIndex = 0; // 0-based position of the pair in the session
    QString sourceFolder;
    QString destFolder;
    LogItemKind sourceKind = LogItemKind::Auto;
    LogItemKind destKind = LogItemKind::Auto;
    bool sourceOnRemoteVolume = false;
    bool destOnRemoteVolume = false;
    LogSideCounters a;
    LogSideCounters b;
    int totError = 0;
    QString detailedLogText; // per-item lines, each ending in "\r"
};

// One session run record. The session's settings are read from its document
// record; the lists are the executive lists the run used (absent when the
// run did not use one, which leaves the section out).
struct LogSession {
    int sessionIndex = 0;
    QVariantMap session; // the document's session record, stored keys
    QList<LogTask> tasks;
    std::optional<QVariantList> executiveMultiArray;
    std::optional<QVariantList> executiveFilterArray;  // filter rows
    std::optional<QVariantList> executiveExcludeArray; // path texts or exclude rows
};

// Facts about the machine and the user printed in the fixed header.
struct LogHost {
    QString osVersion;
    QString osBuild;    // may be empty: the build part is then left out
    QString macAddress; // "00.1A.2B.3C.4D.5E", or empty
    QString userFullName;
    QString userShortName;

    // The running system, this machine's first hardware address, this user.
    static LogHost current();
};

// The whole run.
struct LogRun {
    int executedBy = 0; // 1 button, 2 timer, 3 Sync And Quit
    int globalError = 0;
    bool userPressedStop = false;
    bool terminateAfterSync = false;
    QDateTime start; // local times
    QDateTime end;
    bool allSessions = false; // the run covered every session of the document
    QVariantMap preferences;  // the preferences dictionary, stored keys
    bool euidRoot = false;
    int modificationDelta = 0; // tolerance in seconds; 0 = none
    QString logFolder;         // where the log file of this run goes
    QList<LogSession> sessions;
};

// Options of composition that are not facts of the run.
struct LogStyle {
    LogHost host;
    // Weekday and month names in dates; the user's language by default.
    QLocale locale = QLocale::system();
    // Every date is written in this zone (stored dates are UTC).
    QTimeZone zone = QTimeZone::systemTimeZone();
};

} // namespace qm
