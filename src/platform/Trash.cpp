#include "platform/Trash.h"

#include "platform/FileName.h"

#include <QDateTime>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

QByteArray parentOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

bool makeFolder(const QByteArray &path)
{
    return ::mkdir(path.constData(), 0700) == 0 || errno == EEXIST;
}

// The device of the path, or of its nearest existing folder.
bool deviceOf(QByteArray path, dev_t *device)
{
    for (;;) {
        struct stat st;
        if (::stat(path.constData(), &st) == 0) {
            *device = st.st_dev;
            return S_ISDIR(st.st_mode);
        }
        if (path == "/" || errno != ENOENT)
            return false;
        path = parentOf(path);
    }
}

bool makeFolders(const QByteArray &path)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode);
    return path != "/" && makeFolders(parentOf(path)) && makeFolder(path);
}

QByteArray homeTrash()
{
    QByteArray data = qgetenv("XDG_DATA_HOME");
    if (data.isEmpty())
        data = qgetenv("HOME") + "/.local/share";
    return data + "/Trash";
}

// The highest folder of the item's volume.
QByteArray topFolder(QByteArray path, dev_t device)
{
    while (path != "/") {
        const QByteArray parent = parentOf(path);
        struct stat st;
        if (::stat(parent.constData(), &st) != 0 || st.st_dev != device)
            break;
        path = parent;
    }
    return path;
}

struct TrashPlace {
    QByteArray folder;   // holds files/ and info/
    QByteArray relative; // paths in info files are relative to this ("" = absolute)
};

bool findTrash(const QByteArray &item, dev_t device, TrashPlace *place)
{
    const QByteArray home = homeTrash();
    dev_t homeDevice = 0;
    if (deviceOf(home, &homeDevice) && homeDevice == device && makeFolders(home)) {
        *place = {home, QByteArray()};
        return true;
    }
    const QByteArray top = topFolder(parentOf(item), device);
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray shared = (top == "/" ? QByteArray() : top) + "/.Trash";
    struct stat st;
    // A shared trash counts only as a real sticky folder, never as a link.
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)
        && makeFolder(shared + '/' + uid)) {
        *place = {shared + '/' + uid, top};
        return true;
    }
    const QByteArray own = (top == "/" ? QByteArray() : top) + "/.Trash-" + uid;
    if (makeFolder(own) && ::lstat(own.constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::getuid()) {
        *place = {own, top};
        return true;
    }
    return false;
}

QByteArray infoText(const QByteArray &item, const TrashPlace &place)
{
    QByteArray path = item;
    if (!place.relative.isEmpty() && place.relative != "/" && path.startsWith(place.relative + '/'))
        path = path.mid(place.relative.size() + 1);
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate="
           + QDateTime::currentDateTime().toString(Qt::ISODate).left(19).toLatin1() + "\n";
}

} // namespace

OSStatus moveToTrash(const QString &path)
{
    QByteArray item = nativeName(path);
    while (item.size() > 1 && item.endsWith('/'))
        item.chop(1);
    struct stat st;
    if (item.isEmpty() || item == "/" || ::lstat(item.constData(), &st) != 0)
        return item.isEmpty() || item == "/" ? Status::paramErr : statusFromErrno(errno);
    TrashPlace place;
    if (!findTrash(item, st.st_dev, &place) || !makeFolder(place.folder + "/files")
        || !makeFolder(place.folder + "/info"))
        return Status::afpAccessDenied;
    const QByteArray name = item.mid(item.lastIndexOf('/') + 1);
    const qsizetype dot = name.lastIndexOf('.');
    const bool hasExt = dot > 0;
    for (int n = 1; n < 10000; ++n) {
        const QByteArray trashName =
            n == 1 ? name
                   : (hasExt ? name.left(dot) : name) + '.' + QByteArray::number(n)
                         + (hasExt ? name.mid(dot) : QByteArray());
        // The info file claims the name first: two trashings never meet.
        const QByteArray info = place.folder + "/info/" + trashName + ".trashinfo";
        const int fd = ::open(info.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return statusFromErrno(errno);
        }
        const QByteArray text = infoText(item, place);
        const bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size();
        const bool closed = ::close(fd) == 0;
        const QByteArray target = place.folder + "/files/" + trashName;
        if (!written || !closed) {
            ::unlink(info.constData());
            return Status::ioErr;
        }
        int r = ::renameat2(AT_FDCWD, item.constData(), AT_FDCWD, target.constData(),
                            RENAME_NOREPLACE);
        if (r != 0 && errno == EINVAL) {
            // A file system without rename flags: the claimed info name
            // makes a file of that name in files/ unlikely, but not ours to replace.
            struct stat there;
            r = ::lstat(target.constData(), &there) == 0
                    ? (errno = EEXIST, -1)
                    : ::rename(item.constData(), target.constData());
        }
        if (r == 0)
            return Status::noErr;
        const int e = errno;
        ::unlink(info.constData());
        if (e == EEXIST)
            continue;
        return statusFromErrno(e);
    }
    return Status::dupFNErr;
}

} // namespace qm
