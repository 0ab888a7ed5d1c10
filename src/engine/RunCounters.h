#pragma once
// Counters of one task, per side, and the task-wide totals.
#include <QVariantMap>

namespace qm {

struct SideCounters {
    int foldersScanned = 0;
    int filesScanned = 0;
    int foldersCreated = 0;
    int filesCopied = 0;
    int filesReplaced = 0;
    int foldersDeleted = 0;
    int filesDeleted = 0;
    int foldersTrashed = 0;
    int filesTrashed = 0;
    int itemInvisible = 0;
    int itemVisible = 0;
    int filesRenamed = 0; // recorded and logged, never counted by the engine

    void resetScan() { foldersScanned = filesScanned = 0; }
    void resetCopy() { *this = SideCounters{foldersScanned, filesScanned}; }
};

enum class Side { A, B };

struct RunCounters {
    SideCounters a; // side A, the task's source ("gA" counters)
    SideCounters b; // side B, the destination ("gB" counters)
    int totError = 0;         // run errors of the task (scan and copy)
    int itemsToDo = 0;        // planned items with a mode other than 1
    int conflictsSkipped = 0; // conflicts skipped in the task

    SideCounters &side(Side s) { return s == Side::A ? a : b; }
    const SideCounters &side(Side s) const { return s == Side::A ? a : b; }

    // The sixteen copy counters under their record names ("gAFoldersCreated",
    // "gAFilesRenamed", ... "gBItemVisible"), as a task run record holds them.
    QVariantMap copyCountersRecord() const;
    // The four scan counters ("gAFoldersScanned" ... "gBFilesScanned").
    QVariantMap scanCountersRecord() const;
};

} // namespace qm
