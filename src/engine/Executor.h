#pragma once
// The copy executor: carries out the plan the scanner built, item by item.
//
// Folders are created before their content and receive their final
// attributes after it; files are copied and replaced only through the
// object copier, which never leaves a half-written file; removals go to the
// trash or are immediate by the session's setting. Every operation is one
// detailed-log line, every failure one run error.
#include "engine/CopyItem.h"
#include "engine/WorkerPool.h"
#include "engine/RunContext.h"
#include "fs/FSCopyObject.h"
#include <QSet>
#include <QString>
#include <deque>
#include <list>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace qm {

// One session of the run as MainCopy walks it: the session's index and the
// indexes of its scanned tasks, in run order.
struct SessionTasks {
    int sessionIndex = 0;
    std::vector<int> taskIndices;
};

class Executor {
public:
    explicit Executor(RunContext &context);
    // Waits for the copies still running.
    ~Executor();
    Executor(const Executor &) = delete;
    Executor &operator=(const Executor &) = delete;

    // Copies every task of every session: the copy stages of the context are
    // called around each session and task, also for a stopped run.
    bool MainCopy(const std::vector<SessionTasks> &sessions, std::vector<CopyItem> &plan);
    // Carries out a list of items inside the folders at `parent`;
    // `deleteParent` is on for the content of a folder being removed.
    // Answers the result of the last item processed.
    bool CopyItems(std::vector<CopyItem> &items, const SidePaths &parent, bool deleteParent);
    // One item's own operation.
    bool CopySource(const QString &a, const QString &b, int copyMode, bool deleteParent);
    // Is there room for `item` on the volume of `target`'s parent folder?
    // Strictly more free bytes than the item's size are needed.
    bool CheckFreeSpaceFor(const QString &item, const QString &target, QString *errStr,
                           quint64 *sourceSize);

    // Copies one file, package or link into the target's folder under its
    // own name; `errStr` receives the extra error text on failure.
    bool CopySingleFile(const QString &item, QString &target, QString *errStr);
    bool CopyAttributes(const QString &from, const QString &to);
    bool CopyAttributesItem(const QString &from, const QString &to);
    bool CopyAttributesPackage(const QString &from, const QString &to);

    // Paths deleted or trashed during this run.
    bool wasDeleted(const QString &path) const { return m_itemsDeleted.contains(path); }

    // Tests: make the copier fail chosen reads, writes or renames. Copies
    // then run one at a time, on the executor's thread.
    void setCopyFaultHook(CopyFaultHook hook) { m_faultHook = std::move(hook); }
    // New files are copied by this many threads at once (1: one at a time,
    // on the executor's thread).
    void setCopyThreads(int threads) { m_copyThreads = threads; }

private:
    struct Operation;
    struct PendingCopy;
    struct FolderDates {
        ItemInfo source;
        ItemInfo dest;
    };
    struct Words {
        QString createdFolder, trashedFolder, deletedFolder, copiedFile, to, replacedFile,
            withTheMostRecentFile, deletedFile, trashedFile;
    };

