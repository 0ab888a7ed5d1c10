#include "engine/Executor.h"
#include "platform/FileName.h"
#include "engine/ExactSyncRecorder.h"
#include "engine/ScanListing.h"
#include "fs/LPUtilities.h"
#include "platform/Messages.h"
#include "platform/Trash.h"

#include <QDateTime>
#include <QFile>
#include <cerrno>
#include <malloc.h>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace qm {

namespace {

// Folders being filled, and items whose attributes are being changed.
constexpr int kPrivateFolderMode = 0700;

QString quoted(const QString &path)
{
    return QStringLiteral(" \"") + displayName(path) + QLatin1Char('"');
}

QString errorTail(const QString &text)
{
    return QLatin1Char('\r') + GLS("Error:") + QLatin1Char(' ') + text;
}

// What the file manager calls deletable: the parent folder lets us remove
// entries (root passes, as the kernel lets it).
bool isDeletable(const QString &path)
{
    return ::access(nativeName(parentPath(path)).constData(), W_OK | X_OK) == 0;
}

QString copyStatusMessage(OSStatus status)
{
    switch (status) {
    case Status::afpAccessDenied: return GLS("Insufficient access privileges for operation");
    case Status::fBsyErr: return GLS("The file is busy");
    case Status::bdNamErr: return GLS("Bad item name");
    case Status::kSizeMismatchErr:
        return GLS("At the end of the copy the destination file has a different size");
    default: return GLS("CopyFile error");
    }
}

QString copyErrorText(OSStatus status)
{
    return QLatin1Char('\r') + GLS("Error:") + QStringLiteral(" (") + QString::number(status)
           + QStringLiteral(") ") + copyStatusMessage(status);
}

// At most this many new files are copied or waiting for a copy thread at
// once. Past that the engine takes back the oldest until a few are gone: one
// wait for several copies, and a queue deep enough that one slow copy at its
// head leaves the other threads work to do while the engine waits for it.
constexpr size_t kCopiesInFlight = 256;
constexpr size_t kCopiesLeftRunning = kCopiesInFlight - 16;
// And about this many bytes: a stop lets every copy already given end, which
// must not mean hundreds of large files. A few copies per thread are always
// let through, so that large files still go side by side.
constexpr quint64 kBytesInFlight = 256ull << 20;
constexpr size_t kCopiesPerThreadWhateverTheirSize = 2;
// Copies given while every copy thread sleeps gather this many before one
// is woken: the engine feeds them one file at a time.
constexpr int kCopiesGathered = 4;

enum class Kind { Missing, Folder, Package, SymLink, File };

Kind kindOf(const ItemInfo &info, const QString &path)
{
    switch (info.kind) {
    case ItemKind::Missing: return Kind::Missing;
    case ItemKind::SymLink: return Kind::SymLink;
    case ItemKind::Folder: return isFilePackageAtPath(path) ? Kind::Package : Kind::Folder;
    default: return Kind::File;
    }
}

ItemInfo readInfo(const QString &path)
{
    ItemInfo info;
    if (ReadCatalogInfo(path, &info) != Status::noErr)
        info.kind = ItemKind::Missing;
    return info;
}

// The target of a copy, looked up within its folder when the executor holds
// that open: a first copy finds no target, and the look stops there.
ItemInfo readTargetIn(const QString &path, int folderFd)
{
    struct statx stx;
    if (folderFd >= 0
        && ::statx(folderFd, nativeName(itemNameOf(path)).constData(),
                   AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, STATX_TYPE, &stx) != 0
        && errno == ENOENT)
        return ItemInfo();
    return readInfo(path);
}

// A folder's own dates before its content changes: one statx.
ItemInfo readFolderDates(const QString &path)
{
    ItemInfo info;
    if (!readItemForScan(nativeName(path), false, &info))
        info.kind = ItemKind::Missing;
    return info;
}

// The item an operation removes, or a folder it changes: its dates are not needed.
ItemInfo readOperand(const QString &path, struct statx *raw = nullptr)
{
    ItemInfo info;
    if (ReadCatalogInfoWithoutDates(path, &info, raw) != Status::noErr)
        info.kind = ItemKind::Missing;
    return info;
}

} // namespace

// One item's operation: the chosen item and target, their kinds, and the
// helpers that perform it. Built by CopySource for each call.
struct Executor::Operation {
    QString item;   // the existing object copied or removed
    QString target; // the path receiving the copy
    int mode = 0;
    bool deleteParent = false;
    ItemInfo itemInfo;
    struct statx itemStat{}; // what itemInfo was read from: the copier need not ask again
    // A plain file to copy, opened as itemInfo was read: the copier reads it
    // through this descriptor, and need not list its attributes again when
    // it had none.
    std::shared_ptr<const OpenDescriptor> itemFd;
    bool itemHasNoAttributes = false;
    Kind kind = Kind::Missing;
    bool targetExists = true; // until a look at the target finds it free
    bool targetUnlooked = false; // taken as free without a look: see m_madeFolders
    Side changed = Side::B; // the side whose counters move
};

struct Executor::PendingCopy {
    Operation op;
    quint64 size = 0;
    WorkerPool::Result status;
    bool *allSucceeded = nullptr;
    bool replaces = false;
    QStringList linesAfter; // logged meanwhile, to follow this copy's own line
};

Executor::~Executor()
{
    for (PendingCopy &pending : m_pending)
        pending.status.wait();
}

