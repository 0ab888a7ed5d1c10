#pragma once
// The state every stage of a run shares: what started it, its flags, the
// settings loaded at its start, the session being run and the run records.
#include "engine/RunCounters.h"
#include "engine/SessionSettings.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <atomic>

namespace qm {

enum class RunTrigger { None = 0, Button = 1, Timer = 2, SyncAndQuit = 3 };

// Written by the main thread (and a signal handler), read by the worker
// before each item; a stop takes effect at the worker's next test.
struct RunFlags {
    std::atomic<bool> isCopying{false};
    std::atomic<bool> userPressedStop{false};
    std::atomic<bool> terminateAfterSync{false};
    bool isStartingSyncAndQuit = false;
    bool isExecutingSyncAndQuit = false;
    bool wasTimerOn = false;

    // A stop request from the user, whatever its source.
    void requestStop()
    {
        userPressedStop = true;
        isCopying = false;
    }
};

struct TaskRunRecord {
    int taskIndex = 0;
    QString sourceFolder;
    QString destFolder;
    // Scan counters, then the copy's; totError is the scan's plus the copy's.
    RunCounters counters;
    QString detailedLogText; // scan lines first, then copy lines
    QStringList restoreBackupDateArray;
    QStringList addToExactIndexArray; // exact synchronizations only
};

struct SessionRunRecord {
    int sessionIndex = 0;
    QList<TaskRunRecord> tasks;
    QVariantList executiveMultiArray, executiveFilterArray, executiveExcludeArray;
    int totError = 0;
};

struct RunRecords {
    QList<SessionRunRecord> logSessionArray;
    QDateTime start;
    QDateTime end;
    int globalItemsScanned = 0;
    int globalConflictsSkipped = 0;
    int globalError = 0;
    int errorsOutsideTasks = 0; // session services: scripts, volumes, index
    bool atLeastOneItemDone = false;
    bool abandonedInPreview = false;
    QString log; // the composed log, "\r" line ends
    QString logFileName;
    QString logPath;     // the saved log file, empty when none was saved
    QString mailFailure; // the report line when mailing the log failed, else ""
};

} // namespace qm
