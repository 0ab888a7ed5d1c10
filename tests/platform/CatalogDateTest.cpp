#include "platform/CatalogDate.h"
#include "platform/FileFlags.h"
#include "platform/Xattr.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace qm;

TEST(CatalogDate, StoredFormIsBigEndianHighLowFraction)
{
    UTCDateTime d;
    d.highSeconds = 0x0102;
    d.lowSeconds = 0x03040506;
    d.fraction = 0x0708;
    EXPECT_EQ(d.encode(), QByteArray::fromHex("0102030405060708"));
    UTCDateTime back;
    ASSERT_TRUE(UTCDateTime::decode(d.encode(), &back));
    EXPECT_EQ(back, d);
    // Anything but eight bytes is refused and leaves the output alone.
    UTCDateTime untouched = d;
    EXPECT_FALSE(UTCDateTime::decode(QByteArray::fromHex("01020304050607"), &untouched));
    EXPECT_FALSE(UTCDateTime::decode(QByteArray::fromHex("010203040506070809"), &untouched));
    EXPECT_EQ(untouched, d);
}

TEST(CatalogDate, ConversionsAgreeWithTheEpochs)
{
    // The Unix epoch is 2082844800 seconds after the catalog's.
    const UTCDateTime unix0 = UTCDateTime::fromDateTime(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    EXPECT_EQ(unix0.wholeSeconds(), 2082844800u);
    EXPECT_EQ(unix0.fraction, 0);
    // Half a second is half of 65536.
    const UTCDateTime half = UTCDateTime::fromDateTime(QDateTime::fromMSecsSinceEpoch(1500, Qt::UTC));
    EXPECT_EQ(half.wholeSeconds(), 2082844801u);
    EXPECT_EQ(half.fraction, 0x8000);
    EXPECT_EQ(half.toDateTime().toMSecsSinceEpoch(), 1500);
    EXPECT_TRUE(UTCDateTime::fromDateTime(QDateTime()).isNull());
    EXPECT_FALSE(UTCDateTime().toDateTime().isValid());
    // Before 1904 there is no catalog date.
    EXPECT_TRUE(UTCDateTime::fromDateTime(QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC)).isNull());

    const timespec ts{1600000000, 750000000};
    const UTCDateTime t = UTCDateTime::fromTimespec(ts);
    EXPECT_EQ(t.fraction, 0xC000);
    EXPECT_EQ(t.toTimespec().tv_sec, ts.tv_sec);
    EXPECT_EQ(t.toTimespec().tv_nsec, ts.tv_nsec);
    // The 48-bit seconds field takes dates far past 2040 (where 32 bits end).
    const UTCDateTime late = UTCDateTime::fromDateTime(QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(late.highSeconds, 1);
    EXPECT_EQ(late.toDateTime(), QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC));
}

TEST(Xattr, AbsentIsToldApartFromEmptyAndFromFailure)
{
    QTemporaryDir dir;
    const QByteArray f = QFile::encodeName(dir.filePath("f"));
    QFile(dir.filePath("f")).open(QIODevice::WriteOnly);
    QByteArray v;
    EXPECT_EQ(xattr::get(f, "user.none", &v), Status::errFSAttributeNotFound);
    ASSERT_EQ(xattr::set(f, "user.empty", QByteArray()), Status::noErr);
    EXPECT_EQ(xattr::get(f, "user.empty", &v), Status::noErr);
    EXPECT_TRUE(v.isEmpty());
    ASSERT_EQ(xattr::set(f, "user.big", QByteArray(3000, 'z')), Status::noErr);
    EXPECT_EQ(xattr::get(f, "user.big", &v), Status::noErr);
    EXPECT_EQ(v, QByteArray(3000, 'z'));
    QList<QByteArray> names;
    ASSERT_EQ(xattr::list(f, &names), Status::noErr);
    EXPECT_TRUE(names.contains("user.empty"));
    EXPECT_TRUE(names.contains("user.big"));
    EXPECT_EQ(xattr::remove(f, "user.none"), Status::noErr);
    EXPECT_EQ(xattr::get(QFile::encodeName(dir.filePath("missing")), "user.x", &v), Status::fnfErr);
    // A name outside the known namespaces is refused, not dropped.
    EXPECT_NE(xattr::set(f, "bogus.name", "x"), Status::noErr);
}

