#include "fs/CatalogInfo.h"
#include "platform/FileName.h"

#include "platform/FileFlags.h"
#include "platform/Xattr.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qm {

bool FinderInfo::isNull() const
{
    for (uint8_t b : bytes)
        if (b)
            return false;
    return true;
}

QByteArray FinderInfo::encode() const
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

FinderInfo FinderInfo::decode(const QByteArray &raw)
{
    FinderInfo f;
    std::memcpy(f.bytes.data(), raw.constData(), size_t(qMin<qsizetype>(raw.size(), 32)));
    return f;
}

namespace {

timespec fromStatx(const statx_timestamp &t)
{
    timespec ts;
    ts.tv_sec = t.tv_sec;
    ts.tv_nsec = t.tv_nsec;
    return ts;
}

ItemKind kindOf(uint32_t mode)
{
    switch (mode & S_IFMT) {
    case S_IFREG: return ItemKind::File;
    case S_IFDIR: return ItemKind::Folder;
    case S_IFLNK: return ItemKind::SymLink;
    default: return ItemKind::Special;
    }
}

// Where an item's attributes are read: through a descriptor open on it, or
// else by its entry for the listing (which may name it within its folder)
// and by its full path for the rare values read after it.
struct AttributeSource {
    const xattr::Entry &entry;
    int fd = -1;
    QByteArray path() const { return QByteArray::fromRawData(entry.path, qsizetype(std::strlen(entry.path))); }
    ssize_t listRaw(char *buf, size_t size) const
    {
        return fd >= 0 ? ::flistxattr(fd, buf, size) : xattr::listRaw(entry, buf, size);
    }
    OSStatus list(QList<QByteArray> *names) const { return fd >= 0 ? xattr::list(fd, names) : xattr::list(path(), names); }
    OSStatus get(const char *name, QByteArray *value) const
    {
        return fd >= 0 ? xattr::get(fd, name, value) : xattr::get(path(), name, value);
    }
    OSStatus size(const char *name, uint64_t *bytes) const
    {
        return fd >= 0 ? xattr::size(fd, name, bytes) : xattr::size(path(), name, bytes);
    }
};

// Reads our own attributes, asking for each only when the listing names it.
// `any`, when given, tells whether the item has any attribute at all.
OSStatus readCatalogAttributes(const AttributeSource &from, CatalogInfo *info, bool withDates,
                               bool *any = nullptr)
{
    char names[4096];
    ssize_t n = from.listRaw(names, sizeof names);
    QByteArray big;
    const char *list = names;
    if (n < 0 && errno == ERANGE) {
        QList<QByteArray> all;
        if (OSStatus st = from.list(&all))
            return st;
        big = all.join('\0') + '\0';
        list = big.constData();
        n = big.size();
    } else if (n < 0) {
        // File systems without attributes simply have none of ours.
        if (any)
            *any = errno != ENOTSUP;
        return (errno == ENOTSUP) ? Status::noErr : statusFromErrno(errno);
    }
    if (any)
        *any = n > 0;
    for (ssize_t at = 0; at < n;) {
        const char *name = list + at;
        const size_t len = std::strlen(name);
        at += ssize_t(len) + 1;
        if (len < 15 || std::strncmp(name, "user.quillmere.", 15) != 0)
            continue;
        QByteArray value;
        if (!std::strcmp(name, xattr::kResourceFork)) {
            uint64_t bytes = 0;
            if (OSStatus st = from.size(name, &bytes); st && st != Status::errFSAttributeNotFound)
                return st;
            info->rsrcLogicalSize = info->rsrcPhysicalSize = bytes;
        } else if (!std::strcmp(name, xattr::kFinderInfo)) {
            if (from.get(name, &value) == Status::noErr)
                info->finderInfo = FinderInfo::decode(value);
        } else if (!withDates) {
            continue;
        } else if (!std::strcmp(name, xattr::kCreationDate)) {
            UTCDateTime d;
            if (from.get(name, &value) == Status::noErr && UTCDateTime::decode(value, &d)
                && !d.isNull())
                info->creationDate = d.toTimespec();
        } else if (!std::strcmp(name, xattr::kBackupDate)) {
            UTCDateTime d;
            if (from.get(name, &value) == Status::noErr && UTCDateTime::decode(value, &d))
                info->backupDate = d;
        }
    }
    return Status::noErr;
}

} // namespace