Executor::Executor(RunContext &context) : m_ctx(context)
{
    m_words.createdFolder = GLS("Created folder");
    m_words.trashedFolder = GLS("Trashed folder");
    m_words.deletedFolder = GLS("Deleted folder");
    m_words.copiedFile = GLS("Copied file");
    m_words.to = GLS("to:");
    m_words.replacedFile = GLS("Replaced file:");
    m_words.withTheMostRecentFile = GLS("with the most recent file:");
    m_words.deletedFile = GLS("Deleted file");
    m_words.trashedFile = GLS("Trashed file");
    m_copier.SetBackupDate(UTCDateTime::fromDateTime(context.runStart()));
}

bool Executor::MainCopy(const std::vector<SessionTasks> &sessions, std::vector<CopyItem> &plan)
{
    for (int sp = 0; sp < int(sessions.size()); ++sp) {
        const SessionTasks &session = sessions[size_t(sp)];
        m_ctx.beforeCopySession(session.sessionIndex);
        for (int tp = 0; tp < int(session.taskIndices.size()); ++tp) {
            m_ctx.beforeCopyTask();
            int planIndex = -1;
            if (m_ctx.isCopying()) {
                planIndex = findTask(plan, session.sessionIndex, session.taskIndices[size_t(tp)]);
                if (planIndex >= 0) {
                    CopyItem &root = plan[size_t(planIndex)];
                    m_ctx.showTask(root);
                    CopyItems(root.subItems, root.pathsIn({}), false);
                    releaseContent(root);
                }
            }
            m_ctx.afterCopyTask(sp, tp, planIndex);
        }
        m_ctx.afterCopySession(session.sessionIndex);
    }
    return true;
}

int Executor::findTask(const std::vector<CopyItem> &plan, int sessionIndex, int taskIndex)
{
    for (size_t i = 0; i < plan.size(); ++i) {
        if (plan[i].sessionIndex == sessionIndex && plan[i].taskIndex == taskIndex)
            return int(i);
    }
    return -1;
}

bool Executor::CopyItems(std::vector<CopyItem> &items, const SidePaths &parent, bool deleteParent)
{
    bool allSucceeded = true;
    const bool result = copyItems(items, parent, deleteParent, &allSucceeded);
    takeFinishedCopies(0);
    // An open folder would keep its volume busy: one mounted for the run
    // is given back after it.
    m_knownFolder.clear();
    m_knownFolderFd.reset();
    m_sourceFolder.clear();
    m_sourceFolderFd.reset();
    m_madeFolders.clear();
    return m_lastWentAside ? m_lastAsideOk : result;
}

bool Executor::copyItems(std::vector<CopyItem> &items, const SidePaths &parent, bool deleteParent,
                         bool *allSucceeded)
{
    const SessionSettings &set = m_ctx.settings();
    bool result = true;
    for (CopyItem &item : items) {
        if (!m_ctx.isCopying())
            break;
        const int mode = item.copyMode;
        m_lastWentAside = false;
        const bool mayRunAside = !item.hasSubItems && !deleteParent
                                 && mode >= CopyMode::CopyAToB && mode <= CopyMode::ReplaceA;
        // Copies still running elsewhere cannot meet a folder that is only
        // walked into or newly made: anything else waits for them.
        const bool folderWalk = item.hasSubItems && !deleteParent
                                && (mode < 0 || mode == CopyMode::Folder || mode == CopyMode::CopyAToB
                                    || mode == CopyMode::CopyBToA);
        if (!mayRunAside && !folderWalk)
            takeFinishedCopies(0);
        const SidePaths paths = item.pathsIn(parent);
        if (mode < 0) {
            const bool visit = item.hasSubItems
                               && (mode == -CopyMode::RemoveA || mode == -CopyMode::RemoveB
                                   || ((mode == -CopyMode::CopyAToB || mode == -CopyMode::CopyBToA)
                                       && set.isSyncOn && set.isExactOn));
            if (visit)
                result = copyItems(item.subItems, paths, false, allSucceeded);
            releaseContent(item);
            continue;
        }
        FolderDates dates;
        if (item.hasSubItems)
            dates = {readFolderDates(paths.source), readFolderDates(paths.dest)};

        if (mode >= CopyMode::CopyAToB && mode <= CopyMode::RemoveB) {
            m_ctx.itemStarted();
            if (CopyMode::isRemoval(mode) && item.hasSubItems) {
                result = removeFolderWithContent(item, paths, deleteParent, allSucceeded);
                releaseContent(item);
                if (!result && set.isMoveToTrash && deleteParent)
                    return false;
                continue;
            }
            m_asideSucceeded = mayRunAside ? allSucceeded : nullptr;
            result = CopySource(paths.source, paths.dest, mode, deleteParent);
            m_asideSucceeded = nullptr;
            if (std::exchange(m_wentAside, false)) {
                m_lastWentAside = true;
                continue; // counted and logged when its copy ends
            }
            if (!result) {
                *allSucceeded = false;
                releaseContent(item);
                if (set.isMoveToTrash && deleteParent)
                    return false;
                continue;
            }
            m_ctx.noteItemDone();
        }
        if (item.hasSubItems) {
            result = copyItems(item.subItems, paths, false, allSucceeded);
            m_madeFolders.remove(paths.source);
            m_madeFolders.remove(paths.dest);
            finishFolderAfterCopies(item.copyMode, paths, dates);
            releaseContent(item);
        }
    }
    // The copies still running go on into the next folders; only the
    // content of a folder being removed is complete when its list ends.
    // (Nothing there runs aside, so its last result is final; elsewhere
    // CopyItems takes a copy's outcome once it has ended.)
    if (deleteParent)
        takeFinishedCopies(0);
    return result;
}

