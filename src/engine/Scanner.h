#pragma once
// The folder scanner: turns one task (a source and a destination folder)
// into a tree of copy items.
//
// Each folder level is listed once per side with one lstat per entry; the
// names of both sides are merged, sorted once case-insensitively, and paired
// by name (two names differing only in case are one pair where a side's file
// system ignores case, two otherwise). Each pair is
// classified, compared with the date tolerance and the backup dates, and its
// conflicts are settled by the session's rules or the user.
#include "engine/CopyItem.h"
#include "engine/RunContext.h"
#include "engine/WorkerPool.h"
#include <QString>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace qm {

struct TaskScan {
    // 1 = go on with the run; otherwise the answer of folder validation or
    // of the root's walk (0 = the copy stage must not run).
    quint8 verdict = 1;
    // The root enters the plan: the walk completed and found something.
    // The scanner has counted the root in itemsToDoNothing; the caller
    // appends `root` to the plan (and an empty Exact Sync list beside it).
    bool planned = false;
    CopyItem root;
    // The task was refused before its walk because a side looked emptied
    // or unmounted: nothing of it may be recorded (index, backup dates),
    // or the next run would take the empty side for the truth.
    bool keepRecords = false;
    // The task's folders as validation left them (links resolved); empty
    // when validation refused the pair.
    QString sourceFolder;
    QString destFolder;
};

class Scanner {
public:
    explicit Scanner(RunContext &context);

    // Scans one task. The caller resets the task's counters before
    // (PurgeBeforeScanOneTask) and records the task after
    // (PurgeAfterScanOneTask), whatever the answer.
    TaskScan ScanOneTask(int sessionIndex, int taskIndex, const QString &sourceFolder,
                         const QString &destFolder);

    // Walks the folder pair of `item` (at `paths`) and fills its sub-items.
    // Answers false when a sub-folder was found on neither side or a deeper
    // level failed.
    bool ScanSingleFolder(CopyItem &item, const SidePaths &paths);

private:
    class Level;
    friend class Level;
    struct FolderListing;

    RunContext &m_ctx;
    // Reads one side of a folder level while the scanner reads the other.
    std::unique_ptr<WorkerPool> m_reader;
    WorkerPool &reader();
    // Items in the listings the lister made that the walk has not reached:
    // it lists no further ahead while they are many.
    std::atomic<size_t> m_itemsListedAhead{0};
    // Lists the folders the walk comes to next while the scanner plans the
    // current one. Declared last: it is stopped first, and its jobs never
    // give work to the reader.
    std::unique_ptr<WorkerPool> m_lister;
    WorkerPool &lister();
    // ScanSingleFolder, with what the level above has just read of the two
    // folders (null: read them again).
    // `ahead`, when given, is the level's listing as the level above had it
    // made ahead, used when it is still the listing this level needs.
    bool scanFolder(CopyItem &item, const SidePaths &paths, const ItemInfo *knownA, const ItemInfo *knownB,
                    std::shared_ptr<FolderListing> ahead = nullptr);
    std::optional<qint64> m_mainSourceBackup;
    std::optional<qint64> m_mainDestBackup;
    bool m_compareAtIndex = false;
    // Real paths of the folder pairs being walked, outermost first.
    std::vector<QString> m_walk;
    // Whether `folder` is one of them or holds one.
    bool isOnTheWalk(const QString &folder) const;

    // The folder of an exact task that must not be acted on because it was
    // emptied (an unmounted disk leaves an empty mount point), or a side on
    // a volume that could not be mounted; empty when the task may go on.
    QString refusedSide(const QString &source, const QString &dest);
    // Reports a refusal of CheckPrivileges (1 = privileges, other = locked).
    void reportPrivilegeError(int answer, const QString &errString);
};

} // namespace qm
