#include "FsTestSupport.h"

#include "fs/AccessRights.h"
#include "fs/LPUtilities.h"
#include "platform/Xattr.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qm;
using namespace qmtest;

namespace {

class Services : public ::testing::Test {
protected:
    TempFolder dir;
    LPUtilities lp;
};

UTCDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return UTCDateTime::fromDateTime(QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC));
}

} // namespace

TEST_F(Services, DatesReadFromTheirAttributesAndZeroMeansNoDate)
{
    const QString f = dir.file("dated");
    writeFile(f, "x");
    const timespec t[2] = {{0, UTIME_OMIT}, {1700000000, 999999999}};
    ASSERT_EQ(::utimensat(AT_FDCWD, enc(f).constData(), t, 0), 0);
    // Never backed up: no date, not 1904.
    EXPECT_FALSE(lp.GetDate(f, kBackupDate).isValid());
    ASSERT_TRUE(setAttr(f, xattr::kBackupDate, UTCDateTime().encode()));
    EXPECT_FALSE(lp.GetDate(f, kBackupDate).isValid());
    // A fraction alone is still no date.
    UTCDateTime fractionOnly;
    fractionOnly.fraction = 0x8000;
    ASSERT_TRUE(setAttr(f, xattr::kBackupDate, fractionOnly.encode()));
    EXPECT_FALSE(lp.GetDate(f, kBackupDate).isValid());

    ASSERT_TRUE(lp.SetBackupDate(f, utc(2020, 2, 29, 12, 30, 15)));
    EXPECT_EQ(lp.GetDate(f, kBackupDate), QDateTime(QDate(2020, 2, 29), QTime(12, 30, 15), Qt::UTC));
    ASSERT_TRUE(setAttr(f, xattr::kCreationDate, utc(1999, 12, 31, 23, 59, 59).encode()));
    EXPECT_EQ(lp.GetDate(f, kCreationDate), QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    // Whole seconds of the modification date.
    EXPECT_EQ(lp.GetDate(f, kContentModDate).toSecsSinceEpoch(), 1700000000);
    EXPECT_EQ(lp.GetDate(f, kContentModDate).time().msec(), 0);
    EXPECT_FALSE(lp.GetDate(f, 3).isValid());
    EXPECT_FALSE(lp.GetDate(dir.file("missing"), kContentModDate).isValid());

    CatalogInfo info;
    ASSERT_EQ(ReadCatalogInfo(f, &info), Status::noErr);
    EXPECT_EQ(lp.GetDate(f, &info, kBackupDate), lp.GetDate(f, kBackupDate));
    EXPECT_FALSE(lp.GetDate(f, nullptr, kContentModDate).isValid());
}

TEST_F(Services, SymbolicLinkAnswersForItselfNotItsTarget)
{
    const QString target = dir.file("target");
    const QString link = dir.file("link");
    writeFile(target, "content");
    ASSERT_TRUE(lp.SetBackupDate(target, utc(2010, 1, 1)));
    ASSERT_EQ(::symlink("target", enc(link).constData()), 0);
    const timespec t[2] = {{0, UTIME_OMIT}, {1111111111, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, enc(link).constData(), t, AT_SYMLINK_NOFOLLOW), 0);

    EXPECT_FALSE(lp.GetDate(link, kBackupDate).isValid());
    EXPECT_EQ(lp.GetDate(link, kContentModDate).toSecsSinceEpoch(), 1111111111);
    EXPECT_TRUE(lp.SetBackupDate(link, utc(2030, 1, 1)));
    EXPECT_EQ(lp.GetDate(target, kBackupDate), utc(2010, 1, 1).toDateTime());
    ItemRef ref;
    ASSERT_EQ(lp.GetFSRef(link, &ref), Status::noErr);
    struct stat st;
    ASSERT_EQ(::lstat(enc(link).constData(), &st), 0);
    EXPECT_EQ(ref.inode, uint64_t(st.st_ino));
    EXPECT_EQ(lp.GetFSRef(dir.file("nothing"), &ref), Status::fnfErr);
    EXPECT_EQ(lp.GetFSRef(dir.path() + "/", &ref), Status::fnfErr);
}

TEST_F(Services, LockedItemGetsItsBackupDateAndEndsLockedWithItsMode)
{
    if (!canSetImmutable(dir.path()))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    const QString f = dir.file("locked");
    writeFile(f, "x");
    ASSERT_EQ(::chmod(enc(f).constData(), 0444), 0);
    lock(f, true);
    EXPECT_FALSE(lp.SetBackupDate(f, utc(2021, 3, 4)));
    EXPECT_TRUE(lp.SetBackupDateDitto(f, utc(2021, 3, 4)));
    EXPECT_EQ(lp.GetDate(f, kBackupDate), utc(2021, 3, 4).toDateTime());
    EXPECT_TRUE(lp.IsLocked(f));
    CatalogInfo info;
    ASSERT_EQ(ReadCatalogInfo(f, &info), Status::noErr);
    EXPECT_EQ(info.permissions(), 0444u);
    EXPECT_TRUE(lp.UnlockItem(f));
    EXPECT_FALSE(lp.IsLocked(f));
    EXPECT_TRUE(lp.UnlockItem(f));
    // Unreadable counts as locked.
    EXPECT_TRUE(lp.IsLocked(dir.file("missing")));
}

TEST_F(Services, UnlockWholeItemOpensEveryItemOfTheTree)
{
    if (!canSetImmutable(dir.path()))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    const QString top = dir.file("T");
    ASSERT_TRUE(QDir().mkpath(top + "/a"));
    writeFile(top + "/a/f", "x");
    writeFile(top + "/g", "x");
    ::chmod(enc(top + "/a/f").constData(), 0400);
    ::chmod(enc(top + "/a").constData(), 0500);
    lock(top + "/a/f", true);
    lock(top + "/a", true);
    lock(top, true);
    UnlockWholeItem(top);
    for (const QString &p : {top, top + "/a", top + "/a/f", top + "/g"}) {
        CatalogInfo info;
        ASSERT_EQ(ReadCatalogInfo(p, &info), Status::noErr);
        EXPECT_FALSE(info.locked) << p.toStdString();
        EXPECT_EQ(info.permissions(), 0777u) << p.toStdString();
    }
}

TEST_F(Services, SizesCountBothForksAndDoNotFollowLinks)
{
    const QString top = dir.file("S");
    ASSERT_TRUE(QDir().mkpath(top + "/sub"));
    writeFile(top + "/a", QByteArray(1000, 'a'));
    writeFile(top + "/sub/.b", QByteArray(500, 'b'));
    ASSERT_TRUE(setAttr(top + "/a", xattr::kResourceFork, QByteArray(300, 'r')));
    writeFile(dir.file("big"), QByteArray(100000, 'c'));
    ASSERT_EQ(::symlink("../big", enc(top + "/sub/l").constData()), 0);
    EXPECT_EQ(lp.FileSize(top + "/a"), 1300u);
    EXPECT_EQ(lp.FolderSize(top), 1300u + 500u + 6u); // the link counts its own six bytes
    EXPECT_EQ(lp.ItemSize(top), lp.FolderSize(top));
    EXPECT_EQ(lp.ItemSize(top + "/a"), 1300u);
    EXPECT_EQ(lp.FileSize(dir.file("missing")), 0u);
    EXPECT_EQ(lp.FolderSize(dir.file("missing")), 0u);
}

TEST_F(Services, AliasesResolveThroughChainsAndFailWhenTheTargetIsGone)
{
    const QString target = dir.file("Target.txt");
    writeFile(target, "t");
    const QString a1 = dir.file("alias one");
    const QString a2 = dir.file("alias two");
    ASSERT_EQ(lp.CreateAlias(target, a1), Status::noErr);
    ASSERT_EQ(lp.CreateAlias(a1, a2), Status::noErr);
    EXPECT_TRUE(lp.IsAlias(a1));
    EXPECT_FALSE(lp.IsAlias(target));
    QString p = a2;
    EXPECT_TRUE(lp.ResolveTheAlias(p));
    EXPECT_EQ(p, target);
    QString plain = target;
    EXPECT_TRUE(lp.ResolveTheAlias(plain));
    EXPECT_EQ(plain, target);
    ASSERT_TRUE(QFile::remove(target));
    p = a2;
    EXPECT_FALSE(lp.ResolveTheAlias(p));
    EXPECT_EQ(p, a2);
    // A file flagged as alias whose data is no alias record fails too.
    writeFile(dir.file("fake"), "not a record");
    FinderInfo fi;
    fi.setFlags(FinderInfo::kIsAlias);
    ASSERT_TRUE(setAttr(dir.file("fake"), xattr::kFinderInfo, fi.encode()));
    p = dir.file("fake");
    EXPECT_FALSE(lp.ResolveTheAlias(p));
    EXPECT_EQ(lp.CreateAlias(dir.file("missing"), dir.file("a3")), Status::fnfErr);
    EXPECT_FALSE(QFileInfo::exists(dir.file("a3")));
}

TEST_F(Services, InvisibilityComesFromTheFinderFlagOrALeadingDot)
{
    writeFile(dir.file(".dot"), "x");
    writeFile(dir.file("flagged"), "x");
    writeFile(dir.file("plain"), "x");
    FinderInfo fi;
    fi.setFlags(FinderInfo::kIsInvisible);
    ASSERT_TRUE(setAttr(dir.file("flagged"), xattr::kFinderInfo, fi.encode()));
    EXPECT_TRUE(lp.IsInvisible(dir.file(".dot"), true));
    EXPECT_FALSE(lp.IsInvisible(dir.file(".dot"), false));
    EXPECT_TRUE(lp.IsInvisible(dir.file("flagged"), false));
    EXPECT_FALSE(lp.IsInvisible(dir.file("plain"), true));
    EXPECT_FALSE(lp.IsInvisible(dir.file("missing"), true));
}

TEST_F(Services, UniqueNamesCountUpAndStopAtTheNameLimit)
{
    writeFile(dir.file("Index.plist"), "x");
    writeFile(dir.file("Index 1.plist"), "x");
    const struct {
        QString name, unique; // no unique name: refused and left as it was
    } cases[] = {
        {"Index.plist", "Index 2.plist"},
        {"Notes", "Notes 1"},
        {".profile", ".profile 1"},
        {QString(250, 'n') + ".txt", {}},
        // Multi-byte names are measured in bytes, which is what Linux limits.
        {QString(127, QChar(0x00e9)), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        QString p = dir.file(c.name);
        EXPECT_EQ(lp.FindUniqueNameInFolder(p), !c.unique.isEmpty());
        EXPECT_EQ(p, dir.file(c.unique.isEmpty() ? c.name : c.unique));
    }
}

TEST_F(Services, FolderCreationMakesParentsAndNeverTouchesAFile)
{
    EXPECT_TRUE(lp.CreateFolderWithFoldersInBetween(dir.file("a/b/c")));
    EXPECT_TRUE(QFileInfo(dir.file("a/b/c")).isDir());
    EXPECT_TRUE(lp.CreateFolderWithFoldersInBetween(dir.file("a/b")));
    writeFile(dir.file("file"), "keep");
    EXPECT_FALSE(lp.CreateFolderWithFoldersInBetween(dir.file("file")));
    EXPECT_FALSE(lp.CreateFolderWithFoldersInBetween(dir.file("file/sub")));
    EXPECT_EQ(readFile(dir.file("file")), QByteArray("keep"));
    // The nearest existing ancestor of a deleted item.
    EXPECT_EQ(LPUtilities::NearestExistingAncestor(dir.file("a/b/gone/deeper")), dir.file("a/b"));
    EXPECT_EQ(LPUtilities::NearestExistingAncestor(dir.file("a")), dir.file("a"));
    EXPECT_EQ(LPUtilities::NearestExistingAncestor("/no/such/place/at/all"), QString("/"));
}

TEST_F(Services, PrefixTestAndPackagesAndVolume)
{
    EXPECT_TRUE(LPUtilities::IsString("QMLog_2020", "qmlog_"));
    EXPECT_FALSE(LPUtilities::IsString("QM", "qmlog_"));
    EXPECT_FALSE(LPUtilities::IsString(QString(), "a"));
    ASSERT_TRUE(QDir().mkpath(dir.file("Tool.app")));
    writeFile(dir.file("file.app"), "x");
    EXPECT_TRUE(isFilePackageAtPath(dir.file("Tool.app")));
    EXPECT_FALSE(isFilePackageAtPath(dir.file("file.app")));
    EXPECT_FALSE(isFilePackageAtPath(dir.path()));
    EXPECT_EQ(lp.GetVolumePathname("/"), QString("/"));
    EXPECT_EQ(lp.GetVolumePathname("/proc/self"), QString("/proc"));
}

TEST_F(Services, SetCatInfoCopiesTheCatalogAndStampsBothSides)
{
    const QString a = dir.file("a");
    const QString b = dir.file("b");
    writeFile(a, "a");
    writeFile(b, "b");
    ASSERT_EQ(::chmod(enc(a).constData(), 04751), 0);
    FinderInfo fi;
    fi.setFileType(fourCharCode("APPL"));
    ASSERT_TRUE(setAttr(a, xattr::kFinderInfo, fi.encode()));
    const timespec t[2] = {{0, UTIME_OMIT}, {1234567890, 5}};
    ASSERT_EQ(::utimensat(AT_FDCWD, enc(a).constData(), t, 0), 0);
    SetCatInfoSettings s;
    s.startSyncDate = utc(2024, 6, 1, 8);
    ASSERT_TRUE(SetCatInfo(a, b, s));
    CatalogInfo ib;
    ASSERT_EQ(ReadCatalogInfo(b, &ib), Status::noErr);
    EXPECT_EQ(ib.permissions(), 04751u);
    EXPECT_EQ(ib.finderInfo.fileType(), fourCharCode("APPL"));
    EXPECT_EQ(ib.contentModDate.tv_sec, 1234567890);
    EXPECT_EQ(ib.backupDate, s.startSyncDate);
    EXPECT_EQ(lp.GetDate(a, kBackupDate), s.startSyncDate.toDateTime());

    // Recomposed: owner read+write, group kept, others nothing; execute follows the source.
    s.changePermissions = true;
    s.cpOwner = 6;
    s.cpGroup = -1;
    s.cpOthers = 0;
    ASSERT_TRUE(SetCatInfo(a, b, s));
    ASSERT_EQ(ReadCatalogInfo(b, &ib), Status::noErr);
    EXPECT_EQ(ib.permissions(), 0751u & 0771u) << "set-id bits are cleared, execute bits follow";
    EXPECT_FALSE(SetCatInfo(a, dir.file("missing"), s));
}

// The permission tests must answer for another user's items, which the
// test checks from the point of view of an unprivileged user.
TEST(AccessRightsTest, AnotherUsersItemsAsSeenByAnUnprivilegedUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make items of two users";
    TempFolder dir;
    const QString mine = dir.file("nobody-owned");
    const QString theirs = dir.file("root-private");
    const QString shared = dir.file("root-shared");
    const QString folder = dir.file("root-folder-no-search");
    writeFile(mine, "x");
    writeFile(theirs, "x");
    writeFile(shared, "x");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_EQ(::chown(enc(mine).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(enc(mine).constData(), 0600), 0);
    ASSERT_EQ(::chmod(enc(theirs).constData(), 0600), 0);
    ASSERT_EQ(::chmod(enc(shared).constData(), 0666), 0);
    ASSERT_EQ(::chmod(enc(folder).constData(), 0776), 0); // others: read+write, no search

    const struct {
        QString path;
        bool readable, writable;
    } cases[] = {{mine, true, true}, {theirs, false, false}, {shared, true, true}, {folder, false, false}};
    const int result = runAsUser(65534, 65534, [&]() {
        const AccessRights rights(ProcessIdentity::current());
        // The exit status holds one byte: the number of the first failed check.
        int check = 0;
        for (const auto &c : cases) {
            if (rights.isReallyReadableFileAtPath(c.path) != c.readable)
                return check + 1;
            if (rights.isReallyWritableFileAtPath(c.path) != c.writable)
                return check + 2;
            check += 2;
        }
        // Deleting needs a writable parent: the temporary folder is root's 0755.
        return rights.isReallyDeletableFileAtPath(mine) ? check + 1 : 0;
    });
    EXPECT_EQ(result, 0) << "first failed check: " << result;

    // Root on a local volume may do everything.
    const AccessRights root(ProcessIdentity::current());
    EXPECT_TRUE(root.isReallyReadableFileAtPath(mine));
    EXPECT_TRUE(root.isReallyWritableFileAtPath(folder));
    EXPECT_FALSE(root.isReallyReadableFileAtPath(dir.file("missing")));
}

TEST(AccessRightsTest, GroupMembershipDecidesTheGroupClass)
{
    TempFolder dir;
    const QString f = dir.file("group-only");
    writeFile(f, "x");
    ASSERT_EQ(::chmod(enc(f).constData(), 0060), 0);
    struct stat st;
    ASSERT_EQ(::stat(enc(f).constData(), &st), 0);
    ProcessIdentity member;
    member.realUid = member.effectiveUid = 4242;
    member.groups = {st.st_gid};
    ProcessIdentity stranger = member;
    stranger.groups = {4243};
    EXPECT_TRUE(AccessRights(member).isReallyReadableFileAtPath(f));
    EXPECT_TRUE(AccessRights(member).isReallyWritableFileAtPath(f));
    EXPECT_FALSE(AccessRights(stranger).isReallyReadableFileAtPath(f));
    EXPECT_FALSE(AccessRights(stranger).isReallyWritableFileAtPath(f));
    EXPECT_TRUE(AccessRights(member).isInGroupID(st.st_gid));
}
