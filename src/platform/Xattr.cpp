#include "platform/Xattr.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qm::xattr {
namespace {

OSStatus lookupError()
{
    return errno == ENODATA ? Status::errFSAttributeNotFound : statusFromErrno(errno);
}

// Most values and name lists are small: one call into a stack buffer reads
// them. A larger one falls back to size-then-fill calls, repeated until the
// value stops growing between them.
template <typename Call>
OSStatus fetch(Call call, QByteArray *out)
{
    char small[512];
    ssize_t n = call(small, sizeof small);
    if (n >= 0) {
        *out = QByteArray(small, qsizetype(n));
        return Status::noErr;
    }
    if (errno != ERANGE)
        return lookupError();
    for (int attempt = 0; attempt < 8; ++attempt) {
        n = call(nullptr, 0);
        if (n < 0)
            return lookupError();
        QByteArray buf(qsizetype(n), Qt::Uninitialized);
        if (n == 0) {
            *out = buf;
            return Status::noErr;
        }
        ssize_t m = call(buf.data(), size_t(n));
        if (m >= 0) {
            buf.truncate(qsizetype(m));
            *out = buf;
            return Status::noErr;
        }
        if (errno != ERANGE)
            return lookupError();
    }
    return Status::ioErr;
}

QList<QByteArray> splitNames(const QByteArray &raw)
{
    QList<QByteArray> names;
    for (const QByteArray &n : raw.split('\0'))
        if (!n.isEmpty())
            names.append(n);
    return names;
}

OSStatus fromResult(int r)
{
    return r == 0 ? Status::noErr : statusFromErrno(errno);
}

} // namespace

OSStatus list(const QByteArray &path, QList<QByteArray> *names)
{
    QByteArray raw;
    OSStatus st = fetch([&](char *b, size_t n) { return ::llistxattr(path.constData(), b, n); }, &raw);
    if (st == Status::noErr)
        *names = splitNames(raw);
    return st;
}

OSStatus list(int fd, QList<QByteArray> *names)
{
    QByteArray raw;
    OSStatus st = fetch([&](char *b, size_t n) { return ::flistxattr(fd, b, n); }, &raw);
    if (st == Status::noErr)
        *names = splitNames(raw);
    return st;
}

OSStatus get(const QByteArray &path, const char *name, QByteArray *value)
{
    return fetch([&](char *b, size_t n) { return ::lgetxattr(path.constData(), name, b, n); }, value);
}

OSStatus get(int fd, const char *name, QByteArray *value)
{
    return fetch([&](char *b, size_t n) { return ::fgetxattr(fd, name, b, n); }, value);
}

OSStatus size(const QByteArray &path, const char *name, uint64_t *bytes)
{
    *bytes = 0;
    ssize_t n = ::lgetxattr(path.constData(), name, nullptr, 0);
    if (n < 0)
        return lookupError();
    *bytes = uint64_t(n);
    return Status::noErr;
}

OSStatus size(int fd, const char *name, uint64_t *bytes)
{
    *bytes = 0;
    ssize_t n = ::fgetxattr(fd, name, nullptr, 0);
    if (n < 0)
        return lookupError();
    *bytes = uint64_t(n);
    return Status::noErr;
}

OSStatus set(const QByteArray &path, const char *name, const QByteArray &value)
{
    return fromResult(::lsetxattr(path.constData(), name, value.constData(), size_t(value.size()), 0));
}

OSStatus set(int fd, const char *name, const QByteArray &value)
{
    return fromResult(::fsetxattr(fd, name, value.constData(), size_t(value.size()), 0));
}

OSStatus remove(const QByteArray &path, const char *name)
{
    // A file system without attributes has none to remove.
    if (::lremovexattr(path.constData(), name) == 0 || errno == ENODATA || errno == ENOTSUP)
        return Status::noErr;
    return statusFromErrno(errno);
}

OSStatus remove(int fd, const char *name)
{
    if (::fremovexattr(fd, name) == 0 || errno == ENODATA || errno == ENOTSUP)
        return Status::noErr;
    return statusFromErrno(errno);
}

namespace {

// The folder-relative calls came with Linux 6.13; glibc has no wrappers yet.
constexpr long kSetXattrAt = 463;
constexpr long kGetXattrAt = 464;
constexpr long kListXattrAt = 465;

struct XattrArgs {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
};

std::atomic<bool> atCallsMissing{false};

// The call's result, or nothing when this kernel does not have it.
template<class Call>
std::optional<long> ifThisKernelHasIt(Call call)
{
    if (atCallsMissing.load(std::memory_order_relaxed))
        return std::nullopt;
    const long n = call();
    if (n < 0 && errno == ENOSYS) {
        atCallsMissing.store(true, std::memory_order_relaxed);
        return std::nullopt;
    }
    return n;
}

std::optional<long> atCall(long number, const Entry &entry, const char *name, const void *buf,
                           size_t size)
{
    XattrArgs args{uint64_t(uintptr_t(buf)), uint32_t(size), 0};
    return ifThisKernelHasIt([&] {
        return ::syscall(number, entry.folder, entry.name, AT_SYMLINK_NOFOLLOW, name, &args, sizeof args);
    });
}

// listxattrat takes the buffer itself, not the argument block of the others.
std::optional<long> listAtCall(const Entry &entry, char *buf, size_t size)
{
    return ifThisKernelHasIt(
        [&] { return ::syscall(kListXattrAt, entry.folder, entry.name, AT_SYMLINK_NOFOLLOW, buf, size); });
}

// A sandbox may refuse a call it does not know with EPERM instead of
// ENOSYS; when the path call then is not refused, the folder-relative calls
// are not used again.
void noteRefusal(bool pathRefused)
{
    if (!pathRefused)
        atCallsMissing.store(true, std::memory_order_relaxed);
}

// The folder-relative call's answer `n`, or else the path call's.
template<class PathCall>
long orByPath(std::optional<long> n, PathCall byPath)
{
    if (n && !(*n < 0 && errno == EPERM))
        return *n;
    const long r = byPath();
    if (n) {
        const int saved = errno;
        noteRefusal(r < 0 && saved == EPERM);
        errno = saved;
    }
    return r;
}

} // namespace

void usePathCallsOnly(bool on)
{
    atCallsMissing.store(on, std::memory_order_relaxed);
}

ssize_t getRaw(const Entry &entry, const char *name, void *buf, size_t size)
{
    return orByPath(atCall(kGetXattrAt, entry, name, buf, size),
                    [&] { return ::lgetxattr(entry.path, name, buf, size); });
}

OSStatus set(const Entry &entry, const char *name, const QByteArray &value)
{
    const size_t size = size_t(value.size());
    return fromResult(int(orByPath(atCall(kSetXattrAt, entry, name, value.constData(), size),
                                   [&] { return ::lsetxattr(entry.path, name, value.constData(), size, 0); })));
}

ssize_t listRaw(const Entry &entry, char *buf, size_t size)
{
    return orByPath(listAtCall(entry, buf, size), [&] { return ::llistxattr(entry.path, buf, size); });
}

} // namespace qm::xattr
