// A copy that fails at any point leaves the destination as it was: the old
// object byte for byte and no temporary object.
#include "FsTestSupport.h"

#include "fs/FSCopyObject.h"
#include "fs/LPUtilities.h"
#include "platform/Xattr.h"

#include <QDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;
using namespace qmtest;

namespace {

class CopySafety : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(dir.file("src")));
        ASSERT_TRUE(QDir().mkpath(dir.file("dst")));
    }

    // An old file and an old folder, as a run would find them on side B.
    void makeOldObjects(const QString &folder)
    {
        writeFile(folder + "/Doc.txt", oldData);
        setAttr(folder + "/Doc.txt", "user.old", "attr");
        QDir().mkpath(folder + "/Album/sub");
        writeFile(folder + "/Album/sub/photo.jpg", oldData);
    }

    void expectOldObjectsIntact(const QString &folder)
    {
        EXPECT_EQ(entries(folder), (QStringList{"Album", "Doc.txt"}));
        EXPECT_EQ(readFile(folder + "/Doc.txt"), oldData);
        EXPECT_EQ(getAttr(folder + "/Doc.txt", "user.old"), QByteArray("attr"));
        EXPECT_EQ(readFile(folder + "/Album/sub/photo.jpg"), oldData);
        EXPECT_EQ(entries(folder + "/Album"), QStringList{"sub"});
    }

    void makeNewObjects(qsizetype size)
    {
        writeFile(dir.file("src/Doc.txt"), pattern(size, 7));
        QDir().mkpath(dir.file("src/Album/sub"));
        writeFile(dir.file("src/Album/sub/photo.jpg"), pattern(size, 8));
        writeFile(dir.file("src/Album/more.jpg"), pattern(size, 9));
    }

    TempFolder dir;
    ObjectCopier copier;
    const QByteArray oldData = pattern(5000, 42);
};

// Fails the nth call of one operation with the given errno.
CopyFaultHook failNth(const char *op, int nth, int err)
{
    auto count = std::make_shared<int>(0);
    return [=](const char *what, const QByteArray &) {
        return (std::strcmp(what, op) == 0 && ++*count == nth) ? err : 0;
    };
}

} // namespace

TEST_F(CopySafety, ReadErrorHalfWayOrFailedPlacingLeavesTheOldFileAndFolder)
{
    makeOldObjects(dir.file("dst"));
    makeNewObjects(3 * 1024 * 1024);
    // The fifth read of the folder's copy falls inside its second file.
    const struct {
        const char *op;
        int inFile, inFolder;
    } cases[] = {{"read", 2, 5}, {"rename", 1, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.op);
        CopyOptions options;
        options.faultHook = failNth(c.op, c.inFile, EIO);
        EXPECT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst"), options), Status::ioErr);
        options.faultHook = failNth(c.op, c.inFolder, EIO);
        EXPECT_EQ(copier.FSCopyObject(dir.file("src/Album"), dir.file("dst"), options), Status::ioErr);
        expectOldObjectsIntact(dir.file("dst"));
    }
}

TEST_F(CopySafety, DiskFullLeavesTheOldObjectsAndNoTemporary)
{
    if (!canMountTmpfs())
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    TmpfsMount small(dir.file("small"), "1m");
    if (!small.isMounted())
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    makeOldObjects(small.path());
    makeNewObjects(1200 * 1024); // larger than the whole volume
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/Album"), small.path()), Status::dskFulErr);
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), small.path()), Status::dskFulErr);
    expectOldObjectsIntact(small.path());
    // And the space it took is free again: a copy that fits still works.
    writeFile(dir.file("src/small.txt"), "fits");
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/small.txt"), small.path()), Status::noErr);
}

