#include "fs/FSCopyObject.h"
#include "platform/FileName.h"

#include "fs/Volume.h"
#include "platform/FileFlags.h"
#include "platform/Xattr.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace qm {

namespace {

// Data is moved in pieces of this size so that a stop or a fault is noticed
// between pieces without costing measurable time on large files.
constexpr size_t kCopyChunk = 1 << 20;

struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    // Closing a written file can report a write-back failure: it must count.
    int close()
    {
        const int r = fd >= 0 ? ::close(fd) : 0;
        fd = -1;
        return r;
    }
};

OSStatus errnoStatus()
{
    return statusFromErrno(errno);
}

QByteArray childPath(const QByteArray &folder, const char *name)
{
    QByteArray p = folder;
    if (!p.endsWith('/'))
        p += '/';
    return p + name;
}

QByteArray baseName(const QByteArray &path)
{
    QByteArray p = path;
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf('/');
    return slash < 0 ? p : p.mid(slash + 1);
}

bool lexists(const QByteArray &path, OSStatus *lookupError = nullptr)
{
    struct stat st;
    if (::lstat(path.constData(), &st) == 0)
        return true;
    if (lookupError)
        *lookupError = errno == ENOENT ? Status::noErr : errnoStatus();
    return false;
}

struct Source {
    QByteArray path;
    struct statx stx;
    uint32_t type() const { return stx.stx_mode & S_IFMT; }
    bool locked() const
    {
        return (stx.stx_attributes_mask & STATX_ATTR_IMMUTABLE) && (stx.stx_attributes & STATX_ATTR_IMMUTABLE);
    }
    timespec btimeOrMtime() const
    {
        const statx_timestamp &t = (stx.stx_mask & STATX_BTIME) ? stx.stx_btime : stx.stx_mtime;
        return timespec{t.tv_sec, t.tv_nsec};
    }
};

OSStatus statSource(const QByteArray &path, Source *out)
{
    out->path = path;
    if (::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
                STATX_BASIC_STATS | STATX_BTIME, &out->stx) != 0)
        return errnoStatus();
    return Status::noErr;
}

// The file open as `now` is still the one `then` was read from, unchanged
// since in data and attributes.
bool unchangedSince(const struct stat &now, const struct statx &then)
{
    return uint64_t(now.st_ino) == then.stx_ino && now.st_dev == makedev(then.stx_dev_major, then.stx_dev_minor)
           && now.st_ctim.tv_sec == then.stx_ctime.tv_sec && now.st_ctim.tv_nsec == long(then.stx_ctime.tv_nsec);
}

// Marks and dates that this copy adds itself (busy marks, a creation date
// taken from the birth time, the run's backup date) are not data of the
// source: a destination file system without extended attributes at all
// (vfat, some network shares) simply cannot keep them, and refusing every
// copy there would help nobody. Anything the source itself carries in an
// attribute still fails the copy when it is refused.
OSStatus keepable(OSStatus st)
{
    return st == Status::errFSOperationNotSupported ? Status::noErr : st;
}

// The process never changes its ids: asked once.
bool runsAsRoot()
{
    static const bool root = ::geteuid() == 0;
    return root;
}

// Everything one FSCopyObject call needs at every level of the walk.
class CopyJob {
public:
    CopyJob(const CopyOptions &options, const UTCDateTime &backupDate, uint32_t bufferSize,
            bool dropBox, bool tryClone, bool linkByFd = false)
        : m_options(options), m_backupDate(backupDate), m_bufferSize(bufferSize),
          m_dropBox(dropBox), m_root(runsAsRoot()), m_busyDate(UTCDateTime::magicBusyDate()),
          m_tryClone(tryClone), m_linkByFd(linkByFd)
    {
    }

    // The top object's name was taken by someone else between the choice of
    // the name and its creation.
    bool topNameTaken() const { return m_topNameTaken; }
    // The top object was created by this job (and is its to remove).
    bool topCreated() const { return m_topCreated; }
    // The destination's file system answered that it cannot clone.
    bool cloneRefused() const { return !m_tryClone; }
    // Linking by descriptor alone was tried and refused.
    bool linkByFdRefused() const { return m_linkByFdRefused; }

    // Builds the copy of src at dst (a name that does not exist yet).
    OSStatus copyTop(const Source &src, const QByteArray &dst)
    {
        return copyItem(src, dst, 0, true);
    }

    // Builds the copy of the file src without a name in `folder` and links
    // it as `real` once complete. `unavailable` is set when the file system
    // or the name cannot take this way and nothing was made: the caller then
    // builds under a temporary name.
    OSStatus copyTopUnnamed(const Source &src, const QByteArray &folder, const QByteArray &real,
                            bool *unavailable);