void fillFromStatx(const struct statx &stx, CatalogInfo *info)
{
    info->kind = kindOf(stx.stx_mode);
    info->mode = stx.stx_mode;
    info->uid = stx.stx_uid;
    info->gid = stx.stx_gid;
    info->device = (uint64_t(stx.stx_dev_major) << 32) | stx.stx_dev_minor;
    info->inode = stx.stx_ino;
    info->linkCount = stx.stx_nlink;
    info->contentModDate = fromStatx(stx.stx_mtime);
    info->attributeModDate = fromStatx(stx.stx_ctime);
    info->accessDate = fromStatx(stx.stx_atime);
    info->creationDate = (stx.stx_mask & STATX_BTIME) ? fromStatx(stx.stx_btime) : info->contentModDate;
    info->locked = (stx.stx_attributes_mask & STATX_ATTR_IMMUTABLE)
                   && (stx.stx_attributes & STATX_ATTR_IMMUTABLE);
    // A link's data is the text of its target, which is what a copy writes.
    if (info->kind == ItemKind::File || info->kind == ItemKind::SymLink) {
        info->dataLogicalSize = stx.stx_size;
        info->dataPhysicalSize = uint64_t(stx.stx_blocks) * 512;
    }
}

namespace {

OSStatus readCatalog(const xattr::Entry &entry, CatalogInfo *info, bool withDates, struct statx *raw = nullptr)
{
    *info = CatalogInfo();
    struct statx own;
    struct statx &stx = raw ? *raw : own;
    const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
    if (::statx(entry.folder, entry.name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT, mask, &stx) != 0)
        return statusFromErrno(errno);
    fillFromStatx(stx, info);
    // Links cannot carry user attributes on Linux; do not ask.
    if (info->kind == ItemKind::SymLink)
        return Status::noErr;
    return readCatalogAttributes(AttributeSource{entry}, info, withDates);
}

OSStatus readCatalog(const QByteArray &path, CatalogInfo *info, bool withDates, struct statx *raw = nullptr)
{
    return readCatalog(xattr::Entry{AT_FDCWD, path.constData(), path.constData()}, info, withDates, raw);
}

} // namespace

OSStatus ReadCatalogInfo(const QByteArray &path, CatalogInfo *info)
{
    return readCatalog(path, info, true);
}

OSStatus ReadCatalogInfoWithoutDates(const QString &path, CatalogInfo *info, struct statx *raw)
{
    return readCatalog(nativeName(path), info, false, raw);
}