TEST_F(CopySafety, AttributeTheDestinationRefusesIsAnErrorNotALoss)
{
    if (!canMountTmpfs())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    // A tmpfs source holds a resource fork larger than an ext4 inode takes.
    TmpfsMount big(dir.file("bigattr"), "8m");
    if (!big.isMounted())
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    writeFile(big.path() + "/Doc.txt", "new data");
    if (!setAttr(big.path() + "/Doc.txt", xattr::kResourceFork, pattern(20000, 1)))
        GTEST_SKIP() << "this tmpfs takes no user attributes";
    QDir().mkpath(big.path() + "/Album/sub");
    writeFile(big.path() + "/Album/sub/photo.jpg", "new");
    setAttr(big.path() + "/Album/sub/photo.jpg", "user.big", pattern(20000, 2));
    makeOldObjects(dir.file("dst"));
    writeFile(dir.file("probe"), "p");
    const bool refused = !setAttr(dir.file("probe"), "user.big", pattern(20000, 3));
    QFile::remove(dir.file("probe"));
    if (!refused)
        GTEST_SKIP() << "the disk here takes 20 KB attributes";
    const OSStatus a = copier.FSCopyObject(big.path() + "/Doc.txt", dir.file("dst"));
    const OSStatus b = copier.FSCopyObject(big.path() + "/Album", dir.file("dst"));
    EXPECT_NE(b, Status::noErr);
    EXPECT_EQ(a, Status::dskFulErr) << "ext4 refuses an oversized attribute with ENOSPC";
    expectOldObjectsIntact(dir.file("dst"));
}

TEST_F(CopySafety, SourceChangingSizeDuringTheCopyIsASizeMismatch)
{
    makeOldObjects(dir.file("dst"));
    writeFile(dir.file("src/Doc.txt"), pattern(3 * 1024 * 1024, 1));
    CopyOptions options;
    const QString src = dir.file("src/Doc.txt");
    // The source grows while the copy runs, as when an application saves.
    options.faultHook = [src](const char *op, const QByteArray &) {
        if (std::strcmp(op, "read") == 0) {
            QFile f(src);
            if (f.open(QIODevice::Append))
                f.write("more");
        }
        return 0;
    };
    EXPECT_EQ(copier.FSCopyObject(src, dir.file("dst"), options), Status::kSizeMismatchErr);
    expectOldObjectsIntact(dir.file("dst"));
}

TEST_F(CopySafety, VanishedSourceOrStoppingFilterLeavesTheOldObjects)
{
    makeOldObjects(dir.file("dst"));
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst")), Status::fnfErr);
    makeNewObjects(10);
    CopyOptions options;
    int calls = 0;
    options.filter = [&](const QString &, const CatalogInfo &, int) { return ++calls == 3; };
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/Album"), dir.file("dst"), options), Status::userCanceledErr);
    expectOldObjectsIntact(dir.file("dst"));
}

TEST_F(CopySafety, LockedOldObjectIsReplacedWhole)
{
    if (!canSetImmutable(dir.path()))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    makeOldObjects(dir.file("dst"));
    makeNewObjects(10);
    lock(dir.file("dst/Doc.txt"), true);
    lock(dir.file("dst/Album/sub/photo.jpg"), true);
    lock(dir.file("dst/Album"), true);
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst")), Status::noErr);
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/Album"), dir.file("dst")), Status::noErr);
    EXPECT_EQ(readFile(dir.file("dst/Doc.txt")), pattern(10, 7));
    EXPECT_EQ(readFile(dir.file("dst/Album/more.jpg")), pattern(10, 9));
    EXPECT_EQ(entries(dir.file("dst")), (QStringList{"Album", "Doc.txt"}));
}

// A copy starting at a later temporary name wraps round to a free earlier
// one; only when all nine are taken is the old object left alone.
TEST_F(CopySafety, TemporaryNamesAreTriedInTurnAndAllTakenLeavesTheOldObjectAlone)
{
    makeOldObjects(dir.file("dst"));
    makeNewObjects(10);
    QString builtAs;
    CopyOptions third;
    third.firstTempName = 3;
    third.filter = [&](const QString &path, const CatalogInfo &, int depth) {
        if (depth == 0)
            builtAs = QFileInfo(path).fileName();
        return false;
    };
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst"), third), Status::noErr);
    EXPECT_EQ(builtAs, "QMTempFile 3");
    for (int n = 2; n <= 9; ++n)
        writeFile(dir.file("dst/QMTempFile " + QString::number(n)), "t");
    CopyOptions lateStart;
    lateStart.firstTempName = 9;
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst"), lateStart), Status::noErr);
    EXPECT_EQ(readFile(dir.file("dst/Doc.txt")), pattern(10, 7));
    EXPECT_FALSE(QFileInfo::exists(dir.file("dst/QMTempFile 1")));

    makeOldObjects(dir.file("dst"));
    writeFile(dir.file("dst/QMTempFile 1"), "t");
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst"), lateStart), Status::dupFNErr);
    EXPECT_EQ(readFile(dir.file("dst/Doc.txt")), oldData);
    EXPECT_EQ(entries(dir.file("dst")).size(), 11);
}