    int fault(const char *op, const QByteArray &path) const
    {
        return m_options.faultHook ? m_options.faultHook(op, path) : 0;
    }

private:
    OSStatus copyItem(const Source &src, const QByteArray &dst, int depth, bool top);
    OSStatus copyFile(const Source &src, const QByteArray &dst, int depth, bool top);
    OSStatus copyData(int in, int out, const Source &src);
    OSStatus copyDataBuffered(int in, int out, off_t from, off_t to, const Source &src);
    OSStatus copyXattrs(int in, int out, const Source &src, bool top, bool *hadCrDate,
                        bool *hadFinderInfo);
    OSStatus copyFolder(const Source &src, const QByteArray &dst, int depth, bool top);
    OSStatus copyFolderContent(const Source &src, const QByteArray &dst, int depth);
    OSStatus copyLink(const Source &src, const QByteArray &dst, int depth, bool top);
    OSStatus copySpecial(const Source &src, const QByteArray &dst, int depth, bool top);
    OSStatus finishCatalog(int out, const Source &src, bool top, bool hadCrDate, bool hadFinderInfo,
                           const struct stat *outNow = nullptr);
    OSStatus copyOwner(int out, const Source &src, const struct stat *outNow, bool *changed) const;
    OSStatus sizeCheck(int in, int out, const Source &src, struct stat *inNow, struct stat *outNow) const;
    bool filterStops(const QByteArray &dst, int depth) const;

    const CopyOptions &m_options;
    UTCDateTime m_backupDate;
    uint32_t m_bufferSize;
    bool m_dropBox;
    bool m_root;
    UTCDateTime m_busyDate;
    std::vector<char> m_buffer;
    bool m_tryClone;
    bool m_linkByFd;
    bool m_linkByFdRefused = false;
    bool m_tryCopyRange = true;
    bool m_tellData = false; // the file being copied is the top object
    void tellData(off_t copied, off_t size) const
    {
        if (m_tellData)
            m_options.dataProgress(int64_t(copied), int64_t(size));
    }
    OSStatus fillFile(const Source &src, int in, int out, bool top, struct stat *outNow);
    int linkUnnamed(int fd, const QByteArray &real, const char *name);

    bool m_topNameTaken = false;
    bool m_topCreated = false;
    bool m_busyMarked = false;
};

bool CopyJob::filterStops(const QByteArray &dst, int depth) const
{
    if (!m_options.filter)
        return false;
    CatalogInfo info;
    ReadCatalogInfo(dst, &info);
    return m_options.filter(fromNativeName(dst), info, depth);
}

OSStatus CopyJob::copyItem(const Source &src, const QByteArray &dst, int depth, bool top)
{
    switch (src.type()) {
    case S_IFREG: return copyFile(src, dst, depth, top);
    case S_IFDIR: return copyFolder(src, dst, depth, top);
    case S_IFLNK: return copyLink(src, dst, depth, top);
    default: return copySpecial(src, dst, depth, top);
    }
}

