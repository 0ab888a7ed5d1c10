// A real ext4 disk image on a loop device: described as a volume, unmounted
// and mounted again from its row, alone and as a session's volume list.
#include "volumes/AutoMountList.h"
#include "volumes/BlockDevices.h"
#include "volumes/MountTable.h"
#include "volumes/ToolRunner.h"
#include "volumes/VolumeUtilities.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace qm;

namespace {

bool tool(const QString &program, const QStringList &args)
{
    return ToolRunner::run(program, args).succeeded();
}

// A session whose volume list is on and holds the one row.
QVariantMap sessionWith(const VolumeDescriptor &row)
{
    QVariantList rows = AutoMountList::defaultRows();
    rows[0] = row.toRecord();
    return {{"autoMountVolumeOn", 1}, {"autoMountVolumeArray", rows}};
}

// An image file with an ext4 file system, attached and mounted in a
// temporary folder; everything is undone at the end, whatever the test did.
class DiskImageVolume : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "attaching and mounting a disk image needs root";
        if (ToolRunner::find("mkfs.ext4").isEmpty() || ToolRunner::find("losetup").isEmpty())
            GTEST_SKIP() << "mkfs.ext4 or losetup is missing";
        ASSERT_TRUE(m_dir.isValid());
        m_image = m_dir.filePath("volume.img");
        m_mountPoint = m_dir.filePath("Backup Disk");
        ASSERT_TRUE(QDir().mkpath(m_mountPoint));
        QFile image(m_image);
        ASSERT_TRUE(image.open(QIODevice::WriteOnly) && image.resize(8 * 1024 * 1024));
        image.close();
        ASSERT_TRUE(tool("mkfs.ext4", {"-q", "-F", "-L", "QMTEST", m_image}));
        const ToolResult attached = ToolRunner::run("losetup", {"--find", "--show", m_image});
        if (!attached.succeeded())
            GTEST_SKIP() << "no loop device: " << attached.message().toStdString();
        const QString device = QString::fromUtf8(attached.standardOutput).trimmed();
        if (!tool("mount", {device, m_mountPoint})) {
            tool("losetup", {"-d", device});
            GTEST_SKIP() << "the image cannot be mounted here";
        }
        ASSERT_TRUE(qmtest::writeBytes(m_mountPoint + "/marker.txt", "kept"));
    }

    void TearDown() override
    {
        while (MountTable::read().isMountPoint(m_mountPoint))
            if (!tool("umount", {m_mountPoint}))
                break;
        if (!m_image.isEmpty())
            for (const QString &device : BlockDevices::loopDevicesFor(m_image))
                tool("losetup", {"-d", device});
    }

    bool mounted() const { return MountTable::read().isMountPoint(m_mountPoint); }
    // The image's row, after the volume was unmounted through it.
    VolumeDescriptor unmountedRow()
    {
        const VolumeDescriptor row = *m_volumes.GetVolumeMountInfoDictionary(m_mountPoint);
        EXPECT_TRUE(m_volumes.UnmountVolume(row).done);
        return row;
    }
    QString markerText() const
    {
        QFile f(m_mountPoint + "/marker.txt");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QTemporaryDir m_dir;
    QString m_image;
    QString m_mountPoint;
    VolumeUtilities m_volumes;
};

} // namespace

TEST_F(DiskImageVolume, IsDescribedAsADiskImageWithItsAlias)
{
    const std::optional<VolumeDescriptor> d =
        m_volumes.GetVolumeMountInfoDictionary(m_mountPoint + QStringLiteral("/marker.txt"));
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->volumeType, VolumeType::DiskImage);
    EXPECT_EQ(d->mountPoint, m_mountPoint);
    EXPECT_EQ(d->unmountVolume, 1);
    EXPECT_TRUE(d->hasAliasData && !d->aliasData.isEmpty());
    EXPECT_FALSE(d->hasDiskID);
    EXPECT_TRUE(d->isUsable());
    EXPECT_TRUE(VolumeUtilities::IsDiskImageVolume(m_mountPoint));
    EXPECT_TRUE(VolumeUtilities::CanVolumeManageOwnership(m_mountPoint));
    EXPECT_FALSE(VolumeUtilities::IsRemoteVolume(m_mountPoint));
    EXPECT_EQ(VolumeUtilities::GetVolumeMountPoint(m_mountPoint + QStringLiteral("/marker.txt")),
              m_mountPoint);
}