// A copy is never written straight to its final name: there a stop would
// leave a torn file with a newer date that the next run keeps.
TEST_F(CopySafety, WithEveryTemporaryNameTakenANewCopyFailsAndWritesNothing)
{
    makeNewObjects(10);
    for (int n = 1; n <= 9; ++n)
        writeFile(dir.file("dst/QMTempFile " + QString::number(n)), "theirs");
    for (const char *item : {"src/Doc.txt", "src/Album"}) {
        EXPECT_EQ(copier.FSCopyObject(dir.file(item), dir.file("dst")), Status::dupFNErr) << item;
        EXPECT_EQ(entries(dir.file("dst")).size(), 9) << item;
    }
}

// What a copy stopped half-way leaves is known as ours by its name and its
// busy marks; a complete copy, or the user's own item of that name, is not.
TEST_F(CopySafety, APartialCopyIsKnownAsALeftoverAndNothingElseIs)
{
    makeNewObjects(3 << 20);
    CopyOptions options;
    QStringList seen;
    options.filter = [&](const QString &path, const CatalogInfo &, int depth) {
        if (depth == 0)
            seen.append(QString::number(IsLeftoverTemporary(path)) + ' ' + QFileInfo(path).fileName());
        return false;
    };
    options.faultHook = [&](const char *op, const QByteArray &) {
        if (!strcmp(op, "write") && seen.size() == 2)
            seen.append(QString::number(IsLeftoverTemporary(dir.file("dst/QMTempFile 1")))
                        + " folder being filled");
        return 0;
    };
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst"), options), Status::noErr);
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/Album"), dir.file("dst"), options), Status::noErr);
    EXPECT_EQ(seen, (QStringList{"1 QMTempFile 1", "1 QMTempFile 1", "1 folder being filled"}));
    writeFile(dir.file("dst/QMTempFile 2"), "a user's file");
    QDir().mkpath(dir.file("dst/QMTempFile 3"));
    writeFile(dir.file("dst/QMTempFile 10"), "not one of the names");
    for (const char *name : {"Doc.txt", "Album", "QMTempFile 2", "QMTempFile 3", "QMTempFile 10"})
        EXPECT_FALSE(IsLeftoverTemporary(dir.file(QString("dst/") + name))) << name;
}

TEST_F(CopySafety, AFailedCopyRemovesOnlyTheTemporaryItMade)
{
    makeNewObjects(10);
    for (int n = 1; n <= 3; ++n)
        writeFile(dir.file("dst/QMTempFile " + QString::number(n)), "theirs");
    CopyOptions options;
    options.faultHook = [](const char *op, const QByteArray &) { return strcmp(op, "read") ? 0 : EIO; };
    EXPECT_NE(copier.FSCopyObject(dir.file("src/Doc.txt"), dir.file("dst"), options), Status::noErr);
    EXPECT_EQ(entries(dir.file("dst")), (QStringList{"QMTempFile 1", "QMTempFile 2", "QMTempFile 3"}));
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(readFile(dir.file("dst/QMTempFile " + QString::number(n))), QByteArray("theirs"));
    // A source that cannot be opened builds nothing, so nothing of theirs goes.
    EXPECT_NE(copier.FSCopyObject(dir.file("src/Missing.txt"), dir.file("dst")), Status::noErr);
    EXPECT_EQ(entries(dir.file("dst")).size(), 3);
}

TEST(DeleteObjects, LockedFilesAndFoldersAreDeleted)
{
    TempFolder dir;
    if (!canSetImmutable(dir.path()))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    const QString top = dir.file("Gone");
    ASSERT_TRUE(QDir().mkpath(top + "/sub/deeper"));
    writeFile(top + "/sub/deeper/f", "x");
    writeFile(top + "/g", "x");
    ASSERT_EQ(::symlink("/etc/passwd", enc(top + "/link").constData()), 0);
    ASSERT_EQ(::chmod(enc(top + "/sub").constData(), 0500), 0);
    lock(top + "/sub/deeper/f", true);
    lock(top + "/sub/deeper", true);
    lock(top + "/g", true);
    lock(top, true);
    EXPECT_EQ(FSDeleteObjects(top), Status::noErr);
    EXPECT_FALSE(QFileInfo::exists(top));
    EXPECT_TRUE(QFileInfo::exists("/etc/passwd"));
    EXPECT_EQ(FSDeleteObjects(top), Status::fnfErr);
    // Paths that name no single entry are refused, never taken as done.
    EXPECT_EQ(FSDeleteObjects("/"), Status::paramErr);
    EXPECT_EQ(FSDeleteObjects(dir.path() + "/."), Status::paramErr);
    EXPECT_EQ(FSDeleteObjects(""), Status::paramErr);
    EXPECT_TRUE(QFileInfo::exists(dir.path()));
}