OSStatus CopyJob::copyFile(const Source &src, const QByteArray &dst, int depth, bool top)
{
    // Owner-only while it is written: nobody else may read or change a
    // file that is not yet what it will be. Made before the source is
    // opened, so that a name taken by a copy running beside this one costs
    // one call only.
    Fd out(::open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.fd < 0) {
        m_topNameTaken = top && errno == EEXIST;
        const OSStatus st = errnoStatus();
        if (!m_topNameTaken) // a lost race for a free name is tried again
            qWarning("FSCreateFileUnicode err: %d", int(st));
        return st;
    }
    m_topCreated = m_topCreated || top;
    // From here on a failure leaves a partial object that the caller removes.
    Fd opened(top && m_options.sourceFd >= 0
                  ? -1
                  : ::open(src.path.constData(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    const int in = opened.fd >= 0 ? opened.fd : top ? m_options.sourceFd : -1;
    if (in < 0)
        return errnoStatus();
    // The busy creation date alone marks a copy under way (its temporary
    // name already tells that it is unfinished): a second mark beside it
    // would push the attributes out of the inode into a block of their
    // own, allocated and freed again for every file. The real date later
    // takes its place at the same size.
    OSStatus st = Status::noErr;
    if (top && !m_dropBox
        && (st = keepable(xattr::set(out.fd, xattr::kCreationDate, m_busyDate.encode()))))
        return st;
    m_busyMarked = top && !m_dropBox;
    if (filterStops(dst, depth))
        return Status::userCanceledErr;
    struct stat outNow;
    if ((st = fillFile(src, in, out.fd, top, &outNow)))
        return st;
    // Inner files are locked last of all; the top one once it is in place.
    if (!top && src.locked() && (st = fileflags::setImmutable(out.fd, true)))
        return st;
    if (out.close() != 0)
        return errnoStatus();
    return Status::noErr;
}

// Data, attributes and catalog information of a created file.
OSStatus CopyJob::fillFile(const Source &src, int in, int out, bool top, struct stat *outNow)
{
    m_tellData = top && bool(m_options.dataProgress);
    OSStatus st = copyData(in, out, src);
    if (st) {
        qWarning("CopyItemsForks err: %d", int(st));
        return st;
    }
    bool hadCrDate = false, hadFinderInfo = false;
    // The caller found no attributes on the source a moment ago: they are
    // listed only if it has changed since (any attribute written moves its
    // change time).
    const bool unlisted = top && in == m_options.sourceFd && m_options.sourceHasNoAttributes;
    if (!unlisted && (st = copyXattrs(in, out, src, top, &hadCrDate, &hadFinderInfo)))
        return st;
    struct stat inNow;
    if ((st = sizeCheck(in, out, src, &inNow, outNow)))
        return st;
    if (unlisted && !unchangedSince(inNow, src.stx)
        && (st = copyXattrs(in, out, src, top, &hadCrDate, &hadFinderInfo)))
        return st;
    return finishCatalog(out, src, top, hadCrDate, hadFinderInfo, outNow);
}

OSStatus CopyJob::copyTopUnnamed(const Source &src, const QByteArray &folder, const QByteArray &real,
                                 bool *unavailable)
{
    *unavailable = false;
    const int dir = m_options.destFolderFd;
    const QByteArray name = baseName(real); // the copy keeps its source's name
    // A file without a name cannot be opened by anyone else: it may take
    // its final permissions from the start, which mostly spares setting
    // them once it is complete.
    const mode_t mode = mode_t(src.stx.stx_mode & 0777);
    Fd out(dir >= 0 ? ::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode)
                    : ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (out.fd < 0) {
        *unavailable = errno == EOPNOTSUPP || errno == ENOSYS || errno == EISDIR || errno == EINVAL
                       || errno == ENOENT;
        return errnoStatus();
    }
    constexpr int readFlags = O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;
    Fd opened(m_options.sourceFd >= 0             ? -1
              : m_options.sourceFolderFd >= 0 ? ::openat(m_options.sourceFolderFd, name.constData(), readFlags)
                                              : ::open(src.path.constData(), readFlags));
    const int in = opened.fd >= 0 ? opened.fd : m_options.sourceFd;
    if (in < 0)
        return errnoStatus();
    struct stat made; // its identity does not change with what is written after
    OSStatus st = fillFile(src, in, out.fd, true, &made);
    if (st)
        return st;
    if (int e = fault("rename", real))
        return statusFromErrno(e);
    if (linkUnnamed(out.fd, real, name.constData()) != 0) {
        // Taken meanwhile, or no /proc: built again the usual way.
        *unavailable = errno == EEXIST || errno == ENOENT || errno == EOPNOTSUPP;
        return errnoStatus();
    }
    if (out.close() == 0) {
        if (m_options.sourceStamped && !m_backupDate.isNull())
            *m_options.sourceStamped = xattr::set(in, xattr::kBackupDate, m_backupDate.encode())
                                       == Status::noErr;
        return Status::noErr;
    }
    // The data may not have reached the disk: the name goes again, unless
    // something else has taken it since.
    st = errnoStatus();
    struct stat now;
    const bool same = (dir >= 0 ? ::fstatat(dir, name.constData(), &now, AT_SYMLINK_NOFOLLOW)
                                : ::lstat(real.constData(), &now)) == 0
                      && now.st_ino == made.st_ino && now.st_dev == made.st_dev;
    if (same)
        dir >= 0 ? ::unlinkat(dir, name.constData(), 0) : ::unlink(real.constData());
    return st;
}

// Gives the nameless file `fd` its name: within the destination folder's
// descriptor when the caller holds one, else by the full path. The
// descriptor alone serves where the kernel allows it; /proc otherwise.
int CopyJob::linkUnnamed(int fd, const QByteArray &real, const char *name)
{
    const int dir = m_options.destFolderFd;
    if (dir >= 0 && m_linkByFd) {
        if (::linkat(fd, "", dir, name, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM && errno != EINVAL)
            return -1;
        m_linkByFdRefused = true;
    }
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    return dir >= 0 ? ::linkat(AT_FDCWD, proc, dir, name, AT_SYMLINK_FOLLOW)
                    : ::linkat(AT_FDCWD, proc, AT_FDCWD, real.constData(), AT_SYMLINK_FOLLOW);
}

OSStatus CopyJob::copyData(int in, int out, const Source &src)
{
    const off_t size = off_t(src.stx.stx_size);
    if (size == 0)
        return Status::noErr;
    // A clone shares the blocks: instant, and exactly the same bytes.
    // (Not under fault injection, which needs the piecewise path.)
    if (m_tryClone && !m_options.faultHook) {
        if (::ioctl(out, FICLONE, in) == 0) {
            tellData(size, size);
            return Status::noErr;
        }
        if (errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP && errno != ENOTTY
            && errno != EPERM && errno != ETXTBSY)
            return errnoStatus();
        if (errno != EXDEV)
            m_tryClone = false;
    }
    // A file with a block for every byte has no holes to keep: one pass.
    if (uint64_t(src.stx.stx_blocks) * 512 >= uint64_t(size))
        return copyDataBuffered(in, out, 0, size, src);
    // Walk the data extents so that holes stay holes.
    off_t pos = 0;
    while (pos < size) {
        off_t data = ::lseek(in, pos, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break; // only a hole remains
            data = pos; // SEEK_DATA unsupported: treat all as data
        }
        off_t hole = ::lseek(in, data, SEEK_HOLE);
        if (hole < 0 || hole > size)
            hole = size;
        if (OSStatus st = copyDataBuffered(in, out, data, hole, src))
            return st;
        pos = hole;
    }
    // Sets the exact length, which also keeps a trailing hole.
    if (::ftruncate(out, size) != 0)
        return errnoStatus();
    return Status::noErr;
}

// Up to this many bytes a read and a write cost the kernel less than
// copy_file_range, which moves the data through a pipe of its own.
constexpr size_t kSmallCopy = 16384;

OSStatus CopyJob::copyDataBuffered(int in, int out, off_t from, off_t to, const Source &src)
{
    off_t pos = from;
    while (pos < to) {
        if (int e = fault("read", src.path))
            return statusFromErrno(e);
        if (int e = fault("write", src.path))
            return statusFromErrno(e);
        const size_t want = size_t(std::min<off_t>(to - pos, off_t(kCopyChunk)));
        const bool small = to - from <= off_t(kSmallCopy);
        if (m_tryCopyRange && !small) {
            loff_t ip = pos, op = pos;
            const ssize_t n = ::copy_file_range(in, &ip, out, &op, want, 0);
            if (n > 0) {
                pos += n;
                tellData(pos, off_t(src.stx.stx_size));
                continue;
            }
            if (n == 0)
                return Status::kSizeMismatchErr; // the source got shorter while copied
            if (errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP && errno != ENOSYS)
                return errnoStatus();
            m_tryCopyRange = false;
        }
        char onStack[kSmallCopy];
        char *buffer = onStack;
        size_t room = sizeof onStack;
        if (!small) {
            if (m_buffer.empty())
                m_buffer.resize(m_bufferSize);
            buffer = m_buffer.data();
            room = m_buffer.size();
        }
        const ssize_t n = ::pread(in, buffer, std::min(want, room), pos);
        if (n < 0)
            return errnoStatus();
        if (n == 0)
            return Status::kSizeMismatchErr;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::pwrite(out, buffer + done, size_t(n - done), pos + done);
            if (w < 0)
                return errnoStatus();
            done += w;
        }
        pos += n;
        tellData(pos, off_t(src.stx.stx_size));
    }
    return Status::noErr;
}

OSStatus CopyJob::copyXattrs(int in, int out, const Source &src, bool top, bool *hadCrDate,
                             bool *hadFinderInfo)
{
    QList<QByteArray> names;
    OSStatus st = xattr::list(in, &names);
    if (st == Status::errFSOperationNotSupported)
        return Status::noErr; // the source file system has none
    if (st)
        return st;
    for (const QByteArray &name : names) {
        // The top object's backup date is this run's, written at the end.
        if (top && name == xattr::kBackupDate)
            continue;
        QByteArray value;
        if ((st = xattr::get(in, name.constData(), &value))) {
            if (st == Status::errFSAttributeNotFound)
                continue; // removed meanwhile
            return st;
        }
        if (name == xattr::kCreationDate)
            *hadCrDate = true;
        if (name == xattr::kFinderInfo)
            *hadFinderInfo = true;
        if (int e = fault("xattr", src.path))
            return statusFromErrno(e);
        if ((st = xattr::set(out, name.constData(), value))) {
            qWarning("CopyFork otherForks err: %d (%s)", int(st), name.constData());
            return st;
        }
    }
    return Status::noErr;
}

OSStatus CopyJob::copyOwner(int out, const Source &src, const struct stat *outNow, bool *changed) const
{
    *changed = false;
    struct stat now;
    if (outNow)
        now = *outNow;
    else if (::fstat(out, &now) != 0)
        return errnoStatus();
    if (now.st_uid == src.stx.stx_uid && now.st_gid == src.stx.stx_gid)
        return Status::noErr;
    *changed = true; // even a refused change may have cleared set-id bits
    if (::fchown(out, m_root ? src.stx.stx_uid : uid_t(-1), src.stx.stx_gid) == 0)
        return Status::noErr;
    // An ordinary user keeps the copy's ownership where it may not be given away.
    if (!m_root && errno == EPERM)
        return Status::noErr;
    return errnoStatus();
}

// The resource fork travels as an attribute whose write either took all of
// it or failed, so the data forks are what is left to compare.
OSStatus CopyJob::sizeCheck(int in, int out, const Source &src, struct stat *inNow, struct stat *outNow) const
{
    struct stat &a = *inNow;
    if (::fstat(in, &a) != 0 || ::fstat(out, outNow) != 0)
        return errnoStatus();
    if (a.st_size != outNow->st_size || uint64_t(a.st_size) != src.stx.stx_size)
        return Status::kSizeMismatchErr;
    return Status::noErr;
}

// Writes the final catalog information to a new file or folder. The lock
// flag is not set here: a top object is locked only once it is in place.
OSStatus CopyJob::finishCatalog(int out, const Source &src, bool top, bool hadCrDate,
                                bool hadFinderInfo, const struct stat *outNow)
{
    OSStatus st = Status::noErr;
    if (hadFinderInfo) {
        QByteArray raw;
        if ((st = xattr::get(out, xattr::kFinderInfo, &raw)))
            return st;
        FinderInfo fi = FinderInfo::decode(raw);
        const bool wasInited = fi.flags() & FinderInfo::kHasBeenInited;
        fi.setFlags(fi.flags() & ~FinderInfo::kHasBeenInited);
        if (wasInited) {
            st = fi.isNull() ? xattr::remove(out, xattr::kFinderInfo)
                             : xattr::set(out, xattr::kFinderInfo, fi.encode());
            if (st)
                return st;
        }
    }
    if (!hadCrDate) {
        const UTCDateTime cr = UTCDateTime::fromTimespec(src.btimeOrMtime());
        st = cr.isNull() ? (top && m_busyMarked ? xattr::remove(out, xattr::kCreationDate) : Status::noErr) // no busy date stays
                         : xattr::set(out, xattr::kCreationDate, cr.encode());
        if ((st = keepable(st)))
            return st;
    }
    if (top) {
        st = m_backupDate.isNull() ? xattr::remove(out, xattr::kBackupDate)
                                   : xattr::set(out, xattr::kBackupDate, m_backupDate.encode());
        if ((st = keepable(st)))
            return st;
    }
    bool ownerChanged = false;
    if ((st = copyOwner(out, src, outNow, &ownerChanged))) {
        qWarning("Last CopyOwnerAndGroup err: %d", int(st));
        return st;
    }
    // What the file was made with may already be right: the mask and the
    // folder's inherited rights have shown in it by now.
    const mode_t mode = mode_t(src.stx.stx_mode & 07777);
    if ((!outNow || ownerChanged || (outNow->st_mode & 07777) != mode) && ::fchmod(out, mode) != 0)
        return errnoStatus();
    const timespec times[2] = {{src.stx.stx_atime.tv_sec, src.stx.stx_atime.tv_nsec},
                               {src.stx.stx_mtime.tv_sec, src.stx.stx_mtime.tv_nsec}};
    if (::futimens(out, times) != 0)
        return errnoStatus();
    return Status::noErr;
}

OSStatus CopyJob::copyFolder(const Source &src, const QByteArray &dst, int depth, bool top)
{
    // Owner-only while it is filled (the copy's real mode is written last).
    if (::mkdir(dst.constData(), 0700) != 0) {
        m_topNameTaken = top && errno == EEXIST;
        return errnoStatus();
    }
    m_topCreated = m_topCreated || top;
    // The busy creation date marks the folder as a copy under way, so that
    // one left by a crash is known as ours; its real date is written last.
    if (top && !m_dropBox) {
        if (OSStatus st = keepable(xattr::set(dst, xattr::kCreationDate, m_busyDate.encode())))
            return st;
    }
    if (filterStops(dst, depth))
        return Status::userCanceledErr;
    if (OSStatus st = copyFolderContent(src, dst, depth))
        return st;
    Fd in(::open(src.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Fd out(::open(dst.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (in.fd < 0 || out.fd < 0)
        return errnoStatus();
    bool hadCrDate = false, hadFinderInfo = false;
    if (OSStatus st = copyXattrs(in.fd, out.fd, src, top, &hadCrDate, &hadFinderInfo))
        return st;
    if (OSStatus st = finishCatalog(out.fd, src, top, hadCrDate, hadFinderInfo))
        return st;
    // Inner folders are locked as soon as they are complete; the top one
    // once it is in place.
    if (!top && src.locked())
        return fileflags::setImmutable(out.fd, true);
    return Status::noErr;
}

OSStatus CopyJob::copyFolderContent(const Source &src, const QByteArray &dst, int depth)
{
    if (m_options.maxLevels > 0 && depth >= m_options.maxLevels)
        return Status::noErr;
    DIR *dir = ::opendir(src.path.constData());
    if (!dir)
        return errnoStatus();
    OSStatus st = Status::noErr;
    while (st == Status::noErr) {
        errno = 0;
        dirent *e = ::readdir(dir);
        if (!e) {
            if (errno)
                st = errnoStatus();
            break;
        }
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        Source child;
        if ((st = statSource(childPath(src.path, n), &child))) {
            qWarning("FSGetCatalogInfoBulk err: %d", int(st));
            break;
        }
        st = copyItem(child, childPath(dst, n), depth + 1, false);
        if (st)
            qWarning("copyFileErr %d", int(st));
    }
    ::closedir(dir);
    return st;
}

OSStatus CopyJob::copyLink(const Source &src, const QByteArray &dst, int depth, bool top)
{
    // The link's text is copied as it is, wherever it points.
    QByteArray target(qsizetype(src.stx.stx_size ? src.stx.stx_size : 256) + 1, Qt::Uninitialized);
    const ssize_t n = ::readlink(src.path.constData(), target.data(), size_t(target.size()));
    if (n < 0)
        return errnoStatus();
    if (n >= target.size())
        return Status::kSizeMismatchErr; // changed while read
    target.truncate(n);
    if (::symlink(target.constData(), dst.constData()) != 0) {
        m_topNameTaken = top && errno == EEXIST;
        return errnoStatus();
    }
    m_topCreated = m_topCreated || top;
    if (filterStops(dst, depth))
        return Status::userCanceledErr;
    if (m_root && ::lchown(dst.constData(), src.stx.stx_uid, src.stx.stx_gid) != 0)
        return errnoStatus();
    const timespec times[2] = {{src.stx.stx_atime.tv_sec, src.stx.stx_atime.tv_nsec},
                               {src.stx.stx_mtime.tv_sec, src.stx.stx_mtime.tv_nsec}};
    if (::utimensat(AT_FDCWD, dst.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return errnoStatus();
    return Status::noErr;
}

OSStatus CopyJob::copySpecial(const Source &src, const QByteArray &dst, int depth, bool top)
{
    if (src.type() == S_IFSOCK)
        return Status::errFSOperationNotSupported; // a socket lives only while its server does
    const dev_t dev = makedev(src.stx.stx_rdev_major, src.stx.stx_rdev_minor);
    if (::mknod(dst.constData(), mode_t(src.type() | 0600), dev) != 0) {
        m_topNameTaken = top && errno == EEXIST;
        return errnoStatus();
    }
    m_topCreated = m_topCreated || top;
    if (filterStops(dst, depth))
        return Status::userCanceledErr;
    if (m_root && ::lchown(dst.constData(), src.stx.stx_uid, src.stx.stx_gid) != 0)
        return errnoStatus();
    if (::chmod(dst.constData(), mode_t(src.stx.stx_mode & 07777)) != 0)
        return errnoStatus();
    const timespec times[2] = {{src.stx.stx_atime.tv_sec, src.stx.stx_atime.tv_nsec},
                               {src.stx.stx_mtime.tv_sec, src.stx.stx_mtime.tv_nsec}};
    if (::utimensat(AT_FDCWD, dst.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return errnoStatus();
    return Status::noErr;
}

// The destination folder's own rights: a drop box lets the user write but not read.
bool isDropBox(const QByteArray &folder)
{
    return ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0
           && ::faccessat(AT_FDCWD, folder.constData(), R_OK, AT_EACCESS) != 0;
}

// Refuses a destination that lies inside the source folder (or is it).
OSStatus checkNotInside(const Source &src, const QByteArray &destFolder)
{
    char resolved[PATH_MAX];
    if (!::realpath(destFolder.constData(), resolved))
        return errnoStatus();
    QByteArray p(resolved);
    const dev_t srcDev = makedev(src.stx.stx_dev_major, src.stx.stx_dev_minor);
    for (int guard = 0; guard < 4096; ++guard) {
        struct stat st;
        if (::stat(p.constData(), &st) != 0)
            return errnoStatus();
        if (st.st_dev != srcDev)
            return Status::noErr; // another volume cannot lie inside the source
        if (st.st_ino == src.stx.stx_ino)
            return Status::kCopyIntoItselfErr;
        if (p == "/")
            return Status::noErr;
        const qsizetype slash = p.lastIndexOf('/');
        p = slash <= 0 ? QByteArray("/") : p.left(slash);
    }
    return Status::noErr;
}

constexpr int kTempNames = 9;

QByteArray tempName(int n) { return "QMTempFile " + QByteArray::number(n); }

OSStatus unlockIfLocked(const QByteArray &path, bool *wasLocked)
{
    *wasLocked = false;
    if (OSStatus st = fileflags::isImmutable(path, wasLocked))
        return st;
    return *wasLocked ? fileflags::setImmutable(path, false) : Status::noErr;
}

// Puts the complete copy built at tmp under its real name. With an object of
// that name present the two are exchanged atomically, so the name always
// names a complete object, and the old one is then deleted.
OSStatus putInPlace(const QByteArray &tmp, const QByteArray &real, const CopyOptions &options)
{
    if (int e = options.faultHook ? options.faultHook("rename", real) : 0)
        return statusFromErrno(e);
    if (::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, real.constData(), RENAME_NOREPLACE) == 0)
        return Status::noErr;
    const bool noFlags = errno == EINVAL || errno == ENOSYS;
    if (errno != EEXIST && !noFlags)
        return errnoStatus();
    if (noFlags && !lexists(real)) {
        // A file system without rename flags; nothing is in the way.
        return ::rename(tmp.constData(), real.constData()) == 0 ? Status::noErr : errnoStatus();
    }
    // An old object is in the way: a locked one cannot be renamed or deleted.
    bool oldLocked = false;
    if (OSStatus st = unlockIfLocked(real, &oldLocked))
        return st;
    if (::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, real.constData(), RENAME_EXCHANGE) == 0) {
        // tmp now names the old object. A plain file goes at once (unlink
        // refuses folders); anything else goes the way every deletion goes.
        if (::unlink(tmp.constData()) == 0)
            return Status::noErr;
        struct stat old;
        const bool oldIsFolder = ::lstat(tmp.constData(), &old) == 0 && S_ISDIR(old.st_mode);
        // Deleting a folder takes time: marked busy, what a crash leaves of
        // it is known as a leftover of ours rather than taken for the user's.
        if (oldIsFolder)
            xattr::set(tmp, xattr::kCreationDate, UTCDateTime::magicBusyDate().encode());
        const OSStatus st = FSDeleteObjects(fromNativeName(tmp));
        if (st == Status::noErr)
            return st;
        qWarning("Cannot Delete the old file, err:%d", int(st));
        if (!oldIsFolder && ::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, real.constData(),
                                        RENAME_EXCHANGE) == 0) {
            // The old file is whole: put it back and let the caller drop the copy.
            if (oldLocked)
                fileflags::setImmutable(real, true);
            return st;
        }
        // A folder may be partly deleted: the complete copy stays in place
        // and the remains of the old one under the temporary name.
        return st;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        const OSStatus st = errnoStatus();
        if (oldLocked)
            fileflags::setImmutable(real, true);
        return st;
    }
    // No atomic exchange here: delete the old object, then rename.
    if (OSStatus st = FSDeleteObjects(fromNativeName(real))) {
        qWarning("Cannot Delete the old file, err:%d", int(st));
        if (oldLocked && lexists(real))
            fileflags::setImmutable(real, true);
        return st;
    }
    if (::rename(tmp.constData(), real.constData()) != 0) {
        const OSStatus st = errnoStatus();
        qWarning("FSRenameUnicode err: %d", int(st));
        return st;
    }
    return Status::noErr;
}

// Deletes the entries of the open folder dfd, unlocking what it must.
OSStatus deleteFolderContent(int dfd);

OSStatus deleteEntry(int parent, const char *name)
{
    struct stat st;
    if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? Status::noErr : errnoStatus();
    const bool folder = S_ISDIR(st.st_mode);
    if (!S_ISLNK(st.st_mode)) {
        const int fd = ::openat(parent, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC
                                                  | (folder ? O_DIRECTORY : 0));
        if (fd >= 0) {
            // An immutable item (or one inside an immutable folder) cannot go.
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_IMMUTABLE_FL)) {
                if (OSStatus s = fileflags::setImmutable(fd, false)) {
                    ::close(fd);
                    return s;
                }
            }
            if (folder) {
                // Our own folder may be read-only; make it emptiable.
                if ((st.st_mode & 0700) != 0700 && (st.st_uid == ::geteuid() || ::geteuid() == 0))
                    ::fchmod(fd, st.st_mode | 0700);
                const OSStatus s = deleteFolderContent(fd); // takes the descriptor
                if (s)
                    return s;
            } else {
                ::close(fd);
            }
        } else if (folder) {
            return errnoStatus();
        }
    }
    if (::unlinkat(parent, name, folder ? AT_REMOVEDIR : 0) != 0)
        return errno == ENOENT ? Status::noErr : errnoStatus();
    return Status::noErr;
}

OSStatus deleteFolderContent(int dfd)
{
    DIR *dir = ::fdopendir(dfd);
    if (!dir) {
        ::close(dfd);
        return errnoStatus();
    }
    OSStatus st = Status::noErr;
    // Entries are collected first: deleting while reading may skip names.
    std::vector<QByteArray> names;
    while (dirent *e = ::readdir(dir)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        names.emplace_back(n);
    }
    for (const QByteArray &n : names)
        if ((st = deleteEntry(::dirfd(dir), n.constData())))
            break;
    ::closedir(dir);
    return st;
}

} // namespace

OSStatus FSDeleteObjects(const QString &path)
{
    QByteArray p = nativeName(path);
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    if (p.isEmpty())
        return Status::paramErr;
    const qsizetype slash = p.lastIndexOf('/');
    const QByteArray parent = slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : p.left(slash));
    const QByteArray name = slash < 0 ? p : p.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == "..")
        return Status::paramErr; // "/" or a path that does not name one entry
    struct stat st;
    if (::lstat(p.constData(), &st) != 0)
        return errnoStatus();
    Fd pfd(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (pfd.fd < 0)
        return errnoStatus();
    return deleteEntry(pfd.fd, name.constData());
}

namespace {

// Written by SetCatInfo from the catalog information, or this run's own.
bool isCatalogAttribute(const QByteArray &name)
{
    return name == xattr::kFinderInfo || name == xattr::kCreationDate || name == xattr::kBackupDate;
}

// Security labels belong to the system that set them: never taken away.
bool isMirrored(const QByteArray &name)
{
    return !isCatalogAttribute(name) && !name.startsWith("security.");
}

} // namespace

OSStatus CopyFolderExtendedAttributes(const QString &from, const QString &to)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Fd in(::open(nativeName(from).constData(), flags));
    Fd out(::open(nativeName(to).constData(), flags));
    if (in.fd < 0 || out.fd < 0)
        return errnoStatus();
    QList<QByteArray> names, present;
    OSStatus st = xattr::list(in.fd, &names);
    if (st == Status::errFSOperationNotSupported)
        names.clear();
    else if (st)
        return st;
    for (const QByteArray &name : std::as_const(names)) {
        if (isCatalogAttribute(name))
            continue;
        QByteArray value;
        if ((st = xattr::get(in.fd, name.constData(), &value))) {
            if (st == Status::errFSAttributeNotFound)
                continue;
            return st;
        }
        QByteArray now;
        if (xattr::get(out.fd, name.constData(), &now) == Status::noErr && now == value)
            continue;
        if ((st = xattr::set(out.fd, name.constData(), value)))
            return st;
    }
    if (xattr::list(out.fd, &present) != Status::noErr)
        return Status::noErr; // the destination keeps none
    for (const QByteArray &name : std::as_const(present)) {
        if (isMirrored(name) && !names.contains(name) && (st = xattr::remove(out.fd, name.constData())))
            return st;
    }
    return Status::noErr;
}

bool IsTemporaryName(const QString &name)
{
    static const QString prefix = QStringLiteral("QMTempFile ");
    return name.size() == prefix.size() + 1 && name.startsWith(prefix)
           && name.back() >= u'1' && name.back() <= u'9';
}

bool IsLeftoverTemporary(const QString &path)
{
    if (!IsTemporaryName(path.mid(path.lastIndexOf(u'/') + 1)))
        return false;
    const QByteArray p = nativeName(path);
    struct stat st;
    if (::lstat(p.constData(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
        return false;
    QByteArray value;
    if (xattr::get(p, xattr::kCreationDate, &value) == Status::noErr
        && value == UTCDateTime::magicBusyDate().encode())
        return true;
    return S_ISREG(st.st_mode) && xattr::get(p, xattr::kFinderInfo, &value) == Status::noErr
           && FinderInfo::decode(value).fileType() == kBusyFileType;
}

uint32_t BufferSizeForSpeedGrade(int64_t grade)
{
    if (grade >= 0)
        return 262144;
    const uint64_t size = uint64_t(-grade) / 2048 * 512;
    return uint32_t(std::clamp<uint64_t>(size, 1024, 2097152));
}

uint32_t BufferSizeForVol(const QString &)
{
    // Linux volumes report no speed grade.
    return BufferSizeForSpeedGrade(0);
}

bool ObjectCopier::isDropBoxFolder(const QByteArray &folder, const struct stat &st) const
{
    const FolderKey key{uint64_t(st.st_dev), uint64_t(st.st_ino), st.st_mode, st.st_uid, st.st_gid};
    {
        const std::lock_guard<std::mutex> lock(m_dropBoxMutex);
        if (m_dropBoxMemo && m_dropBoxMemo->first == key)
            return m_dropBoxMemo->second;
    }
    const bool answer = isDropBox(folder);
    const std::lock_guard<std::mutex> lock(m_dropBoxMutex);
    m_dropBoxMemo = std::make_pair(key, answer);
    return answer;
}

OSStatus ObjectCopier::FSCopyObject(const QString &source, const QString &destFolder,
                                    const CopyOptions &options, QString *newPath) const
{
    if (source.isEmpty() || destFolder.isEmpty())
        return Status::paramErr;
    QByteArray srcPath = nativeName(source);
    while (srcPath.size() > 1 && srcPath.endsWith('/'))
        srcPath.chop(1);
    const QByteArray dstFolder = nativeName(destFolder);
    Source src;
    if (options.sourceStat) {
        src.path = srcPath;
        src.stx = *options.sourceStat;
    } else if (OSStatus st = statSource(srcPath, &src)) {
        return st;
    }
    struct stat dst;
    if (options.destFolderStat)
        dst = *options.destFolderStat;
    else if (::stat(dstFolder.constData(), &dst) != 0)
        return errnoStatus();
    if (!S_ISDIR(dst.st_mode))
        return Status::errFSNotAFolder;
    if (src.type() == S_IFDIR) {
        if (OSStatus st = checkNotInside(src, dstFolder))
            return st;
    }
    const QByteArray ownName = baseName(srcPath);
    const QByteArray realPath = childPath(dstFolder, ownName.constData());

    // What is in the way, and what to do about it. A replacement needs no
    // look: putting the copy in place finds out, and an object that turns
    // up meanwhile is handled the same way.
    if (options.duplicateAction != kDupReplace) {
        OSStatus lookup = Status::noErr;
        const bool exists = lexists(realPath, &lookup);
        if (lookup)
            return lookup;
        if (exists && options.duplicateAction == kDupDeleteFirst) {
            if (OSStatus st = FSDeleteObjects(fromNativeName(realPath)))
                return st;
        } else if (exists) {
            return Status::dupFNErr;
        }
    }
    const uint32_t bufferSize = std::min(BufferSizeForVol(source), BufferSizeForVol(destFolder));
    const bool dropBox = isDropBoxFolder(dstFolder, dst);
    const bool tryClone = m_noCloneDevice.load(std::memory_order_relaxed) != uint64_t(dst.st_dev);
    OSStatus st = Status::noErr;
    bool named = true; // built under a temporary name, as a file without one could not be
    if (options.buildUnnamed && src.type() == S_IFREG && !options.filter && !dropBox) {
        CopyJob job(options, m_backupDate, bufferSize, dropBox, tryClone,
                    !m_linkByFdRefused.load(std::memory_order_relaxed));
        st = job.copyTopUnnamed(src, dstFolder, realPath, &named);
        if (job.cloneRefused())
            m_noCloneDevice.store(uint64_t(dst.st_dev), std::memory_order_relaxed);
        if (job.linkByFdRefused())
            m_linkByFdRefused.store(true, std::memory_order_relaxed);
    }
    if (named && options.onlyUnnamed)
        return Status::dupFNErr; // nothing was made: the caller looks first
    QByteArray buildPath;
    bool built = false; // buildPath names what this call made
    if (named) {
        // The first free "QMTempFile N" is the one whose exclusive creation
        // succeeds: copies running side by side never take the same one, and
        // no name is looked up before it is tried.
        const int first = std::clamp(options.firstTempName, 1, kTempNames) - 1;
        // A copy is never written straight to its final name, where a stop or
        // a crash would leave a torn file that looks newer than its source.
        for (int tried = 0;; ++tried) {
            if (tried == kTempNames)
                return Status::dupFNErr; // every temporary name taken: nothing is touched
            buildPath = childPath(dstFolder, tempName((first + tried) % kTempNames + 1).constData());
            CopyJob job(options, m_backupDate, bufferSize, dropBox, tryClone);
            st = job.copyTop(src, buildPath);
            built = job.topCreated();
            if (job.cloneRefused())
                m_noCloneDevice.store(uint64_t(dst.st_dev), std::memory_order_relaxed);
            if (!job.topNameTaken())
                break;
        }
        if (st == Status::noErr)
            st = putInPlace(buildPath, realPath, options);
    }
    if (st == Status::noErr && src.locked() && src.type() != S_IFLNK)
        st = fileflags::setImmutable(realPath, true);
    if (st != Status::noErr) {
        qWarning("DoCopyFile Err:%d on %s", int(st), srcPath.constData());
        // Only what this call built goes; lexists guards against a name that
        // putInPlace already handed back to the old object.
        if (built && lexists(buildPath))
            FSDeleteObjects(fromNativeName(buildPath));
        return st;
    }
    if (newPath)
        *newPath = fromNativeName(realPath);
    return Status::noErr;
}

} // namespace qm