// A folder's plan is not read again once it was carried out: its memory
// goes back while the log grows. The allocator keeps the pages of many
// small freed blocks until it is told, so it is told now and then.
void Executor::releaseContent(CopyItem &item)
{
    constexpr size_t kTrimEvery = 4096;
    m_released += item.subItems.size();
    std::vector<CopyItem>().swap(item.subItems);
    if (m_released >= kTrimEvery || item.isTheRootOfTheTree) {
        m_released = 0;
        ::malloc_trim(0);
    }
}

// A folder to remove: its content item by item, then the folder itself. A
// folder being moved to the trash goes in one move after its content was
// walked without touching it.
bool Executor::removeFolderWithContent(CopyItem &item, const SidePaths &paths, bool deleteParent,
                                       bool *allSucceeded)
{
    const SessionSettings &set = m_ctx.settings();
    const bool trashTop = set.isMoveToTrash && !deleteParent;
    // A locked folder refuses every change to its content and its own move:
    // with unlocking allowed, the lock goes first. A folder that stays after
    // all gets it back.
    const QString &folder = item.copyMode == CopyMode::RemoveA ? paths.source : paths.dest;
    static const LPUtilities fs;
    const bool unlocked = set.isUnlockOn && readOperand(folder).locked && fs.UnlockItem(folder);
    bool contentOk = true;
    bool result = copyItems(item.subItems, paths, true, &contentOk);
    // Deleting for good takes the folder only when all its content went, so
    // that nothing refused (a locked file) goes with it.
    if (result && !set.isMoveToTrash && !contentOk)
        result = false;
    if (result)
        result = CopySource(paths.source, paths.dest, item.copyMode, deleteParent);
    if (result)
        m_ctx.noteItemDone();
    else
        *allSucceeded = false;
    if (trashTop) {
        RunCounters &c = m_ctx.counters();
        if (result) {
            c.a.filesDeleted += c.a.filesTrashed;
            c.b.filesDeleted += c.b.filesTrashed;
            c.a.foldersDeleted += c.a.foldersTrashed;
            c.b.foldersDeleted += c.b.foldersTrashed;
            if (!m_trashLog.isEmpty())
                m_ctx.appendDetailedLog(m_trashLog);
        } else {
            reportError(GLS("Can't trash the folder (and its content)") + quoted(folder));
        }
        c.a.filesTrashed = c.b.filesTrashed = c.a.foldersTrashed = c.b.foldersTrashed = 0;
        m_trashLog.clear();
    }
    if (unlocked && !result && readOperand(folder).exists())
        ChangeFileAttributes(folder, AttributeChange{-1, 1, -1, -1});
    return result;
}

// A folder is finished once every copy started inside it has ended: the
// copies still running change its date when they land.
void Executor::finishFolderAfterCopies(int copyMode, const SidePaths &paths, const FolderDates &dates)
{
    if (m_copiesTaken == m_copiesStarted && m_foldersToFinish.empty()) {
        finishFolder(copyMode, paths, dates);
        return;
    }
    m_foldersToFinish.push_back({copyMode, paths, dates, m_copiesStarted});
}

// Finishes, in the order they were left, the folders whose copies all ended.
void Executor::finishDueFolders()
{
    while (!m_foldersToFinish.empty() && m_foldersToFinish.front().afterCopies <= m_copiesTaken) {
        const FolderToFinish folder = std::move(m_foldersToFinish.front());
        m_foldersToFinish.pop_front();
        finishFolder(folder.copyMode, folder.paths, folder.dates);
    }
}

// After a folder's content: the winning side's folder gets back the date it
// had before its content changed, and the other side receives its attributes.
void Executor::finishFolder(int copyMode, const SidePaths &paths, const FolderDates &dates)
{
    int direction = copyMode;
    if (direction == CopyMode::Folder) {
        if (!dates.source.exists() || !dates.dest.exists())
            return;
        const timespec &s = dates.source.contentModDate;
        const timespec &d = dates.dest.contentModDate;
        const bool sourceEarlier = s.tv_sec < d.tv_sec || (s.tv_sec == d.tv_sec && s.tv_nsec < d.tv_nsec);
        direction = (m_ctx.settings().isSyncOn && sourceEarlier) ? CopyMode::CopyBToA
                                                                 : CopyMode::CopyAToB;
    }
    if (direction == CopyMode::CopyAToB) {
        restoreModDate(paths.source, dates.source);
        CopyAttributes(paths.source, paths.dest);
    } else if (direction == CopyMode::CopyBToA) {
        restoreModDate(paths.dest, dates.dest);
        CopyAttributes(paths.dest, paths.source);
    }
}

void Executor::restoreModDate(const QString &path, const ItemInfo &before)
{
    if (before.exists())
        WriteCatalogInfo(path, before, kCatContentModDate);
}

