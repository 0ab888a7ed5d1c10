#include "engine/EngineFixture.h"

#include "fs/FSCopyObject.h"
#include "platform/FileFlags.h"
#include "platform/FileName.h"

#include <QDirIterator>
#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace qmtest {

// Paths go through the program's own name codec, so that trees may hold
// any name the kernel allows.
void EngineTest::writeFile(const QString &path, const QByteArray &content, qint64 mtime, long nsec)
{
    ASSERT_TRUE(qm::LPUtilities().CreateFolderWithFoldersInBetween(QFileInfo(path).path()));
    const int fd = ::open(qm::nativeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << qPrintable(qm::displayName(path));
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    ASSERT_TRUE(written);
    setMtime(path, mtime, nsec);
}

QByteArray EngineTest::readFile(const QString &path)
{
    const int fd = ::open(qm::nativeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QByteArray("<missing>");
    QByteArray out;
    char buf[65536];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        out.append(buf, n);
    ::close(fd);
    return out;
}

bool EngineTest::exists(const QString &path)
{
    struct stat st;
    return ::lstat(qm::nativeName(path).constData(), &st) == 0;
}

qint64 EngineTest::mtimeOf(const QString &path)
{
    struct stat st;
    return ::lstat(qm::nativeName(path).constData(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

void EngineTest::setMtime(const QString &path, qint64 mtime, long nsec)
{
    timespec times[2] = {{time_t(mtime), nsec}, {time_t(mtime), nsec}};
    ::utimensat(AT_FDCWD, qm::nativeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
}

void EngineTest::setBackupDate(const QString &path, qint64 seconds)
{
    ASSERT_TRUE(qm::LPUtilities().SetBackupDate(
        path, qm::UTCDateTime::fromTimespec({time_t(seconds), 0})));
}

std::optional<qint64> EngineTest::backupDateOf(const QString &path)
{
    const QDateTime d = qm::LPUtilities().GetDate(path, qm::kBackupDate);
    return d.isValid() ? std::optional<qint64>(d.toSecsSinceEpoch()) : std::nullopt;
}

bool EngineTest::lock(const QString &path)
{
    return qm::fileflags::setImmutable(qm::nativeName(path), true) == qm::Status::noErr;
}

bool EngineTest::isLocked(const QString &path)
{
    bool locked = false;
    qm::fileflags::isImmutable(qm::nativeName(path), &locked);
    return locked;
}

namespace {
void listTree(const QString &root, const QString &rel, QStringList *out)
{
    DIR *d = ::opendir(qm::nativeName(rel.isEmpty() ? root : root + '/' + rel).constData());
    if (!d)
        return;
    QStringList names;
    while (const dirent *e = ::readdir(d)) {
        const QByteArray n(e->d_name);
        if (n != "." && n != "..")
            names.append(qm::fromNativeName(n));
    }
    ::closedir(d);
    for (const QString &n : std::as_const(names)) {
        const QString r = rel.isEmpty() ? n : rel + '/' + n;
        struct stat st;
        const bool folder = ::lstat(qm::nativeName(root + '/' + r).constData(), &st) == 0
                            && S_ISDIR(st.st_mode);
        out->append(folder ? r + '/' : r);
        if (folder)
            listTree(root, r, out);
    }
}
} // namespace

QStringList EngineTest::tree(const QString &root)
{
    QStringList out;
    listTree(root, QString(), &out);
    out.sort();
    return out;
}

qm::TaskScan EngineTest::scan(const QString &source, const QString &dest)
{
    qm::Scanner scanner(ctx);
    return scanner.ScanOneTask(0, 0, source, dest);
}

void EngineTest::TearDown()
{
    if (!smallMount.isEmpty())
        ::umount2(qm::nativeName(smallMount).constData(), MNT_DETACH);
    qm::UnlockWholeItem(dir.path());
    // Names that are not text and paths beyond the system's limit are more
    // than the temporary folder's own removal can reach.
    qm::FSDeleteObjects(dir.path());
    qm::FSDeleteObjects(home.dataDir() + "/Trash");
}

bool EngineTest::useSmallDestination(const char *size)
{
    const QString mnt = dir.path() + "/small";
    QDir().mkpath(mnt);
    const QByteArray options = QByteArray("size=") + size;
    if (::mount("tmpfs", qm::nativeName(mnt).constData(), "tmpfs", 0, options.constData()) != 0)
        return false;
    smallMount = mnt;
    b = mnt;
    return true;
}

qm::TaskScan EngineTest::run(const QString &source, const QString &dest, qm::Executor *executor)
{
    qm::TaskScan t = scan(source, dest);
    std::vector<qm::CopyItem> plan;
    if (t.planned)
        plan.push_back(t.root);
    qm::Executor own(ctx);
    if (ctx.copying && t.verdict != 0)
        (executor ? *executor : own).MainCopy({qm::SessionTasks{0, {0}}}, plan);
    return t;
}

const qm::CopyItem *EngineTest::find(const qm::CopyItem &root, const QString &suffix)
{
    return find(root, root.pathsIn({}), suffix);
}

const qm::CopyItem *EngineTest::find(const qm::CopyItem &folder, const qm::SidePaths &paths, const QString &suffix)
{
    for (const qm::CopyItem &sub : folder.subItems) {
        const qm::SidePaths own = sub.pathsIn(paths);
        if (own.source.endsWith(suffix) || own.dest.endsWith(suffix))
            return &sub;
        if (const qm::CopyItem *deeper = find(sub, own, suffix))
            return deeper;
    }
    return nullptr;
}

int EngineTest::modeOf(const qm::TaskScan &scan, const QString &suffix)
{
    const qm::CopyItem *item = find(scan.root, suffix);
    return item ? item->copyMode : 0;
}

} // namespace qmtest