TEST_F(DiskImageVolume, UnmountsAndMountsAgainFromItsRow)
{
    const VolumeDescriptor stored =
        VolumeDescriptor::fromRecord(m_volumes.GetVolumeMountInfoDictionary(m_mountPoint)->toRecord());
    ASSERT_TRUE(VolumeUtilities::IsVolumeAlreadyMounted(stored));
    const UnmountOutcome off = m_volumes.UnmountVolume(stored);
    EXPECT_TRUE(off.done) << off.message.toStdString();
    EXPECT_FALSE(mounted());
    EXPECT_TRUE(BlockDevices::loopDevicesFor(m_image).isEmpty()) << "ejecting detaches the image";
    EXPECT_FALSE(VolumeUtilities::IsVolumeAlreadyMounted(stored));

    AutoMountList list(m_volumes);
    const std::optional<TryOutcome> on = list.TryOneMount(stored.toRecord(), stored.user, {});
    ASSERT_TRUE(on.has_value());
    EXPECT_EQ(on->status, 0) << on->message.toStdString();
    EXPECT_TRUE(on->message.isEmpty());
    EXPECT_TRUE(mounted());
    EXPECT_EQ(markerText(), QStringLiteral("kept"));

    // Mounting what is mounted neither attaches the image again nor fails.
    const MountOutcome again = m_volumes.MountVolumeFromAliasData(stored.aliasData, m_mountPoint);
    EXPECT_EQ(again.status, Status::afpAlreadyMounted);
    EXPECT_EQ(BlockDevices::loopDevicesFor(m_image).size(), 1);
    // Nor does mounting an image that is attached but not mounted.
    ASSERT_TRUE(tool("umount", {m_mountPoint}));
    EXPECT_EQ(m_volumes.MountVolumeFromAliasData(stored.aliasData, m_mountPoint).status, 0);
    EXPECT_EQ(BlockDevices::loopDevicesFor(m_image).size(), 1);
    EXPECT_TRUE(mounted());

    const std::optional<TryOutcome> unmount = list.TryOneUnmount(stored.toRecord(), stored.user);
    ASSERT_TRUE(unmount.has_value());
    EXPECT_TRUE(unmount->message.isEmpty()) << unmount->message.toStdString();
    EXPECT_FALSE(mounted());
    const std::optional<TryOutcome> twice = list.TryOneUnmount(stored.toRecord(), stored.user);
    ASSERT_TRUE(twice.has_value());
    EXPECT_EQ(twice->message,
              QStringLiteral("The volume %1 is already unmounted.").arg(stored.address()));
}

TEST_F(DiskImageVolume, SessionMountsItsListBeforeAndUnmountsAfterUnlessStopped)
{
    const VolumeDescriptor row = unmountedRow();
    const QVariantMap session = sessionWith(row);
    AutoMountList list(m_volumes);
    QStringList comments;
    bool go = false;
    SessionRunHooks hooks {[&] { return go; }, [&](const QString &c) { comments << c; }};

    EXPECT_EQ(list.MountAllVolumesForSession(session, hooks).errorCount, 0);
    EXPECT_FALSE(mounted()) << "a stopped run mounts nothing";
    EXPECT_EQ(comments, QStringList {QStringLiteral("Mounting Volumes…")})
        << "no \"Scanning Folders…\" once the run is stopped";

    go = true;
    comments.clear();
    const SessionVolumesReport mount = list.MountAllVolumesForSession(session, hooks);
    EXPECT_EQ(mount.errorCount, 0) << mount.errorText.toStdString();
    EXPECT_TRUE(mount.errorText.isEmpty());
    EXPECT_EQ(mount.detailedLogLines,
              QStringList {QStringLiteral("Mounted the volume\r\"") + row.address() + u'"'});
    EXPECT_EQ(comments, (QStringList {QStringLiteral("Mounting Volumes…"),
                                      QStringLiteral("Scanning Folders…")}));
    // The folder on it is there for the scan, with what was written before.
    EXPECT_EQ(markerText(), QStringLiteral("kept"));

    const SessionVolumesReport unmount = list.UnmountAllVolumesForSession(session, hooks);
    EXPECT_EQ(unmount.errorCount, 0) << unmount.errorText.toStdString();
    EXPECT_FALSE(mounted());
    EXPECT_EQ(unmount.detailedLogLines,
              QStringList {QStringLiteral("Unmounted the volume\r\"") + row.address() + u'"'});
}

TEST_F(DiskImageVolume, AReplacedOrMissingImageIsNotMountedAndTheFailureNamesIt)
{
    const VolumeDescriptor row = unmountedRow();
    AutoMountList list(m_volumes);
    // Same path, same file system, different file: the alias no longer holds.
    ASSERT_TRUE(QFile::rename(m_image, m_image + QStringLiteral(".old")));
    ASSERT_TRUE(QFile::copy(m_image + QStringLiteral(".old"), m_image));
    const std::optional<TryOutcome> o = list.TryOneMount(row.toRecord(), row.user, {});
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->status, 1) << "a failed alias mount";
    EXPECT_TRUE(o->message.startsWith(
        QStringLiteral("Can't mount the volume. Not enough information to ping the host.\r")));
    EXPECT_TRUE(o->message.contains(m_image));
    EXPECT_FALSE(mounted());

    ASSERT_TRUE(QFile::remove(m_image));
    const SessionVolumesReport r = list.MountAllVolumesForSession(sessionWith(row), {});
    EXPECT_EQ(r.errorCount, 1);
    EXPECT_TRUE(r.errorText.startsWith(QStringLiteral("Can't mount the volumes:\r\"")
                                       + row.address() + u'"'))
        << r.errorText.toStdString();
    EXPECT_EQ(r.errorLogLine, QStringLiteral("√ ") + r.errorText + u'\r');
    EXPECT_EQ(r.cannotMountPoints, QStringList {m_mountPoint});
    EXPECT_TRUE(r.detailedLogLines.isEmpty());
}