OSStatus ReadCatalogInfoOpening(int folderFd, const QString &path, CatalogInfo *info, struct statx *raw,
                                int *fd, bool *anyAttribute)
{
    *fd = -1;
    *anyAttribute = true;
    const QByteArray native = nativeName(path);
    const qsizetype slash = native.lastIndexOf('/');
    if (folderFd < 0 || slash < 0 || slash + 1 == native.size())
        return readCatalog(native, info, false, raw);
    const xattr::Entry entry{folderFd, native.constData() + slash + 1, native.constData()};
    *info = CatalogInfo();
    if (::statx(folderFd, entry.name, AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
                STATX_BASIC_STATS | STATX_BTIME, raw) != 0)
        return statusFromErrno(errno);
    fillFromStatx(*raw, info);
    if (info->kind == ItemKind::SymLink)
        return Status::noErr;
    // Only what was a plain file a moment ago is opened: opening a device
    // can act on it, and a pipe would wait for a writer (which O_NONBLOCK
    // spares, should one have taken the name since).
    if (info->kind == ItemKind::File)
        *fd = ::openat(folderFd, entry.name, O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const OSStatus st = readCatalogAttributes(AttributeSource{entry, *fd}, info, false, anyAttribute);
    if (st && *fd >= 0) {
        ::close(*fd);
        *fd = -1;
    }
    return st;
}

OSStatus ReadCatalogInfo(const QString &path, CatalogInfo *info)
{
    return ReadCatalogInfo(nativeName(path), info);
}

namespace {

// A file system without extended attributes cannot keep the creation and
// backup dates at all; that is a property of the volume, not a failure of
// this item, so it is not answered as one.
OSStatus writeDateAttr(const QByteArray &path, const char *name, const UTCDateTime &d)
{
    const OSStatus st = d.isNull() ? xattr::remove(path, name) : xattr::set(path, name, d.encode());
    return st == Status::errFSOperationNotSupported ? Status::noErr : st;
}

OSStatus writeOwner(const QByteArray &path, const CatalogInfo &info)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return statusFromErrno(errno);
    if (st.st_uid == info.uid && st.st_gid == info.gid)
        return Status::noErr;
    if (::lchown(path.constData(), info.uid, info.gid) == 0)
        return Status::noErr;
    // Not permitted for this user: ownership stays, as on any Unix copy.
    if (errno == EPERM && ::geteuid() != 0)
        return Status::noErr;
    return statusFromErrno(errno);
}

OSStatus writeMembers(const QByteArray &path, const CatalogInfo &info, unsigned fields, bool isLink)
{
    OSStatus st = Status::noErr;
    // Owner before mode: a change of owner clears the set-id bits.
    if ((fields & kCatOwnerGroup) && (st = writeOwner(path, info)))
        return st;
    if ((fields & kCatPermissions) && !isLink
        && ::chmod(path.constData(), info.mode & 07777) != 0)
        return statusFromErrno(errno);
    if (!isLink) {
        if ((fields & kCatFinderInfo)
            && (st = info.finderInfo.isNull() ? xattr::remove(path, xattr::kFinderInfo)
                                              : xattr::set(path, xattr::kFinderInfo, info.finderInfo.encode())))
            return st;
        if ((fields & kCatCreateDate)
            && (st = writeDateAttr(path, xattr::kCreationDate, info.creationDateUTC())))
            return st;
        if ((fields & kCatBackupDate) && (st = writeDateAttr(path, xattr::kBackupDate, info.backupDate)))
            return st;
    }
    if (fields & (kCatContentModDate | kCatAccessDate)) {
        timespec times[2];
        times[0] = (fields & kCatAccessDate) ? info.accessDate : timespec{0, UTIME_OMIT};
        times[1] = (fields & kCatContentModDate) ? info.contentModDate : timespec{0, UTIME_OMIT};
        if (::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
            return statusFromErrno(errno);
    }
    return Status::noErr;
}

} // namespace

OSStatus WriteCatalogInfo(const QByteArray &path, const CatalogInfo &info, unsigned fields)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return statusFromErrno(errno);
    const bool isLink = S_ISLNK(st.st_mode);
    bool wasLocked = false;
    if (!isLink) {
        if (OSStatus s = fileflags::isImmutable(path, &wasLocked))
            return s;
    }
    const unsigned others = fields & ~kCatNodeFlags;
    if (wasLocked && others) {
        if (OSStatus s = fileflags::setImmutable(path, false))
            return s;
    }
    OSStatus result = others ? writeMembers(path, info, others, isLink) : Status::noErr;
    if (isLink)
        return result;
    const bool lockWanted = (fields & kCatNodeFlags) ? info.locked : wasLocked;
    const bool lockedNow = wasLocked && !others;
    if (lockWanted != lockedNow) {
        const OSStatus s = fileflags::setImmutable(path, lockWanted);
        if (result == Status::noErr)
            result = s;
    }
    return result;
}

OSStatus WriteCatalogInfo(const QString &path, const CatalogInfo &info, unsigned fields)
{
    return WriteCatalogInfo(nativeName(path), info, fields);
}

} // namespace qm
