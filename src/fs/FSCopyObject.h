#pragma once
// The object copier: copies a file, package, folder or link into a folder
// with every fork and extended attribute, the catalog information, owner and
// group. The object is always built under a temporary name ("QMTempFile N")
// and only then put in place, so a name never names a half-written object;
// on any failure the partial copy is removed and an object that was to be
// replaced is left as it was.
#include "fs/CatalogInfo.h"
#include "platform/CatalogDate.h"
#include "platform/Status.h"

#include <QString>
#include <atomic>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <cstdint>
#include <functional>

namespace qm {

enum DuplicateAction : int {
    kDupDeleteFirst = 0,   // delete an existing object of the same name first
    kDupReplace = 1,       // replace an existing object once the copy is complete
    kDupNone = 2,          // no special handling: an existing name fails with dupFNErr
};

// Called after each object is created (path of the new object, its catalog
// information, its depth below the top); answering true stops the copy,
// which then fails with userCanceledErr and removes what it made.
using CopyFilter = std::function<bool(const QString &newPath, const CatalogInfo &info, int depth)>;

// Test hook: asked before each data read, data write and rename with the
// operation's name ("read", "write", "rename", "xattr") and the source path;
// a non-zero errno answer makes that operation fail with it.
using CopyFaultHook = std::function<int(const char *operation, const QByteArray &path)>;

struct CopyOptions {
    int maxLevels = 0; // 0: every level
    int duplicateAction = kDupReplace;
    CopyFilter filter;
    CopyFaultHook faultHook;
    // Told on the copying thread as the data of the top object, when it is
    // a file, is copied: the bytes copied so far and the file's size.
    std::function<void(int64_t copied, int64_t size)> dataProgress;
    // The temporary name tried first (1 to 9, then on in turn). Copies
    // running side by side in one folder start at different ones, so that
    // they do not try each other's names first.
    int firstTempName = 1;
    // The source as its caller has just read it (statx with STATX_BASIC_STATS
    // and STATX_BTIME, not following a final link): not asked again.
    std::optional<struct statx> sourceStat;
    // The destination folder as its caller has just found it (a folder).
    std::optional<struct stat> destFolderStat;
    // The caller expects the name to be free: a plain file is then built
    // without any name and linked under its own once complete, so that no
    // temporary is ever seen and a crash leaves nothing behind. Where the
    // file system cannot, or the name turns out taken, the copy is built
    // under a temporary name as usual.
    bool buildUnnamed = false;
    // With buildUnnamed: the caller has not looked at the name, it only
    // believes it free. The copy is then made the unnamed way or not at all:
    // where that way is closed (the name is taken, or the file system cannot)
    // nothing is made or replaced and the answer is dupFNErr, so that the
    // caller looks and decides.
    bool onlyUnnamed = false;
    // The source's folder and the destination folder, held open by the
    // caller for the length of the call (O_PATH is enough). A file built
    // without a name is then opened, made and linked by name within them,
    // instead of by walking both full paths again for each step.
    int sourceFolderFd = -1;
    int destFolderFd = -1;
    // The source file (a plain file), opened for reading by the caller right
    // after it read sourceStat and held open for the length of the call: it
    // is read through this descriptor instead of being opened again.
    int sourceFd = -1;
    // With sourceFd: the caller found no extended attribute on the source.
    // They are then listed only if the source changed after sourceStat.
    bool sourceHasNoAttributes = false;
    // When given, a file built without a name also stamps its source with
    // the backup date, through the descriptor it read it by, once the copy
    // is in place; set true when that stamp was written.
    bool *sourceStamped = nullptr;
};

class ObjectCopier {
public:
    // The backup date stamped on the top object of every copy (the run's start).
    void SetBackupDate(const UTCDateTime &date) { m_backupDate = date; }
    const UTCDateTime &backupDate() const { return m_backupDate; }

    // Copies source (not following a final link) into destFolder under the
    // source's own name. newPath, when given, receives the copy's path.
    OSStatus FSCopyObject(const QString &source, const QString &destFolder,
                          const CopyOptions &options = {}, QString *newPath = nullptr) const;

    ObjectCopier() = default;
    ObjectCopier(const ObjectCopier &other) : m_backupDate(other.m_backupDate) {}
    ObjectCopier &operator=(const ObjectCopier &other)
    {
        m_backupDate = other.m_backupDate;
        return *this;
    }

private:
    bool isDropBoxFolder(const QByteArray &folder, const struct stat &st) const;

    UTCDateTime m_backupDate;
    // The last destination folder asked whether it is a drop box, by the
    // identity and rights it had then; files of one folder follow each other.
    // (Its change time moves with every file put in it, so it is no part of
    // the key; the process never changes its own ids.)
    struct FolderKey {
        uint64_t device = 0, inode = 0;
        uint32_t mode = 0, uid = 0, gid = 0;
        bool operator==(const FolderKey &) const = default;
    };
    mutable std::mutex m_dropBoxMutex;
    mutable std::optional<std::pair<FolderKey, bool>> m_dropBoxMemo;
    // The last destination volume that refused to clone files (st_dev),
    // asked no more. Copies may run on several threads at once.
    mutable std::atomic<uint64_t> m_noCloneDevice{~uint64_t(0)};
    // Linking a nameless file by its descriptor alone was refused (it needs
    // a privilege on older kernels): /proc is asked from then on.
    mutable std::atomic<bool> m_linkByFdRefused{false};
};

// Deletes a file, link or folder with all its content, unlocking locked
// items first. A missing item is fnfErr.
OSStatus FSDeleteObjects(const QString &path);

// Gives the folder `to` every extended attribute of the folder `from` (its
// named streams and its access control lists, access and default) but the
// catalog fields, which SetCatInfo writes; attributes of those families
// that `from` lacks are removed from `to`. Called once the folder's content
// is in place: a default list applied earlier would change the modes of
// everything created in it.
OSStatus CopyFolderExtendedAttributes(const QString &from, const QString &to);

// "QMTempFile N" (N from 1 to 9): the names copies are built under.
bool IsTemporaryName(const QString &name);
// A copy's temporary that a stop or a crash left behind: a temporary name on
// a file or folder that still carries the busy marks of a copy under way.
// Such an item is never the user's.
bool IsLeftoverTemporary(const QString &path);

// The copy buffer size for the volume holding path: 256 KB unless the volume
// reports a speed grade, clamped to 1 KB .. 2 MB.
uint32_t BufferSizeForVol(const QString &path);
// The rule itself, from a volume's speed grade (0 or positive: unknown).
uint32_t BufferSizeForSpeedGrade(int64_t speedGrade);

} // namespace qm