bool Executor::CopySource(const QString &a, const QString &b, int copyMode, bool deleteParent)
{
    Operation op;
    op.mode = copyMode;
    op.deleteParent = deleteParent;
    const bool fromB = copyMode == CopyMode::CopyBToA || copyMode == CopyMode::ReplaceA
                       || copyMode == CopyMode::RemoveB || copyMode == CopyMode::Folder;
    op.item = fromB ? b : a;
    op.target = fromB ? a : b;
    op.changed = (copyMode == CopyMode::CopyAToB || copyMode == CopyMode::ReplaceB
                  || copyMode == CopyMode::RemoveB)
                     ? Side::B
                     : Side::A;
    const bool copies = copyMode >= CopyMode::CopyAToB && copyMode <= CopyMode::ReplaceA;
    if (copies)
        readItemToCopy(op);
    else
        op.itemInfo = readOperand(op.item, &op.itemStat);
    op.kind = kindOf(op.itemInfo, op.item);

    if (op.kind == Kind::Missing && copies) {
        if (m_itemsDeleted.contains(op.item))
            return true;
        return reportError(GLS("Can't find the source item") + quoted(op.item)), false;
    }
    if (op.kind == Kind::Folder && (copyMode == CopyMode::ReplaceB || copyMode == CopyMode::ReplaceA))
        return false;
    m_ctx.publishOperation(copyMode, op.item, op.target);

    if (op.kind == Kind::Folder) {
        if (copies)
            return createFolder(op);
        if (CopyMode::isRemoval(copyMode))
            return removeFolder(op);
        return true;
    }
    if (copies)
        return copyOrReplaceFile(op);
    if (CopyMode::isRemoval(copyMode))
        return removeFile(op);
    return true;
}

void Executor::readItemToCopy(Operation &op)
{
    int fd = -1;
    bool anyAttribute = true;
    if (ReadCatalogInfoOpening(sourceFolderOf(op.item), op.item, &op.itemInfo, &op.itemStat, &fd, &anyAttribute)
        != Status::noErr)
        op.itemInfo.kind = ItemKind::Missing;
    if (fd >= 0)
        op.itemFd = std::make_shared<const OpenDescriptor>(fd);
    op.itemHasNoAttributes = op.itemFd && !anyAttribute;
}

bool Executor::createFolder(Operation &op)
{
    if (readInfo(op.target).exists())
        return false; // already there: its planned content is skipped too
    const QString parent = parentPath(op.target);
    if (!readInfo(parent).isFolder()) {
        if (m_itemsDeleted.contains(parent))
            return true;
        reportError(GLS("Can't find the parent destination folder.") + QLatin1Char(' ')
                    + GLS("Can't create the folder") + QStringLiteral(":\r\"") + displayName(op.target)
                    + QLatin1Char('"'));
        return false;
    }
    // Private to the owner while it is filled: nobody else may plant an
    // item in it that a later run would carry into the other side. Its own
    // attributes, mode included, follow its content.
    if (::mkdir(nativeName(op.target).constData(), kPrivateFolderMode) != 0) {
        reportError(GLS("Can't create the folder") + quoted(op.target));
        return false;
    }
    ChangeFileAttributes(op.target, AttributeChange{kPrivateFolderMode, -1, -1, -1});
    m_madeFolders.insert(op.target);
    if (ExactSyncRecorder *record = m_ctx.exactSyncRecorder())
        record->createdFolder(op.target);
    ++m_ctx.counters().side(op.changed).foldersCreated;
    logLine(m_words.createdFolder + quoted(op.target));
    return true;
}

bool Executor::removeFolder(Operation &op)
{
    const SessionSettings &set = m_ctx.settings();
    bool refused = false;
    if (!isDeletable(op.item)) {
        RunError error(GLS("Can't delete the folder") + QStringLiteral("\r\"") + displayName(op.item)
                       + QStringLiteral("\". ") + GLS("Insufficient privileges"));
        error.title = GLS("Insufficient Privileges") + QLatin1Char(':');
        m_ctx.reportRunError(error);
        refused = true;
    }
    static const LPUtilities fs;
    if (!refused && set.isUnlockOn && !fs.UnlockItem(op.item)) {
        reportError(GLS("Can't delete the locked folder") + QStringLiteral("\r\"") + displayName(op.item)
                    + QLatin1Char('"'));
        refused = true;
    }
    if (!refused && removeItem(op, true)) {
        const bool trash = set.isMoveToTrash;
        const QString line = (trash ? m_words.trashedFolder : m_words.deletedFolder) + quoted(op.item);
        SideCounters &c = m_ctx.counters().side(op.changed);
        if (trash) {
            ++c.foldersTrashed;
            if (set.makeDetailedLog)
                m_trashLog += line + QLatin1Char('\r');
        } else {
            ++c.foldersDeleted;
            logLine(line);
        }
        m_itemsDeleted.insert(op.item);
        m_knownFolder.clear();
        m_knownFolderFd.reset();
        return true;
    }
    reportError(GLS(set.isMoveToTrash ? "Can't trash the folder" : "Can't delete the folder")
                + quoted(op.item));
    return false;
}

// Removes the item by the session's setting: for good, to the trash, or not
// at all when it goes to the trash with the folder that holds it.
bool Executor::removeItem(const Operation &op, bool isFolder)
{
    const SessionSettings &set = m_ctx.settings();
    if (set.isMoveToTrash)
        return op.deleteParent ? true : moveToTrash(op.item) == Status::noErr;
    const QByteArray native = nativeName(op.item);
    if (isFolder) // its content went item by item: only an empty folder goes
        return ::rmdir(native.constData()) == 0;
    if (op.kind == Kind::Package)
        return FSDeleteObjects(op.item) == Status::noErr;
    return ::unlink(native.constData()) == 0;
}

