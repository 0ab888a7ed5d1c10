#include "platform/AtomicFile.h"
#include "platform/FileName.h"
#include "platform/OwnFiles.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::atomicfile {

namespace {

QString failure(const QString &path, const char *step, int err)
{
    return QStringLiteral("%1: %2: %3").arg(path, QLatin1String(step),
                                              QString::fromLocal8Bit(std::strerror(err)));
}

// The file a final link names is the one to replace, so that a preferences
// file kept elsewhere and linked in stays where it is.
QByteArray targetOf(const QByteArray &path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : path;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync a folder
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

} // namespace

bool write(const QString &path, const QByteArray &bytes, QString *error)
{
    return write(path, [&bytes](const ByteSink &sink) { return sink(bytes); }, error);
}

bool write(const QString &path, const ByteProducer &produce, QString *error)
{
    // A set-user-id process writes the user's files as the user.
    const OwnFilesAccess asUser;
    const QByteArray target = targetOf(nativeName(path));
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : (slash == 0 ? QByteArray("/") : target.left(slash));
    const QByteArray name = slash < 0 ? target : target.mid(slash + 1);
    QByteArray temp = (slash < 0 ? QByteArray() : target.left(slash + 1)) + '.' + name + ".qmsave-XXXXXX";

    auto fail = [&](const char *step, int err, int fd) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temp.constData());
        if (error)
            *error = failure(path, step, err);
        return false;
    };

    // mkostemp makes the file 0600 whatever the umask.
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (error)
            *error = failure(path, "cannot create a temporary file", err);
        return false;
    }
    if (::fchmod(fd, kFileMode) != 0)
        return fail("cannot restrict the file", errno, fd);
    int writeError = 0;
    const ByteSink sink = [fd, &writeError](QByteArrayView piece) {
        if (writeError == 0 && !writeAll(fd, piece))
            writeError = errno;
        return writeError == 0;
    };
    if (!produce(sink) || writeError != 0)
        return fail("cannot write", writeError != 0 ? writeError : EIO, fd);
    if (::fsync(fd) != 0)
        return fail("cannot sync", errno, fd);
    if (::close(fd) != 0)
        return fail("cannot close", errno, -1);
    if (::rename(temp.constData(), target.constData()) != 0)
        return fail("cannot replace the file", errno, -1);
    // The new name is in place; only its durability is still in question.
    if (!syncFolder(folder)) {
        if (error)
            *error = failure(path, "cannot sync the folder", errno);
        return false;
    }
    return true;
}

bool makePrivateFolder(const QString &path)
{
    const OwnFilesAccess asUser;
    QByteArray p = nativeName(path);
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    if (p.isEmpty())
        return false;
    struct stat st;
    if (::stat(p.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const qsizetype slash = p.lastIndexOf('/');
    if (slash > 0 && !makePrivateFolder(fromNativeName(p.left(slash))))
        return false;
    if (::mkdir(p.constData(), kFolderMode) != 0 && errno != EEXIST)
        return false;
    return ::stat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeOwnFolder(const QString &path)
{
    if (!makePrivateFolder(path))
        return false;
    const QByteArray p = nativeName(path);
    struct stat st;
    if (::stat(p.constData(), &st) != 0)
        return false;
    if ((st.st_mode & 077) && st.st_uid == ::geteuid())
        ::chmod(p.constData(), st.st_mode & 0700);
    return true;
}

void ignoreFileSizeSignal()
{
    ::signal(SIGXFSZ, SIG_IGN);
}

} // namespace qm::atomicfile
