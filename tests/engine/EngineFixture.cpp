#include "engine/EngineFixture.h"

#include "platform/FileFlags.h"

#include <QDirIterator>
#include <QFile>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

namespace qmtest {

void EngineTest::writeFile(const QString &path, const QByteArray &content, qint64 mtime, long nsec)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(content), content.size());
    f.close();
    setMtime(path, mtime, nsec);
}

QByteArray EngineTest::readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

qint64 EngineTest::mtimeOf(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

void EngineTest::setMtime(const QString &path, qint64 mtime, long nsec)
{
    timespec times[2] = {{time_t(mtime), nsec}, {time_t(mtime), nsec}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW);
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
    return qm::fileflags::setImmutable(QFile::encodeName(path), true) == qm::Status::noErr;
}

bool EngineTest::isLocked(const QString &path)
{
    bool locked = false;
    qm::fileflags::isImmutable(QFile::encodeName(path), &locked);
    return locked;
}

QStringList EngineTest::tree(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        QString rel = p.mid(root.size() + 1);
        if (it.fileInfo().isDir() && !it.fileInfo().isSymLink())
            rel += QLatin1Char('/');
        out.append(rel);
    }
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
        ::umount2(QFile::encodeName(smallMount).constData(), MNT_DETACH);
    qm::UnlockWholeItem(dir.path());
}

bool EngineTest::useSmallDestination(const char *size)
{
    const QString mnt = dir.path() + "/small";
    QDir().mkpath(mnt);
    const QByteArray options = QByteArray("size=") + size;
    if (::mount("tmpfs", QFile::encodeName(mnt).constData(), "tmpfs", 0, options.constData()) != 0)
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
    for (const qm::CopyItem &sub : root.subItems) {
        if (sub.source.endsWith(suffix) || sub.dest.endsWith(suffix))
            return &sub;
        if (const qm::CopyItem *deeper = find(sub, suffix))
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