bool Executor::removeFile(Operation &op)
{
    const SessionSettings &set = m_ctx.settings();
    SideCounters &c = m_ctx.counters().side(op.changed);
    if (op.kind == Kind::Missing) {
        ++c.filesDeleted;
        logLine(m_words.deletedFile + quoted(op.item));
        return true;
    }
    QString extra;
    bool ok = true;
    if (!isDeletable(op.item)) {
        extra = errorTail(GLS("Insufficient privileges"));
        ok = false;
    }
    static const LPUtilities fs;
    if (ok && op.itemInfo.locked) {
        if (!set.isUnlockOn) {
            extra += errorTail(QStringLiteral("The file is locked"));
            ok = false;
        } else if (!fs.UnlockItem(op.item)) {
            extra += errorTail(QStringLiteral("Can't unlock the file"));
            ok = false;
        }
    }
    if (ok && removeItem(op, false)) {
        const QString line =
            (set.isMoveToTrash ? m_words.trashedFile : m_words.deletedFile) + quoted(op.item);
        if (set.isMoveToTrash && op.deleteParent) {
            ++c.filesTrashed;
            if (set.makeDetailedLog)
                m_trashLog += line + QLatin1Char('\r');
        } else {
            ++c.filesDeleted;
            logLine(line);
        }
        m_itemsDeleted.insert(op.item);
        return true;
    }
    reportError(GLS(set.isMoveToTrash ? "Can't trash the file" : "Can't delete the file")
                + quoted(op.item) + extra);
    return false;
}

Executor::OpenDescriptor::~OpenDescriptor()
{
    ::close(fd);
}

