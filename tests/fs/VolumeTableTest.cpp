#include "fs/Volume.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace qm;

// The mount table is kept between calls: a mount or unmount made in between
// must still be seen at once.
TEST(VolumeTable, MountsAndUnmountsAreSeenBetweenCalls)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    QTemporaryDir dir;
    const QString mp = dir.filePath("vol");
    QDir().mkpath(mp);
    const VolumeInfo before = volumeForPath(mp);
    ASSERT_TRUE(before.isValid());
    EXPECT_NE(before.mountPoint, mp);
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", mp}) != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const VolumeInfo mounted = volumeForPath(mp);
    QProcess::execute("umount", {mp});
    EXPECT_EQ(mounted.mountPoint, mp);
    EXPECT_EQ(mounted.fsType, "tmpfs");
    EXPECT_EQ(volumeForPath(mp).mountPoint, before.mountPoint);
}