    RunContext &m_ctx;
    ObjectCopier m_copier;
    CopyFaultHook m_faultHook;
    Words m_words;
    QSet<QString> m_itemsDeleted;
    QString m_trashLog; // lines of items inside a folder being trashed
    // A folder held open (O_PATH) while the files in it are copied, so that
    // each copy finds its file by name within it, or a file open for its
    // copy; shared with the copies still running.
    struct OpenDescriptor {
        explicit OpenDescriptor(int descriptor) : fd(descriptor) {}
        OpenDescriptor(const OpenDescriptor &) = delete;
        OpenDescriptor &operator=(const OpenDescriptor &) = delete;
        ~OpenDescriptor();
        const int fd;
    };
    QString m_knownFolder; // the last target folder found to exist
    struct stat m_knownFolderStat{};
    std::shared_ptr<const OpenDescriptor> m_knownFolderFd; // it, open; or none
    // Folders this run made, on the path of the walk: the names in them are
    // free unless another program took one since, which the copy itself
    // finds out without overwriting it. After the first such find, every
    // target is looked at again.
    QSet<QString> m_madeFolders;
    bool m_lookAtEveryTarget = false;
    bool retryLookingAtTarget(Operation &op);
    QString m_sourceFolder; // the folder of the last item copied
    std::shared_ptr<const OpenDescriptor> m_sourceFolderFd; // it, open; or none
    int sourceFolderOf(const QString &item);
    // The free room of the last target folder asked, trusted while what was
    // started since stays well inside it: asking the file system for every
    // small file costs about as much as copying it.
    struct RoomMemo {
        QString folder;
        quint64 freeAtQuery = 0;
        quint64 startedSince = 0;
        qint64 askedAtMs = 0;
    } m_room;
    // New files being copied by the pipeline, oldest first; their results
    // are taken in plan order, so the log reads as if one ran after another.
    int m_copyThreads = 4;
    std::list<PendingCopy> m_pending;
    quint64 m_pendingBytes = 0;
    bool m_draining = false;
    size_t m_released = 0; // plan items given back since the last trim
    bool *m_asideSucceeded = nullptr; // set while an item may run aside
    bool m_wentAside = false;          // the last CopySource left its copy running
    bool m_lastAsideOk = true;
    bool m_lastWentAside = false;      // the last item of the whole walk did
    // Folders whose content was walked while copies into them still run:
    // finished in walk order once the copies started before them ended.
    struct FolderToFinish {
        int copyMode = 0;
        SidePaths paths;
        FolderDates dates;
        quint64 afterCopies = 0;
    };
    std::deque<FolderToFinish> m_foldersToFinish;
    quint64 m_copiesStarted = 0;
    quint64 m_copiesTaken = 0;
    std::unique_ptr<WorkerPool> m_pipeline; // after the copier: stopped first

    static int findTask(const std::vector<CopyItem> &plan, int sessionIndex, int taskIndex);
    bool copyItems(std::vector<CopyItem> &items, const SidePaths &parent, bool deleteParent, bool *allSucceeded);
    bool removeFolderWithContent(CopyItem &item, const SidePaths &paths, bool deleteParent, bool *allSucceeded);
    void releaseContent(CopyItem &item);
    void finishFolder(int copyMode, const SidePaths &paths, const FolderDates &dates);
    void finishFolderAfterCopies(int copyMode, const SidePaths &paths, const FolderDates &dates);
    void finishDueFolders();
    void restoreModDate(const QString &path, const ItemInfo &before);
    // Reads the item of a copy; a plain file is opened for the copier too.
    void readItemToCopy(Operation &op);
    bool createFolder(Operation &op);
    bool removeFolder(Operation &op);
    bool removeFile(Operation &op);
    bool removeItem(const Operation &op, bool isFolder);
    bool copyOrReplaceFile(Operation &op);
    bool replaceFile(Operation &op, const ItemInfo &targetInfo);
    bool copyNewFile(Operation &op);
    bool runsAside(const Operation &op) const;
    void startCopyAside(const Operation &op, quint64 size, bool replaces);
    bool finishCopy(const Operation &op, bool replaced, bool copied, const QString &extra);
    bool finishReplacement(const Operation &op, bool replaced, const QString &extra);
    bool copyAttributesItem(const QString &from, const QString &to, const ItemInfo &fromInfo);
    bool finishNewFile(const Operation &op, bool copied, const QString &extra);
    void takeFinishedCopies(size_t keepRunning);
    bool copyWithRoom(const Operation &op, QString *extra);
    bool hasRoomFor(quint64 size, const QString &target, QString *errStr);
    bool roomSurelyLeft(quint64 size, const QString &folder) const;
    struct KnownStats {
        std::optional<struct statx> item;
        std::optional<struct stat> folder;
        bool targetFree = false;
        bool targetUnlooked = false; // free only by the run's own account
        std::shared_ptr<const OpenDescriptor> sourceFolderFd, folderFd;
        std::shared_ptr<const OpenDescriptor> itemFd; // the item, a plain file, open for reading
        bool itemHasNoAttributes = false;
    };
    KnownStats knownStats(const Operation &op) const;
    OSStatus copyInto(const QString &item, const QString &target, int firstTempName = 1,
                      const KnownStats *known = nullptr, bool *sourceStamped = nullptr) const;
    OSStatus copyAndStamp(const QString &item, const QString &target, int firstTempName = 1,
                          const KnownStats *known = nullptr) const;
    bool copyObject(const QString &item, const QString &target, QString *errStr);
    void countVisibility(const Operation &op);
    void recordCopy(const Operation &op);
    void reportError(const QString &text);
    void logLine(const QString &line);
};

} // namespace qm
