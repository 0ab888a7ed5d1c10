#include "platform/FileFlags.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace qm::fileflags {

OSStatus isImmutable(const QByteArray &path, bool *immutable)
{
    struct statx stx;
    if (::statx(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, STATX_TYPE, &stx) != 0)
        return statusFromErrno(errno);
    *immutable = (stx.stx_attributes_mask & STATX_ATTR_IMMUTABLE)
                 && (stx.stx_attributes & STATX_ATTR_IMMUTABLE);
    return Status::noErr;
}

OSStatus setImmutable(int fd, bool immutable)
{
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return errno == ENOTTY ? Status::errFSOperationNotSupported : statusFromErrno(errno);
    const int wanted = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    if (wanted == flags)
        return Status::noErr;
    if (::ioctl(fd, FS_IOC_SETFLAGS, &wanted) != 0)
        return errno == ENOTTY ? Status::errFSOperationNotSupported : statusFromErrno(errno);
    return Status::noErr;
}

OSStatus setImmutable(const QByteArray &path, bool immutable)
{
    // O_NONBLOCK keeps a FIFO from blocking the open; O_NOFOLLOW refuses links.
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP)
            return immutable ? Status::errFSOperationNotSupported : Status::noErr;
        return statusFromErrno(errno);
    }
    const OSStatus st = setImmutable(fd, immutable);
    ::close(fd);
    return st;
}

} // namespace qm::fileflags

namespace qm::fileflags {

bool isCaseInsensitiveFolder(int fd)
{
    constexpr long kMsdos = 0x4d44, kExfat = 0x2011BAB0, kHfsPlus = 0x482b;
    constexpr long kExt4 = 0xEF53, kF2fs = 0xF2F52010;
    constexpr int kCaseFold = 0x40000000; // FS_CASEFOLD_FL
    struct statfs fs;
    if (::fstatfs(fd, &fs) != 0)
        return false;
    const long type = long(fs.f_type);
    if (type == kMsdos || type == kExfat || type == kHfsPlus)
        return true;
    if (type != kExt4 && type != kF2fs)
        return false;
    int flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & kCaseFold);
}

} // namespace qm::fileflags
