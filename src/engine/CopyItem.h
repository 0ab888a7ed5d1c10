#pragma once
// The plan of a run: a tree of copy items per task, each carrying the
// operation the executor will perform on it.
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace qm {

// Copy modes. Side A is the task's source folder, side B its destination.
// A negative mode is the same operation switched off in the preview.
namespace CopyMode {
enum : int {
    Nothing = 0,  // never put into the plan
    Folder = 1,   // folder on both sides: only its content is processed
    CopyAToB = 2, // the item does not exist on B
    CopyBToA = 3, // the item does not exist on A
    ReplaceB = 4, // replace B's file by A's
    ReplaceA = 5, // replace A's file by B's
    RemoveA = 6,  // delete (or trash) A's item
    RemoveB = 7,  // delete (or trash) B's item
};
inline bool isRemoval(int mode) { return mode == RemoveA || mode == RemoveB; }
inline bool isAToB(int mode) { return mode == CopyAToB || mode == ReplaceB; }
inline bool isBToA(int mode) { return mode == CopyBToA || mode == ReplaceA; }
} // namespace CopyMode

struct CopyItem {
    QString source; // full path on side A (may not exist)
    QString dest;   // full path on side B (may not exist)
    int copyMode = CopyMode::Nothing;
    // A folder pair carries a sub-item list, possibly empty; a file does not.
    bool hasSubItems = false;
    std::vector<CopyItem> subItems; // in name order
    // Set for modes derived from the Exact Sync index: which path goes into
    // the next index when the item is switched off (0 = dest, 1 = source).
    int ifSkipAddToExactIndex = -1; // -1 = not set

    // Task roots only.
    bool isTheRootOfTheTree = false;
    int sessionIndex = -1;
    int taskIndex = -1;
    bool isSyncOn = false;

    // Stored form, with the record's own keys ("source", "dest", "copyMode",
    // "subItems", "ifSkipAddToExactIndex", "isTheRootOfTheTree",
    // "sessionIndex", "taskIndex", "gIsSyncOn").
    QVariantMap toRecord() const;
    static CopyItem fromRecord(const QVariantMap &record);
};

// Counts of the plan by operation, shared by every task of a run.
struct PlanCounters {
    int itemsToDoNothing = 0; // mode 1, task roots included
    int itemsToDoAtoB = 0;    // modes 2 and 4
    int itemsToDoBtoA = 0;    // modes 3 and 5
    int itemsToDoDelete = 0;  // modes 6 and 7
    int itemsToDoSkip = 0;    // switched off in the preview
    // Operations of the whole run still to perform (modes 2 to 7): the scan
    // counts them up, the preview down and up, the executor down.
    int globalItemsToDo = 0;
    // Adds `delta` to the counter of `mode` (nothing for mode 0 or negative).
    void add(int mode, int delta = 1);
};

} // namespace qm