TEST(BufferSize, SpeedGradeRuleAndLinuxDefault)
{
    EXPECT_EQ(BufferSizeForSpeedGrade(0), 262144u);
    EXPECT_EQ(BufferSizeForSpeedGrade(5), 262144u);
    EXPECT_EQ(BufferSizeForSpeedGrade(-4096), 1024u);
    EXPECT_EQ(BufferSizeForSpeedGrade(-4 * 1024 * 1024 - 100), 1024u * 1024u);
    EXPECT_EQ(BufferSizeForSpeedGrade(-100LL * 1024 * 1024), 2097152u);
    EXPECT_EQ(BufferSizeForVol("/"), 262144u);
}

// A new file built without a name appears whole under its own name or not
// at all, and carries what a copy built under a temporary name carries.
TEST_F(CopySafety, AFileBuiltWithoutANameAppearsWholeOrNotAtAll)
{
    const QString src = dir.file("src/Doc.txt");
    writeFile(src, pattern(3 << 20, 5));
    ASSERT_TRUE(setAttr(src, "user.note", "kept"));
    ASSERT_EQ(::chmod(enc(src).constData(), 0640), 0);
    copier.SetBackupDate(UTCDateTime::fromDateTime(QDateTime::currentDateTimeUtc()));
    const struct {
        const char *name;
        CopyFaultHook fault;
        QByteArray inTheWay; // a file that took the name meanwhile
        OSStatus status;
        QStringList left;
    } cases[] = {
        {"complete", {}, {}, Status::noErr, {"Doc.txt"}},
        {"read fails half-way", failNth("read", 2, EIO), {}, Status::ioErr, {}},
        {"linking fails", failNth("rename", 1, EIO), {}, Status::ioErr, {}},
        {"name taken meanwhile", {}, "theirs", Status::noErr, {"Doc.txt"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString to = dir.file(QString("dst/") + c.name);
        ASSERT_TRUE(QDir().mkpath(to));
        if (!c.inTheWay.isEmpty())
            writeFile(to + "/Doc.txt", c.inTheWay);
        CopyOptions options;
        options.buildUnnamed = true;
        options.faultHook = c.fault;
        EXPECT_EQ(copier.FSCopyObject(src, to, options), c.status);
        EXPECT_EQ(entries(to), c.left);
    }
    // Beside the same copy built under a temporary name, nothing differs.
    const QString named = dir.file("dst/named");
    ASSERT_TRUE(QDir().mkpath(named));
    ASSERT_EQ(copier.FSCopyObject(src, named), Status::noErr);
    const QString unnamed = dir.file("dst/complete/Doc.txt");
    EXPECT_EQ(readFile(unnamed), readFile(src));
    for (const char *attr : {"user.note", xattr::kCreationDate, xattr::kBackupDate})
        EXPECT_EQ(getAttr(unnamed, attr), getAttr(named + "/Doc.txt", attr)) << attr;
    struct stat a, b;
    ASSERT_EQ(::stat(enc(unnamed).constData(), &a), 0);
    ASSERT_EQ(::stat(enc(named + "/Doc.txt").constData(), &b), 0);
    EXPECT_EQ(a.st_mode, b.st_mode);
    EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec);
    EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec);
    EXPECT_EQ(readFile(dir.file("dst/name taken meanwhile/Doc.txt")), readFile(src));
    // Until it is complete, no name at all shows it.
    const QString watched = dir.file("dst/watched");
    ASSERT_TRUE(QDir().mkpath(watched));
    CopyOptions options;
    options.buildUnnamed = true;
    QStringList beforePlacing{"not asked"};
    options.faultHook = [&](const char *op, const QByteArray &) {
        if (!strcmp(op, "rename"))
            beforePlacing = entries(watched);
        return 0;
    };
    ASSERT_EQ(copier.FSCopyObject(src, watched, options), Status::noErr);
    EXPECT_EQ(beforePlacing, QStringList());
}