TEST_F(DiskImageVolume, PickingAFolderOnItAddsTheVolumeOnce)
{
    VolumeDescriptor other;
    other.volumeType = VolumeType::Remote;
    other.scheme = "smb";
    other.user = "u";
    other.host = "h";
    QVariantMap session = sessionWith(other);
    AutoMountList list(m_volumes);
    EXPECT_TRUE(list.AddToAutoMountVolumeArray(&session, m_mountPoint));
    const QVariantList after = session.value(QStringLiteral("autoMountVolumeArray")).toList();
    ASSERT_EQ(after.size(), AutoMountList::kRowCount);
    EXPECT_EQ(after[0], other.toRecord());
    EXPECT_EQ(after[1].toMap().value(QStringLiteral("volumeType")).toInt(), 3);
    EXPECT_FALSE(list.AddToAutoMountVolumeArray(&session, m_mountPoint + "/marker.txt"))
        << "the same volume is listed once";
    EXPECT_FALSE(list.AddToAutoMountVolumeArray(&session, QStringLiteral("/")))
        << "the start-up volume is never described";
    EXPECT_FALSE(list.AddToAutoMountVolumeArray(&session, m_dir.filePath("missing")));
}

TEST_F(DiskImageVolume, ALocalDiskIsFoundAgainByItsFileSystemUuid)
{
    // The loop device stands in for a second disk: a type-2 row names the
    // device and the UUID of its file system.
    const MountEntry entry = MountTable::read().entryAt(m_mountPoint);
    VolumeDescriptor disk = *m_volumes.GetVolumeMountInfoDictionary(m_mountPoint);
    disk.volumeType = VolumeType::LocalDisk;
    disk.hasAliasData = false;
    disk.hasDiskID = true;
    disk.diskID = QStringLiteral("/dev/sdz9"); // its name changed since
    disk.diskUUID = BlockDevices::identify(entry.source).uuid;
    ASSERT_FALSE(disk.diskUUID.isEmpty());

    EXPECT_EQ(m_volumes.MountTheLocalVolume(disk).status, Status::afpAlreadyMounted);
    UnmountOutcome off = m_volumes.UnmountVolume(disk);
    ASSERT_TRUE(off.done) << off.message.toStdString();
    EXPECT_FALSE(mounted());
    EXPECT_EQ(BlockDevices::loopDevicesFor(m_image).size(), 1) << "a disk is unmounted, not ejected";

    VolumeDescriptor wrong = disk;
    wrong.diskUUID = QStringLiteral("00000000-1111-2222-3333-444444444444");
    const MountOutcome missing = m_volumes.MountTheLocalVolume(wrong);
    EXPECT_EQ(missing.status, Status::nsvErr);
    EXPECT_TRUE(missing.message.contains(wrong.diskUUID));
    EXPECT_FALSE(mounted());

    const MountOutcome on = m_volumes.MountTheLocalVolume(disk);
    EXPECT_EQ(on.status, 0) << on.message.toStdString();
    EXPECT_TRUE(mounted());
    EXPECT_EQ(on.mountPoint, m_mountPoint);
    EXPECT_EQ(markerText(), QStringLiteral("kept"));
}

TEST(MemoryVolume, AVolumeWithoutADiskIsALocalDiskThatIsNoFailureWhileMounted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath("ram");
    QDir().mkpath(mountPoint);
    if (!tool(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=1m", "tmpfs", mountPoint}))
        GTEST_SKIP() << "no memory file system can be mounted here";
    VolumeUtilities volumes;
    const std::optional<VolumeDescriptor> d = volumes.GetVolumeMountInfoDictionary(mountPoint);
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->volumeType, VolumeType::LocalDisk);
    EXPECT_TRUE(d->hasDiskID);
    EXPECT_EQ(d->diskID, QString());
    EXPECT_EQ(d->unmountVolume, 0) << "local disks stay mounted after a session";
    const QVariantMap session = sessionWith(*d);
    AutoMountList list(volumes);
    const SessionVolumesReport r = list.MountAllVolumesForSession(session, {});
    EXPECT_EQ(r.errorCount, 0) << r.errorText.toStdString();
    list.UnmountAllVolumesForSession(session, {});
    EXPECT_TRUE(MountTable::read().isMountPoint(mountPoint));
    tool(QStringLiteral("umount"), {mountPoint});
    const SessionVolumesReport gone = list.MountAllVolumesForSession(session, {});
    EXPECT_EQ(gone.errorCount, 1) << "once it is gone it cannot be mounted again";
}
