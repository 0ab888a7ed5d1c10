// A session whose volume list names a disk image: the run mounts it before
// the scan, backs up a folder on it, and gives it back after the copy.
#include "support/Documents.h"
#include "support/Files.h"
#include "support/TempHome.h"
#include "volumes/AutoMountList.h"
#include "volumes/BlockDevices.h"
#include "volumes/MountTable.h"
#include "volumes/VolumeUtilities.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace qm;

namespace {

bool run(const QString &program, const QStringList &args, QByteArray *out = nullptr)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return false;
    if (out)
        *out = p.readAllStandardOutput().trimmed();
    return true;
}

} // namespace

TEST(VolumeRun, TheSessionsDiskImageIsMountedForTheRunAndGivenBackAfter)
{
    if (::geteuid() != 0 || QStandardPaths::findExecutable("mkfs.ext4").isEmpty()
        || QStandardPaths::findExecutable("losetup").isEmpty())
        GTEST_SKIP() << "needs root, mkfs.ext4 and losetup";
    qmtest::TempHome home;
    QTemporaryDir dir, dest;
    const QString image = dir.filePath("disk.img");
    const QString mountPoint = dir.filePath("Disk");
    QDir().mkpath(mountPoint);
    QFile img(image);
    ASSERT_TRUE(img.open(QIODevice::WriteOnly) && img.resize(8 * 1024 * 1024));
    img.close();
    ASSERT_TRUE(run("mkfs.ext4", {"-q", "-F", image}));
    QByteArray device;
    if (!run("losetup", {"--find", "--show", image}, &device))
        GTEST_SKIP() << "no loop device here";
    if (!run("mount", {QString::fromUtf8(device), mountPoint})) {
        run("losetup", {"-d", QString::fromUtf8(device)});
        GTEST_SKIP() << "the image cannot be mounted here";
    }
    QDir().mkpath(mountPoint + "/Photos");
    ASSERT_TRUE(qmtest::writeBytes(mountPoint + "/Photos/one.jpg", "jpeg"));

    VolumeUtilities volumes;
    const std::optional<VolumeDescriptor> row = volumes.GetVolumeMountInfoDictionary(mountPoint);
    ASSERT_TRUE(row.has_value());
    ASSERT_TRUE(volumes.UnmountVolume(*row).done);
    ASSERT_FALSE(MountTable::read().isMountPoint(mountPoint));

    QVariantList rows = AutoMountList::defaultRows();
    rows[0] = row->toRecord();
    const QString path = qmtest::writeSession(home.path() + "/volumes.qmy", 1,
        {{"topFolder", mountPoint + "/Photos"}, {"bottomFolder", dest.path()},
         {"autoMountVolumeOn", 1}, {"autoMountVolumeArray", rows}});
    ASSERT_FALSE(path.isEmpty());

    QProcess p;
    p.start(QStringLiteral(QM_EXECUTABLE), {"--batch", path, "--session", "2"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
    EXPECT_EQ(qmtest::bytesOf(dest.filePath("one.jpg")), QByteArray("jpeg"));
    EXPECT_FALSE(MountTable::read().isMountPoint(mountPoint));

    while (MountTable::read().isMountPoint(mountPoint) && run("umount", {mountPoint})) {
    }
    for (const QString &d : BlockDevices::loopDevicesFor(image))
        run("losetup", {"-d", d});
}
