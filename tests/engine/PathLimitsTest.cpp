// What the file system allows in names and paths: paths beyond the
// system's limit, and names that differ only in case.
#include "EngineFixture.h"
#include "platform/FileName.h"
#include "platform/Messages.h"

#include <QProcess>
#include <climits>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;

namespace {

class PathLimitsTest : public qmtest::EngineTest {};

// Builds `levels` folders of `name` below root, relative to open folders
// (their paths may pass the limit), with a file at the bottom.
bool buildDeepTree(const QString &root, const QByteArray &name, int levels)
{
    int fd = ::open(nativeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        if (::mkdirat(fd, name.constData(), 0755) != 0) {
            ::close(fd);
            return false;
        }
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        return false;
    const int file = ::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ::close(fd);
    if (file < 0)
        return false;
    ::close(file);
    return true;
}

// How many levels of `name` exist below root.
int depthOf(const QString &root, const QByteArray &name)
{
    int fd = ::open(nativeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int depth = 0;
    while (fd >= 0) {
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        depth += fd >= 0;
    }
    return depth;
}

} // namespace

TEST_F(PathLimitsTest, PathsBeyondTheSystemsLimitAreRunErrorsNeverSilentlySkipped)
{
    const QByteArray name(140, 'n');
    constexpr int kLevels = 32; // some 4,500 bytes
    ASSERT_TRUE(buildDeepTree(a, name, kLevels));
    run();
    // Every folder whose copy's path fits is made; the first that does not
    // is reported, with its path, as a counted error.
    const int fits = int((PATH_MAX - 1 - nativeName(b).size()) / (name.size() + 1));
    EXPECT_EQ(depthOf(b, name), std::min(fits, kLevels));
    ASSERT_FALSE(ctx.errors.isEmpty());
    EXPECT_TRUE(ctx.errors.first().startsWith(GLS("The path is longer than the system allows:")))
        << qPrintable(ctx.errors.first());
    EXPECT_GE(ctx.taskCounters.totError, 1);
}

TEST_F(PathLimitsTest, NamesDifferingInCaseAreTwoItemsWhereTheFileSystemTellsThemApart)
{
    writeFile(a + "/Report", "new", now - 100);
    writeFile(b + "/report", "old", now - 500);
    run();
    EXPECT_EQ(readFile(b + "/report"), "old") << "another file, left as it was";
    EXPECT_EQ(readFile(b + "/Report"), "new");
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 1);
    EXPECT_EQ(ctx.taskCounters.b.filesReplaced, 0);
    EXPECT_FALSE(ctx.detailedLog.contains(GLS("Replaced file:"))) << qPrintable(ctx.detailedLog);
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
}

// A small vfat disk image as side B: one name there, whatever its case.
class CaseInsensitiveVolumeTest : public PathLimitsTest {
protected:
    QString device, mountPoint;

    void TearDown() override
    {
        if (!mountPoint.isEmpty())
            ::umount2(nativeName(mountPoint).constData(), MNT_DETACH);
        if (!device.isEmpty())
            QProcess::execute("losetup", {"-d", device});
        PathLimitsTest::TearDown();
    }
    // Empty when this machine cannot (the reason).
    QString mountVfat()
    {
        const QString image = dir.path() + "/vfat.img";
        QFile f(image);
        if (!f.open(QIODevice::WriteOnly) || !f.resize(8 << 20))
            return "cannot make the image file";
        f.close();
        if (QProcess::execute("mkfs.vfat", {"-n", "QMTEST", image}) != 0)
            return "mkfs.vfat (dosfstools) is missing";
        QProcess attach;
        attach.start("losetup", {"--find", "--show", image});
        if (!attach.waitForFinished() || attach.exitCode() != 0)
            return "no loop device for this process";
        device = QString::fromUtf8(attach.readAllStandardOutput()).trimmed();
        const QString mnt = dir.path() + "/vfat";
        QDir().mkpath(mnt);
        if (::mount(nativeName(device).constData(), nativeName(mnt).constData(), "vfat", 0, nullptr) != 0)
            return "this kernel or process cannot mount vfat";
        mountPoint = mnt;
        b = mnt;
        return QString();
    }
};

TEST_F(CaseInsensitiveVolumeTest, NamesDifferingInCaseAreOneItemThere)
{
    if (const QString why = mountVfat(); !why.isEmpty())
        GTEST_SKIP() << qPrintable(why);
    writeFile(a + "/Report", "new", now - 100);
    writeFile(b + "/report", "old", now - 500);
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_EQ(tree(b), QStringList{"report"}) << "replaced in place, no second file";
    EXPECT_EQ(readFile(b + "/report"), "new");
    EXPECT_EQ(ctx.taskCounters.b.filesReplaced, 1);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 0);
}