bool Executor::copyOrReplaceFile(Operation &op)
{
    const QString parent = parentPath(op.target);
    // Files of one folder come one after another: its test is made once,
    // and it stays open for their copies.
    if (parent != m_knownFolder) {
        m_knownFolder.clear();
        m_knownFolderFd.reset();
        const int fd = ::open(nativeName(parent).constData(),
                              O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        auto open = fd >= 0 ? std::make_shared<const OpenDescriptor>(fd) : nullptr;
        struct stat folder;
        if (!open || ::fstat(fd, &folder) != 0 || !S_ISDIR(folder.st_mode)) {
            if (m_itemsDeleted.contains(parent))
                return true;
            reportError(GLS("Can't find the parent destination folder.") + QLatin1Char(' ')
                        + GLS("Can't copy the file") + QStringLiteral(":\r\"") + displayName(op.item)
                        + QStringLiteral("\" ") + m_words.to + QStringLiteral("\r\"")
                        + displayName(op.target) + QLatin1Char('"'));
            return false;
        }
        m_knownFolder = parent;
        m_knownFolderStat = folder;
        m_knownFolderFd = std::move(open);
    }
    // In a folder made by this run, a copy beside others need not look: a
    // look there waits for the folder's lock behind the copies linking
    // their names into it, and finds nothing.
    op.targetUnlooked = !m_lookAtEveryTarget && runsAside(op) && m_madeFolders.contains(parent);
    const ItemInfo targetInfo = op.targetUnlooked
                                    ? ItemInfo()
                                    : readTargetIn(op.target, m_knownFolderFd ? m_knownFolderFd->fd : -1);
    const bool replaces = targetInfo.exists();
    op.targetExists = replaces;
    // A plain file over a plain unlocked one needs no unlocking first and
    // may be copied beside others; anything else goes one at a time.
    const bool aside = runsAside(op)
                       && (!replaces || (targetInfo.kind == ItemKind::File && !targetInfo.locked
                                         && isDeletable(op.target)));
    if (!aside)
        return replaces ? replaceFile(op, targetInfo) : copyNewFile(op);
    const quint64 size = op.itemInfo.totalLogicalSize();
    // The copies still running need their room too; when it may be short,
    // they end first and the check is the one-at-a-time one.
    if (m_pendingBytes == 0 || !hasRoomFor(size + m_pendingBytes, op.target, nullptr)) {
        takeFinishedCopies(0);
        QString extra;
        if (!hasRoomFor(size, op.target, &extra))
            return finishCopy(op, replaces, false, extra);
    }
    m_room.startedSince += size;
    startCopyAside(op, size, replaces);
    return true;
}

// The folder of a copy's source, held open while its items are copied: the
// read of each item and its copy look it up there. -1 when it cannot be
// opened, which is only a help lost: the full path is walked instead.
int Executor::sourceFolderOf(const QString &item)
{
    const QString source = parentPath(item);
    if (source != m_sourceFolder) {
        const int fd = ::open(nativeName(source).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        m_sourceFolderFd = fd >= 0 ? std::make_shared<const OpenDescriptor>(fd) : nullptr;
        m_sourceFolder = source;
    }
    return m_sourceFolderFd ? m_sourceFolderFd->fd : -1;
}

// What this operation has just read of its item and of the target's folder
// (the folder only when it is the one known to exist).
Executor::KnownStats Executor::knownStats(const Operation &op) const
{
    KnownStats known;
    known.item = op.itemStat;
    known.targetFree = !op.targetExists;
    known.targetUnlooked = op.targetUnlooked;
    if (!m_knownFolder.isEmpty() && parentPath(op.target) == m_knownFolder) {
        known.folder = m_knownFolderStat;
        known.folderFd = m_knownFolderFd;
    }
    if (!m_sourceFolder.isEmpty() && parentPath(op.item) == m_sourceFolder)
        known.sourceFolderFd = m_sourceFolderFd;
    known.itemFd = op.itemFd;
    known.itemHasNoAttributes = op.itemHasNoAttributes;
    return known;
}

bool Executor::finishCopy(const Operation &op, bool replaced, bool copied, const QString &extra)
{
    return replaced ? finishReplacement(op, copied, extra) : finishNewFile(op, copied, extra);
}

bool Executor::runsAside(const Operation &op) const
{
    return m_asideSucceeded && op.kind == Kind::File && m_copyThreads > 1 && !m_faultHook;
}

void Executor::startCopyAside(const Operation &op, quint64 size, bool replaces)
{
    if (!m_pipeline)
        m_pipeline = std::make_unique<WorkerPool>(m_copyThreads, kCopiesGathered);
    PendingCopy pending;
    pending.op = op;
    pending.size = size;
    pending.allSucceeded = m_asideSucceeded;
    pending.replaces = replaces;
    pending.status = m_pipeline->submit(
        // The engine's own copies start at the first temporary name, each
        // copy thread at one of its own after it.
        [this, item = op.item, target = op.target, known = knownStats(op)](int worker) {
            return copyAndStamp(item, target, worker + 2, &known);
        });
    m_pending.push_back(std::move(pending));
    ++m_copiesStarted;
    m_pendingBytes += size;
    m_wentAside = true;
    if (m_pending.size() > kCopiesInFlight)
        takeFinishedCopies(kCopiesLeftRunning);
    const size_t fewest = kCopiesPerThreadWhateverTheirSize * size_t(m_copyThreads);
    while (m_pendingBytes > kBytesInFlight && m_pending.size() > fewest && !m_draining)
        takeFinishedCopies(m_pending.size() - 1);
}

// Takes the results of the oldest copies, in the order they were started,
// until at most `keepRunning` are left.
void Executor::takeFinishedCopies(size_t keepRunning)
{
    if (m_draining)
        return;
    m_draining = true;
    while (m_pending.size() > keepRunning) {
        PendingCopy pending = std::move(m_pending.front());
        m_pending.pop_front();
        const OSStatus status = pending.status.get();
        m_pendingBytes -= pending.size;
        if (status == Status::dupFNErr && pending.op.targetUnlooked)
            m_lastAsideOk = retryLookingAtTarget(pending.op);
        else
            m_lastAsideOk = finishCopy(pending.op, pending.replaces, status == Status::noErr,
                                       status == Status::noErr ? QString() : copyErrorText(status));
        for (const QString &line : std::as_const(pending.linesAfter))
            m_ctx.logSuccess(line);
        if (m_lastAsideOk)
            m_ctx.noteItemDone();
        else
            *pending.allSucceeded = false;
        ++m_copiesTaken;
        finishDueFolders();
    }
    m_draining = false;
}

// A copy into a made folder found its name taken, or could not be built
// without a name, and made nothing: it is done again as any other, after a
// look at what is there, which then decides whether it is a replacement.
bool Executor::retryLookingAtTarget(Operation &op)
{
    m_lookAtEveryTarget = true;
    op.targetUnlooked = false;
    const ItemInfo targetInfo = readInfo(op.target);
    op.targetExists = targetInfo.exists();
    return op.targetExists ? replaceFile(op, targetInfo) : copyNewFile(op);
}

bool Executor::copyWithRoom(const Operation &op, QString *extra)
{
    const quint64 size = op.kind == Kind::Package ? LPUtilities().ItemSize(op.item)
                                                  : op.itemInfo.totalLogicalSize();
    if (!hasRoomFor(size, op.target, extra))
        return false;
    m_room.startedSince += size;
    const KnownStats known = knownStats(op);
    const OSStatus status = copyAndStamp(op.item, op.target, 1, &known);
    if (status != Status::noErr)
        *extra = copyErrorText(status);
    return status == Status::noErr;
}

// Runs on the copy threads too: the copier and the stamp keep no state.
OSStatus Executor::copyAndStamp(const QString &item, const QString &target, int firstTempName,
                                const KnownStats *known) const
{
    bool stamped = false;
    const OSStatus status = copyInto(item, target, firstTempName, known, &stamped);
    if (status == Status::noErr && !stamped)
        LPUtilities().SetBackupDateDitto(item, m_copier.backupDate());
    return status;
}

bool Executor::replaceFile(Operation &op, const ItemInfo &targetInfo)
{
    const SessionSettings &set = m_ctx.settings();
    const bool wasLocked = targetInfo.locked;
    bool unlocked = false;
    QString extra;
    bool ok = true;
    if (!isDeletable(op.target)) {
        extra = errorTail(GLS("Can't delete the destination file.") + QLatin1Char(' ')
                          + GLS("Insufficient privileges"));
        ok = false;
    } else if (wasLocked) {
        if (!set.isUnlockOn) {
            // The copier would take the lock off to replace; the lock is the
            // user's word that this file stays.
            extra = errorTail(QStringLiteral("The file is locked"));
            ok = false;
        } else {
            ChangeFileAttributes(op.target, AttributeChange{-1, 0, -1, -1});
            unlocked = !readInfo(op.target).locked;
            if (!unlocked) {
                extra = errorTail(GLS("Can't unlock the destination file.") + QLatin1Char(' ')
                                  + GLS("Insufficient privileges"));
                ok = false;
            }
        }
    }
    if (ok)
        ok = copyWithRoom(op, &extra);
    if (!ok && unlocked) {
        finishReplacement(op, false, extra);
        ChangeFileAttributes(op.target, AttributeChange{-1, 1, -1, -1});
        return false;
    }
    return finishReplacement(op, ok, extra);
}

bool Executor::finishReplacement(const Operation &op, bool replaced, const QString &extra)
{
    if (!replaced) {
        const char *what = op.kind == Kind::SymLink  ? "Can't replace the Sym Link"
                           : op.kind == Kind::Package ? "Can't replace the file package"
                                                      : "Can't replace the file";
        reportError(GLS(what) + QStringLiteral(":\r\"") + displayName(op.target) + QStringLiteral("\" ")
                    + GLS("with the most recent:") + QStringLiteral("\r\"") + displayName(op.item)
                    + QLatin1Char('"') + extra);
        return false;
    }
    recordCopy(op);
    SideCounters &c = m_ctx.counters().side(op.changed);
    ++c.filesReplaced;
    countVisibility(op);
    logLine(m_words.replacedFile + QStringLiteral(" \"") + displayName(op.target) + QStringLiteral("\"\r")
            + m_words.withTheMostRecentFile + quoted(op.item));
    return true;
}

bool Executor::copyNewFile(Operation &op)
{
    QString extra;
    const bool copied = copyWithRoom(op, &extra);
    return finishNewFile(op, copied, extra);
}

bool Executor::finishNewFile(const Operation &op, bool copied, const QString &extra)
{
    if (!copied) {
        // The copier builds under a temporary name and removes it on failure,
        // so whatever is at the target now is not ours: it is left alone.
        const char *what = (op.kind == Kind::Package) ? "Can't copy the file package"
                           : op.kind == Kind::SymLink ? "Can't copy the Sym Link"
                                                      : "Can't copy the file";
        reportError(GLS(what) + QStringLiteral("\r\"") + displayName(op.item) + QStringLiteral("\" ")
                    + m_words.to + QStringLiteral("\r\"") + displayName(op.target) + QLatin1Char('"') + extra);
        return false;
    }
    recordCopy(op);
    ++m_ctx.counters().side(op.changed).filesCopied;
    countVisibility(op);
    logLine(m_words.copiedFile + quoted(op.item) + QLatin1Char(' ') + m_words.to
            + QStringLiteral("\r\"") + displayName(op.target) + QLatin1Char('"'));
    return true;
}

// The copy carries the run's start as its backup date already.
void Executor::recordCopy(const Operation &op)
{
    if (ExactSyncRecorder *record = m_ctx.exactSyncRecorder())
        record->copied(op.target, op.kind == Kind::Package ? ExactSyncRecorder::Package
                                                           : ExactSyncRecorder::File);
}

void Executor::countVisibility(const Operation &op)
{
    // Dot names count as invisible here, as the shell shows them.
    const qsizetype slash = op.item.lastIndexOf(QLatin1Char('/'));
    const bool invisible = op.item.at(slash + 1) == QLatin1Char('.')
                           || (op.itemInfo.finderInfo.flags() & FinderInfo::kIsInvisible);
    SideCounters &c = m_ctx.counters().side(op.changed);
    ++(invisible ? c.itemInvisible : c.itemVisible);
}

bool Executor::CopySingleFile(const QString &item, QString &target, QString *errStr)
{
    if (!readInfo(item).exists()) {
        *errStr = errorTail(GLS("Cannot find the source file"));
        return false;
    }
    if (!readInfo(parentPath(target)).isFolder()) {
        *errStr = errorTail(GLS("Cannot find the destination folder"));
        return false;
    }
    return copyObject(item, target, errStr);
}

// The item into the target's folder, replacing what has its name.
OSStatus Executor::copyInto(const QString &item, const QString &target, int firstTempName,
                            const KnownStats *known, bool *sourceStamped) const
{
    CopyOptions options;
    options.sourceStamped = sourceStamped;
    if (known) {
        options.sourceStat = known->item;
        options.destFolderStat = known->folder;
        options.buildUnnamed = known->targetFree;
        options.onlyUnnamed = known->targetUnlooked;
        if (known->sourceFolderFd)
            options.sourceFolderFd = known->sourceFolderFd->fd;
        if (known->folderFd)
            options.destFolderFd = known->folderFd->fd;
        if (known->itemFd) {
            options.sourceFd = known->itemFd->fd;
            options.sourceHasNoAttributes = known->itemHasNoAttributes;
        }
    }
    options.duplicateAction = kDupReplace;
    options.faultHook = m_faultHook;
    options.firstTempName = firstTempName;
    RunContext &ctx = m_ctx;
    options.dataProgress = [&ctx, item](int64_t copied, int64_t size) { ctx.publishBytes(item, copied, size); };
    return m_copier.FSCopyObject(item, parentPath(target), options);
}

bool Executor::copyObject(const QString &item, const QString &target, QString *errStr)
{
    const OSStatus status = copyInto(item, target);
    if (status == Status::noErr)
        return true;
    *errStr = copyErrorText(status);
    return false;
}

bool Executor::CheckFreeSpaceFor(const QString &item, const QString &target, QString *errStr,
                                 quint64 *sourceSize)
{
    const quint64 size = LPUtilities().ItemSize(item);
    *sourceSize = size;
    return hasRoomFor(size, target, errStr);
}

bool Executor::hasRoomFor(quint64 size, const QString &target, QString *errStr)
{
    const QString folder = parentPath(target);
    if (roomSurelyLeft(size, folder))
        return true;
    struct statvfs vfs;
    if (::statvfs(nativeName(folder).constData(), &vfs) != 0) {
        m_room = RoomMemo{};
        return true; // no free size known: the copier's own failure will tell
    }
    const quint64 free = quint64(vfs.f_bavail) * quint64(vfs.f_frsize);
    m_room = RoomMemo{folder, free, 0, QDateTime::currentMSecsSinceEpoch()};
    if (free > size)
        return true;
    if (!errStr)
        return false;
    *errStr = QLatin1Char('\r') + GLS("Error:") + QLatin1Char('\r')
              + QStringLiteral("Not enough space on the destination disk.") + QLatin1Char('\r')
              + GLS("Free Memory:") + QStringLiteral("        ") + QString::number(free)
              + QLatin1Char(' ') + GLS("bytes") + QStringLiteral(".\r") + GLS("Memory Required:")
              + QLatin1Char(' ') + QString::number(size) + QLatin1Char(' ') + GLS("bytes");
    return false;
}

// Only an answer that leaves a wide margin is taken from the memo, and only
// for a moment: a copy that could come near the limit, or another program
// filling the disk meanwhile, is always checked against the file system.
bool Executor::roomSurelyLeft(quint64 size, const QString &folder) const
{
    constexpr quint64 kMargin = 64ull << 20;
    constexpr qint64 kTrustMs = 1000;
    if (m_room.folder != folder)
        return false;
    if (QDateTime::currentMSecsSinceEpoch() - m_room.askedAtMs > kTrustMs)
        return false;
    return m_room.freeAtQuery >= kMargin && size <= m_room.freeAtQuery - kMargin
           && m_room.startedSince <= m_room.freeAtQuery - kMargin - size;
}

bool Executor::CopyAttributes(const QString &from, const QString &to)
{
    const ItemInfo info = readInfo(from);
    if (info.isFolder() && isFilePackageAtPath(from))
        return CopyAttributesPackage(from, to);
    return copyAttributesItem(from, to, info);
}

bool Executor::CopyAttributesItem(const QString &from, const QString &to)
{
    return copyAttributesItem(from, to, readInfo(from));
}

bool Executor::copyAttributesItem(const QString &from, const QString &to, const ItemInfo &fromInfo)
{
    if (!fromInfo.exists()) {
        m_ctx.diagnostic(QStringLiteral("CopyAttributesItem - Can't find the source item: ") + from);
        return false;
    }
    struct stat toNow;
    const QByteArray toNative = nativeName(to);
    if (::lstat(toNative.constData(), &toNow) != 0) {
        m_ctx.diagnostic(QStringLiteral("CopyAttributesItem - Can't find the destination item: ") + to);
        return false;
    }
    const SessionSettings &set = m_ctx.settings();
    // The owner may then change it; nobody else gains anything meanwhile.
    if (!set.euidRoot)
        ChangeFileAttributes(to, AttributeChange{kPrivateFolderMode, -1, -1, -1});
    // A folder's named streams and access control lists, as a copied file
    // has them; before its modes, which an access list would set otherwise.
    if (fromInfo.isFolder() && S_ISDIR(toNow.st_mode)) {
        // A locked folder takes no attribute; SetCatInfo sets its lock again.
        if (readOperand(to).locked)
            ChangeFileAttributes(to, AttributeChange{-1, 0, -1, -1});
        if (const OSStatus st = CopyFolderExtendedAttributes(from, to)) {
            reportError(GLS("Can't copy the extended attributes of the folder") + quoted(to)
                        + copyErrorText(st));
            return false;
        }
    }
    SetCatInfoSettings cat;
    cat.startSyncDate = m_copier.backupDate();
    cat.changePermissions = set.changePermissions;
    cat.cpOwner = set.cpOwner;
    cat.cpGroup = set.cpGroup;
    cat.cpOthers = set.cpOthers;
    if (!SetCatInfo(fromInfo, from, to, cat)) {
        m_ctx.diagnostic((set.euidRoot ? QStringLiteral("Root SetCatInfo NO: ")
                                       : QStringLiteral("Simple User SetCatInfo NO: "))
                         + to);
        return false;
    }
    if (set.euidRoot && !set.changePermissions
        && (::lstat(toNative.constData(), &toNow) != 0 || (toNow.st_mode & 07777) != fromInfo.permissions())) {
        m_ctx.diagnostic(QStringLiteral("Root NSFilePosixPermissions NO: ") + to);
        return false;
    }
    if (fromInfo.locked)
        ChangeFileAttributes(to, AttributeChange{-1, 1, -1, -1});
    return true;
}

bool Executor::CopyAttributesPackage(const QString &from, const QString &to)
{
    QStringList names;
    {
        QString unreadable;
        std::vector<ScanPairNames> pairs;
        pairFolderNames(from, QString(), false, &pairs, &unreadable);
        for (const ScanPairNames &p : pairs)
            names.append(p.nameA);
    }
    for (const QString &name : names) {
        const QString f = from + QLatin1Char('/') + name;
        const QString t = to + QLatin1Char('/') + name;
        const ItemInfo fi = readInfo(f);
        const ItemInfo ti = readInfo(t);
        if (!fi.exists() || !ti.exists() || fi.isSymLink())
            continue;
        const bool ok = (fi.isFolder() && ti.isFolder()) ? CopyAttributesPackage(f, t)
                                                         : CopyAttributesItem(f, t);
        if (!ok)
            return false;
    }
    return CopyAttributesItem(from, to);
}

// Whatever is written to the log comes after the lines of the copies still
// running, which were started before. An error waits for them: it may stop
// the run.
void Executor::reportError(const QString &text)
{
    takeFinishedCopies(0);
    m_ctx.reportRunError(text);
}

// A line waits behind the last copy started rather than the walk waiting
// for the copies: a folder made between two of them would otherwise let the
// copy threads run dry.
void Executor::logLine(const QString &line)
{
    if (!m_draining && !m_pending.empty()) {
        m_pending.back().linesAfter.append(line);
        return;
    }
    m_ctx.logSuccess(line);
}

} // namespace qm
