#include "FsTestSupport.h"

#include "fs/LPUtilities.h"

#include <QDir>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qmtest {

TempFolder::TempFolder() : m_dir(QDir::tempPath() + "/qmfs-XXXXXX")
{
    ::chmod(enc(m_dir.path()).constData(), 0755);
}

TempFolder::~TempFolder()
{
    if (m_dir.isValid())
        qm::UnlockWholeItem(m_dir.path());
}

TmpfsMount::TmpfsMount(const QString &where, const QByteArray &size) : m_where(where)
{
    QDir().mkpath(where);
    const QByteArray opts = "size=" + size + ",mode=0755";
    m_mounted = ::mount("tmpfs", enc(where).constData(), "tmpfs", 0, opts.constData()) == 0;
}

TmpfsMount::~TmpfsMount()
{
    if (m_mounted) {
        qm::UnlockWholeItem(m_where);
        ::umount2(enc(m_where).constData(), MNT_DETACH);
    }
}

QByteArray enc(const QString &p)
{
    return QFile::encodeName(p);
}

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    uint32_t x = uint32_t(seed) * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 24);
    }
    return b;
}

bool setAttr(const QString &path, const char *name, const QByteArray &value)
{
    return ::lsetxattr(enc(path).constData(), name, value.constData(), size_t(value.size()), 0) == 0;
}

QByteArray getAttr(const QString &path, const char *name)
{
    char buf[65536];
    const ssize_t n = ::lgetxattr(enc(path).constData(), name, buf, sizeof buf);
    return n < 0 ? QByteArray() : QByteArray(buf, qsizetype(n));
}

void lock(const QString &path, bool on)
{
    qm::AttributeChange c;
    c.immutable = on ? 1 : 0;
    qm::ChangeFileAttributes(path, c);
}

bool isImmutable(const QString &path)
{
    return qm::LPUtilities().IsLocked(path);
}

QStringList entries(const QString &folder)
{
    QStringList e = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                           | QDir::NoDotAndDotDot);
    e.sort();
    return e;
}

bool canMountTmpfs()
{
    return ::geteuid() == 0;
}

bool canSetImmutable(const QString &folder)
{
    const QString probe = folder + "/.immutable-probe";
    writeFile(probe, "x");
    qm::AttributeChange c;
    c.immutable = 1;
    const bool ok = qm::ChangeFileAttributes(probe, c) == qm::Status::noErr;
    c.immutable = 0;
    qm::ChangeFileAttributes(probe, c);
    QFile::remove(probe);
    return ok;
}

int runAsUser(uid_t uid, gid_t gid, const std::function<int()> &fn)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(250);
        ::_exit(fn());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace qmtest
