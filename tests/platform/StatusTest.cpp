#include "platform/Status.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;

// The statuses the copy executor turns into messages must come out of the
// failures that really produce them on Linux, not merely out of a table.
TEST(Status, RealSystemFailuresMapToTheCatalogNumbers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray base = dir.path().toUtf8();

    errno = 0;
    EXPECT_EQ(::open((base + "/missing").constData(), O_RDONLY), -1);
    EXPECT_EQ(statusFromErrno(errno), Status::fnfErr);

    EXPECT_EQ(::mkdir((base + "/d").constData(), 0755), 0);
    EXPECT_EQ(::mkdir((base + "/d").constData(), 0755), -1);
    EXPECT_EQ(statusFromErrno(errno), Status::dupFNErr);

    const int fd = ::open((base + "/d/f").constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(::rmdir((base + "/d").constData()), -1);
    EXPECT_EQ(statusFromErrno(errno), Status::fBsyErr);

    EXPECT_EQ(::open((base + "/d/f/x").constData(), O_RDONLY), -1);
    EXPECT_EQ(statusFromErrno(errno), Status::dirNFErr);

    const QByteArray longName(300, 'n');
    EXPECT_EQ(::open((base + "/" + longName).constData(), O_CREAT | O_WRONLY, 0644), -1);
    EXPECT_EQ(statusFromErrno(errno), Status::bdNamErr);
}

TEST(Status, FailuresThatMustNeverReadAsSuccessOrAsTheWrongMessage)
{
    EXPECT_EQ(statusFromErrno(0), Status::noErr);
    EXPECT_EQ(statusFromErrno(EACCES), Status::afpAccessDenied);
    EXPECT_EQ(statusFromErrno(EPERM), Status::afpAccessDenied);
    EXPECT_EQ(statusFromErrno(ENOSPC), Status::dskFulErr);
    EXPECT_EQ(statusFromErrno(EDQUOT), Status::dskFulErr);
    // Anything unknown is still a failure.
    for (int e = 1; e < 134; ++e)
        EXPECT_LT(statusFromErrno(e), 0) << "errno " << e;
    EXPECT_LT(statusFromErrno(9999), 0);
}