// Relative to an open folder the calls reach the entry itself, never a
// link's target, and report absence and failure as the path calls do.
// Both ways: relative to the folder, and by the full path where the kernel
// has no folder-relative calls.
class XattrEntry : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { xattr::usePathCallsOnly(GetParam()); }
    void TearDown() override { xattr::usePathCallsOnly(false); }
};

TEST_P(XattrEntry, CallsActOnTheEntryItself)
{
    QTemporaryDir dir;
    QFile(dir.filePath("f")).open(QIODevice::WriteOnly);
    ASSERT_EQ(::symlink("f", QFile::encodeName(dir.filePath("l")).constData()), 0);
    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_PATH | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    const QByteArray f = QFile::encodeName(dir.filePath("f"));
    const QByteArray l = QFile::encodeName(dir.filePath("l"));
    const xattr::Entry file{folder, "f", f.constData()};
    const xattr::Entry link{folder, "l", l.constData()};
    ASSERT_EQ(xattr::set(file, "user.at", "12345678"), Status::noErr);
    char buf[16];
    EXPECT_EQ(xattr::getRaw(file, "user.at", buf, sizeof buf), 8);
    EXPECT_EQ(QByteArray(buf, 8), QByteArray("12345678"));
    EXPECT_EQ(xattr::getRaw(xattr::Entry{AT_FDCWD, f.constData(), f.constData()}, "user.at", buf, sizeof buf), 8);
    // The link has no attribute of its own and takes none; its target keeps its value.
    EXPECT_EQ(xattr::getRaw(link, "user.at", buf, sizeof buf), -1);
    EXPECT_NE(xattr::set(link, "user.at", "other"), Status::noErr);
    EXPECT_EQ(xattr::getRaw(file, "user.at", buf, sizeof buf), 8);
    EXPECT_EQ(xattr::getRaw(file, "user.none", buf, sizeof buf), -1);
    EXPECT_EQ(errno, ENODATA);
    EXPECT_EQ(xattr::getRaw(xattr::Entry{folder, "missing", "/nonexistent/missing"}, "user.at", buf, sizeof buf), -1);
    EXPECT_EQ(errno, ENOENT);

    // The listing too names the entry's own attributes, not its link target's.
    char names[64];
    const ssize_t n = xattr::listRaw(file, names, sizeof names);
    ASSERT_GT(n, 0);
    EXPECT_TRUE(QByteArray(names, n).split('\0').contains("user.at"));
    EXPECT_FALSE(QByteArray(names, std::max<ssize_t>(xattr::listRaw(link, names, sizeof names), 0)).contains("user.at"));
    EXPECT_EQ(xattr::listRaw(file, names, 3), -1);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(xattr::listRaw(xattr::Entry{folder, "missing", "/nonexistent/missing"}, names, sizeof names), -1);
    EXPECT_EQ(errno, ENOENT);
    ::close(folder);
}

INSTANTIATE_TEST_SUITE_P(RelativeAndByPath, XattrEntry, ::testing::Bool());

TEST(FileFlags, LockFlagRoundTripAndLinksCannotBeLocked)
{
    QTemporaryDir dir;
    const QByteArray f = QFile::encodeName(dir.filePath("f"));
    QFile(dir.filePath("f")).open(QIODevice::WriteOnly);
    ASSERT_EQ(::symlink("f", QFile::encodeName(dir.filePath("l")).constData()), 0);
    const QByteArray l = QFile::encodeName(dir.filePath("l"));
    bool on = true;
    ASSERT_EQ(fileflags::isImmutable(f, &on), Status::noErr);
    EXPECT_FALSE(on);
    EXPECT_NE(fileflags::setImmutable(l, true), Status::noErr);
    EXPECT_EQ(fileflags::setImmutable(l, false), Status::noErr);
    const OSStatus st = fileflags::setImmutable(f, true);
    if (st != Status::noErr)
        GTEST_SKIP() << "the immutable flag cannot be set here (" << st << ")";
    ASSERT_EQ(fileflags::isImmutable(f, &on), Status::noErr);
    EXPECT_TRUE(on);
    // The link itself stays unlocked while its target is locked.
    ASSERT_EQ(fileflags::isImmutable(l, &on), Status::noErr);
    EXPECT_FALSE(on);
    EXPECT_EQ(xattr::set(f, "user.x", "y"), Status::afpAccessDenied);
    EXPECT_EQ(fileflags::setImmutable(f, false), Status::noErr);
    ASSERT_EQ(fileflags::isImmutable(f, &on), Status::noErr);
    EXPECT_FALSE(on);
}
