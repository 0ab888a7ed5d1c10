#pragma once
// The plan of a run: a tree of copy items per task, each carrying the
// operation the executor will perform on it.
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>
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

// The full paths of an item on both sides.
struct SidePaths {
    QString source;
    QString dest;
};

// `folder` + "/" + `name`, with one slash after a root "/".
QString joinPath(const QString &folder, const QString &name);
// The part of `path` after its last slash: the name of the item it leads to.
QString itemNameOf(const QString &path);
// The same without a copy, for comparisons.
QStringView itemNameIn(const QString &path);

// A copy item keeps its name, not its paths: a plan of many thousands of
// items would otherwise hold every parent's path again in each of them. The
// paths are built from the parent's on the way down (pathsIn); a task root,
// and an item whose side is a resolved link, keep that side's full path.
struct CopyItem {
    // The name on side A; also on side B unless `nameB` differs (two names
    // paired though they differ in case).
    QString name;
    std::vector<CopyItem> subItems; // in name order
    int copyMode = CopyMode::Nothing;
    // Task roots only.
    int sessionIndex = -1;
    int taskIndex = -1;
    // Set for modes derived from the Exact Sync index: which path goes into
    // the next index when the item is switched off (0 = dest, 1 = source).
    qint8 ifSkipAddToExactIndex = -1; // -1 = not set
    // A folder pair carries a sub-item list, possibly empty; a file does not.
    bool hasSubItems = false;
    bool isTheRootOfTheTree = false; // task roots only
    bool isSyncOn = false;           // task roots only

    QString sourceName() const { return name; }
    QString destName() const { return m_rare && m_rare->hasNameB ? m_rare->nameB : name; }
    void setNames(const QString &nameA, const QString &nameB);
    // A side's full path where it is not the parent's path and the name.
    void setFullPaths(const QString &source, const QString &dest);
    // The item's paths below a parent whose paths are `parent` (any for a root).
    SidePaths pathsIn(const SidePaths &parent) const;

    // Stored form, with full paths and the record's own keys ("source",
    // "dest", "copyMode", "subItems", "ifSkipAddToExactIndex",
    // "isTheRootOfTheTree", "sessionIndex", "taskIndex", "gIsSyncOn").
    QVariantMap toRecord(const SidePaths &parent = {}) const;
    static CopyItem fromRecord(const QVariantMap &record, const SidePaths &parent = {});

    CopyItem() = default;
    CopyItem(const CopyItem &other) : CopyItem() { *this = other; }
    CopyItem(CopyItem &&) noexcept = default;
    CopyItem &operator=(const CopyItem &other);
    CopyItem &operator=(CopyItem &&) noexcept = default;

private:
    // What few items have: held apart so that the others do not pay for it.
    struct Rare {
        QString nameB;
        bool hasNameB = false;
        QString source; // full paths; null where parent + name is the path
        QString dest;
    };
    std::unique_ptr<Rare> m_rare;
    Rare &rare();
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
