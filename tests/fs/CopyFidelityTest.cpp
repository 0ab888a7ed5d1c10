// A copy must carry everything the catalog keeps: both forks, every other
// attribute, Finder information, dates to the nanosecond, mode, lock, owner.
#include "FsTestSupport.h"

#include "fs/FSCopyObject.h"
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

class CopyFidelity : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(dir.file("src")));
        ASSERT_TRUE(QDir().mkpath(dir.file("dst")));
        copier.SetBackupDate(runStart);
    }

    void setTimes(const QString &path, timespec atime, timespec mtime)
    {
        const timespec t[2] = {atime, mtime};
        ASSERT_EQ(::utimensat(AT_FDCWD, enc(path).constData(), t, AT_SYMLINK_NOFOLLOW), 0);
    }

    TempFolder dir;
    ObjectCopier copier;
    UTCDateTime runStart = UTCDateTime::fromDateTime(QDateTime::currentDateTimeUtc());
};

FinderInfo someFinderInfo()
{
    FinderInfo fi;
    fi.setFileType(fourCharCode("TEXT"));
    fi.setCreator(fourCharCode("ttxt"));
    fi.setFlags(FinderInfo::kIsInvisible | FinderInfo::kHasBeenInited);
    fi.bytes[20] = 0x5a; // extended information survives as well
    return fi;
}

} // namespace

TEST_F(CopyFidelity, FileKeepsForksAttributesFinderInfoDatesAndMode)
{
    const QString src = dir.file("src/Report.txt");
    const QByteArray data = pattern(3 * 1024 * 1024 + 17, 1);
    writeFile(src, data);
    ASSERT_TRUE(setAttr(src, xattr::kResourceFork, pattern(1500, 2)));
    ASSERT_TRUE(setAttr(src, xattr::kFinderInfo, someFinderInfo().encode()));
    ASSERT_TRUE(setAttr(src, "user.comment", "kept"));
    UTCDateTime created = UTCDateTime::fromDateTime(QDateTime(QDate(2001, 5, 6), QTime(7, 8, 9), Qt::UTC));
    ASSERT_TRUE(setAttr(src, xattr::kCreationDate, created.encode()));
    ASSERT_EQ(::chmod(enc(src).constData(), 0640), 0);
    setTimes(src, {1500000000, 111}, {1600000000, 123456789});
    // A file without a creation date of its own keeps its birth time.
    const QString plain = dir.file("src/plain");
    writeFile(plain, "x");
    CatalogInfo a;
    ASSERT_EQ(ReadCatalogInfo(plain, &a), Status::noErr);
    sleep(1);

    QString newPath;
    ASSERT_EQ(copier.FSCopyObject(src, dir.file("dst"), {}, &newPath), Status::noErr);
    EXPECT_EQ(newPath, dir.file("dst/Report.txt"));
    ASSERT_EQ(copier.FSCopyObject(plain, dir.file("dst")), Status::noErr);

    CatalogInfo b, c;
    ASSERT_EQ(ReadCatalogInfo(newPath, &b), Status::noErr);
    ASSERT_EQ(ReadCatalogInfo(dir.file("dst/plain"), &c), Status::noErr);
    EXPECT_FALSE(c.creationDateUTC().isNull());
    EXPECT_EQ(c.creationDateUTC().wholeSeconds(), a.creationDateUTC().wholeSeconds());
    EXPECT_EQ(readFile(newPath), data);
    EXPECT_EQ(getAttr(newPath, xattr::kResourceFork), pattern(1500, 2));
    EXPECT_EQ(getAttr(newPath, "user.comment"), QByteArray("kept"));
    EXPECT_EQ(b.finderInfo.fileType(), fourCharCode("TEXT"));
    EXPECT_EQ(b.finderInfo.creator(), fourCharCode("ttxt"));
    EXPECT_EQ(b.finderInfo.bytes[20], 0x5a);
    // The copy is new to the Finder: its has-been-initialised flag is cleared.
    EXPECT_EQ(b.finderInfo.flags(), FinderInfo::kIsInvisible);
    EXPECT_EQ(b.contentModDate.tv_sec, 1600000000);
    EXPECT_EQ(b.contentModDate.tv_nsec, 123456789);
    EXPECT_EQ(b.creationDateUTC().wholeSeconds(), created.wholeSeconds());
    EXPECT_EQ(b.permissions(), 0640u);
    // The top object carries the run's backup date.
    EXPECT_EQ(b.backupDate, runStart);
    // Nothing else was left in the destination.
    EXPECT_EQ(entries(dir.file("dst")), (QStringList{"Report.txt", "plain"}));
}

// The busy marks must leave nothing behind: a copy takes the room of a file
// written with its final attributes directly, not an attribute block more.
TEST_F(CopyFidelity, BusyMarksLeaveNoRoomTakenOnTheCopy)
{
    const QString src = dir.file("src/small.bin");
    writeFile(src, pattern(4096, 3));
    ASSERT_EQ(copier.FSCopyObject(src, dir.file("dst")), Status::noErr);
    const QString reference = dir.file("reference.bin");
    writeFile(reference, pattern(4096, 3));
    ASSERT_TRUE(setAttr(reference, xattr::kCreationDate, runStart.encode()));
    ASSERT_TRUE(setAttr(reference, xattr::kBackupDate, runStart.encode()));
    struct stat copy, ref;
    ASSERT_EQ(::stat(enc(dir.file("dst/small.bin")).constData(), &copy), 0);
    ASSERT_EQ(::stat(enc(reference).constData(), &ref), 0);
    EXPECT_EQ(copy.st_blocks, ref.st_blocks);
}

TEST_F(CopyFidelity, FolderTreeKeepsModesDatesAndTheLockIsSetLast)
{
    if (!canSetImmutable(dir.path()))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    const QString top = dir.file("src/Tree");
    ASSERT_TRUE(QDir().mkpath(top + "/inner/deep"));
    writeFile(top + "/inner/deep/leaf.bin", pattern(70000, 3));
    writeFile(top + "/locked.txt", "locked content");
    writeFile(top + "/.hidden", "dot");
    ASSERT_EQ(::chmod(enc(top + "/inner").constData(), 0750), 0);
    ASSERT_EQ(::chmod(enc(top + "/inner/deep").constData(), 0500), 0); // read-only folder
    setTimes(top + "/inner", {1000, 0}, {1234567890, 987654321});
    setTimes(top, {1000, 0}, {1300000000, 5});
    lock(top + "/locked.txt", true);
    lock(top + "/inner/deep", true);
    lock(top, true);

    ASSERT_EQ(copier.FSCopyObject(top, dir.file("dst")), Status::noErr);
    const QString copy = dir.file("dst/Tree");
    EXPECT_EQ(readFile(copy + "/inner/deep/leaf.bin"), pattern(70000, 3));
    EXPECT_EQ(readFile(copy + "/.hidden"), QByteArray("dot"));
    EXPECT_EQ(readFile(copy + "/locked.txt"), QByteArray("locked content"));
    EXPECT_TRUE(isImmutable(copy));
    EXPECT_TRUE(isImmutable(copy + "/locked.txt"));
    EXPECT_TRUE(isImmutable(copy + "/inner/deep"));
    EXPECT_FALSE(isImmutable(copy + "/inner"));
    CatalogInfo inner, deep, t;
    ASSERT_EQ(ReadCatalogInfo(copy + "/inner", &inner), Status::noErr);
    ASSERT_EQ(ReadCatalogInfo(copy + "/inner/deep", &deep), Status::noErr);
    ASSERT_EQ(ReadCatalogInfo(copy, &t), Status::noErr);
    EXPECT_EQ(inner.permissions(), 0750u);
    EXPECT_EQ(deep.permissions(), 0500u);
    // Folder dates are written after their content, so filling did not move them.
    EXPECT_EQ(inner.contentModDate.tv_sec, 1234567890);
    EXPECT_EQ(inner.contentModDate.tv_nsec, 987654321);
    EXPECT_EQ(t.contentModDate.tv_sec, 1300000000);
    EXPECT_EQ(t.backupDate, runStart);
    EXPECT_EQ(entries(dir.file("dst")), QStringList{"Tree"});
}

TEST_F(CopyFidelity, NewFolderIsNeverOpenToOtherUsersWhileItIsFilled)
{
    const QString top = dir.file("src/Open");
    ASSERT_TRUE(QDir().mkpath(top + "/sub"));
    writeFile(top + "/sub/f", "x");
    ASSERT_EQ(::chmod(enc(top).constData(), 0777), 0);
    ASSERT_EQ(::chmod(enc(top + "/sub").constData(), 0777), 0);
    CopyOptions options;
    QStringList seenModes;
    options.filter = [&](const QString &path, const CatalogInfo &info, int) {
        if (info.isFolder())
            seenModes << QFileInfo(path).fileName() + QString::number(info.permissions(), 8);
        return false;
    };
    ASSERT_EQ(copier.FSCopyObject(top, dir.file("dst"), options), Status::noErr);
    EXPECT_EQ(seenModes, (QStringList{"QMTempFile 1700", "sub700"}));
    CatalogInfo done;
    ASSERT_EQ(ReadCatalogInfo(dir.file("dst/Open/sub"), &done), Status::noErr);
    EXPECT_EQ(done.permissions(), 0777u);
}

TEST_F(CopyFidelity, TopFileCarriesTheBusyDateUnderItsTemporaryNameUntilComplete)
{
    const QString src = dir.file("src/Busy.doc");
    writeFile(src, "new");
    ASSERT_TRUE(setAttr(src, xattr::kFinderInfo, someFinderInfo().encode()));
    writeFile(dir.file("dst/Busy.doc"), "old");
    CopyOptions options;
    bool seen = false;
    options.filter = [&](const QString &path, const CatalogInfo &info, int depth) {
        seen = true;
        EXPECT_EQ(depth, 0);
        EXPECT_EQ(QFileInfo(path).fileName(), QString("QMTempFile 1"));
        EXPECT_EQ(info.creationDateUTC(), UTCDateTime::magicBusyDate());
        EXPECT_EQ(readFile(dir.file("dst/Busy.doc")), QByteArray("old"));
        return false;
    };
    ASSERT_EQ(copier.FSCopyObject(src, dir.file("dst"), options), Status::noErr);
    EXPECT_TRUE(seen);
    CatalogInfo b;
    ASSERT_EQ(ReadCatalogInfo(dir.file("dst/Busy.doc"), &b), Status::noErr);
    EXPECT_EQ(b.finderInfo.fileType(), fourCharCode("TEXT"));
    EXPECT_NE(b.creationDateUTC(), UTCDateTime::magicBusyDate());
    EXPECT_EQ(readFile(dir.file("dst/Busy.doc")), QByteArray("new"));
    EXPECT_EQ(entries(dir.file("dst")), QStringList{"Busy.doc"});
}

TEST_F(CopyFidelity, LinksAreCopiedAsLinksEvenWhenTheyPointOutside)
{
    const QString top = dir.file("src/WithLinks");
    ASSERT_TRUE(QDir().mkpath(top));
    writeFile(dir.file("outside.txt"), "outside");
    ASSERT_EQ(::symlink("../../outside.txt", enc(top + "/out").constData()), 0);
    ASSERT_EQ(::symlink("/nonexistent/dangling", enc(top + "/dangling").constData()), 0);
    ASSERT_EQ(::symlink("WithLinks/out", enc(dir.file("src/toplink")).constData()), 0);

    ASSERT_EQ(copier.FSCopyObject(top, dir.file("dst")), Status::noErr);
    ASSERT_EQ(copier.FSCopyObject(dir.file("src/toplink"), dir.file("dst")), Status::noErr);
    EXPECT_EQ(QFileInfo(dir.file("dst/WithLinks/out")).symLinkTarget(), dir.file("outside.txt"));
    EXPECT_TRUE(QFileInfo(dir.file("dst/WithLinks/dangling")).isSymLink());
    char buf[256] = {};
    ASSERT_GT(::readlink(enc(dir.file("dst/WithLinks/dangling")).constData(), buf, sizeof buf - 1), 0);
    EXPECT_STREQ(buf, "/nonexistent/dangling");
    EXPECT_TRUE(QFileInfo(dir.file("dst/toplink")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir.file("dst/outside.txt")));
}

TEST_F(CopyFidelity, SparseFileStaysSparse)
{
    const QString src = dir.file("src/sparse.img");
    {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("head");
        f.seek(64 * 1024 * 1024);
        f.write("tail");
    }
    ASSERT_EQ(copier.FSCopyObject(src, dir.file("dst")), Status::noErr);
    struct stat a, b;
    ASSERT_EQ(::stat(enc(src).constData(), &a), 0);
    ASSERT_EQ(::stat(enc(dir.file("dst/sparse.img")).constData(), &b), 0);
    EXPECT_EQ(b.st_size, a.st_size);
    EXPECT_LT(b.st_blocks * 512, 4 * 1024 * 1024) << "the hole was filled";
    const QByteArray copy = readFile(dir.file("dst/sparse.img"));
    EXPECT_TRUE(copy.startsWith("head"));
    EXPECT_TRUE(copy.endsWith("tail"));
}

TEST_F(CopyFidelity, OwnerGroupAndAclsFollowWhenRunningAsRoot)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files away";
    const QString src = dir.file("src/owned");
    writeFile(src, "mine");
    ASSERT_EQ(::chown(enc(src).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(enc(src).constData(), 04750), 0);
    // An access ACL naming one more user, in the kernel's binary form.
    const bool haveAcl = ::system(("setfacl -m u:1:r " + enc(src)).constData()) == 0;
    ASSERT_TRUE(setAttr(src, "trusted.note", "root only"));

    ASSERT_EQ(copier.FSCopyObject(src, dir.file("dst")), Status::noErr);
    const QString copy = dir.file("dst/owned");
    CatalogInfo b;
    ASSERT_EQ(ReadCatalogInfo(copy, &b), Status::noErr);
    EXPECT_EQ(b.uid, 65534u);
    EXPECT_EQ(b.gid, 65534u);
    EXPECT_EQ(b.permissions(), 04750u) << "the set-user-ID bit must survive the change of owner";
    EXPECT_EQ(getAttr(copy, "trusted.note"), QByteArray("root only"));
    if (haveAcl) {
        EXPECT_FALSE(getAttr(src, "system.posix_acl_access").isEmpty());
        EXPECT_EQ(getAttr(copy, "system.posix_acl_access"), getAttr(src, "system.posix_acl_access"));
    }
}

// A file built without a name takes its final mode from the start. Whatever
// the creation mask and the rights the folder hands down, the copy must end
// exactly as one made owner-only and then given its mode.
TEST_F(CopyFidelity, AFileBuiltWithoutANameEndsWithItsSourcesModeAndInheritedRights)
{
    ASSERT_TRUE(QDir().mkpath(dir.file("inherits")));
    const bool haveAcl
        = ::system(("setfacl -d -m u::rwx,g::r-x,o::---,u:1:rwx " + enc(dir.file("inherits")) + " 2>/dev/null")
                       .constData())
          == 0;
    const mode_t oldMask = ::umask(022);
    struct Case {
        mode_t mask;
        mode_t mode;
    };
    const Case cases[] = {{022, 0644}, {022, 0755}, {022, 0600}, {022, 0444}, {022, 0000}, {022, 0777},
                          {077, 0644}, {077, 0640}, {0, 0666},   {0, 0604},   {022, 02750}, {022, 04755},
                          {022, 01777}};
    int n = 0;
    for (const Case &c : cases) {
        for (const char *folder : {"dst", "inherits"}) {
            if (QByteArray(folder) == "inherits" && !haveAcl)
                continue;
            const QString name = QString("f%1").arg(n++);
            const QString src = dir.file("src/" + name);
            writeFile(src, "data");
            ASSERT_EQ(::chmod(enc(src).constData(), c.mode), 0);
            ::umask(c.mask);
            // What one made owner-only and then given its mode looks like.
            const QString made = dir.file(QString(folder) + "/made-" + name);
            const int fd = ::open(enc(made).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::fchmod(fd, c.mode), 0);
            ::close(fd);
            CopyOptions unnamed;
            unnamed.buildUnnamed = true;
            unnamed.onlyUnnamed = true; // fails rather than taking another way
            const OSStatus st = copier.FSCopyObject(src, dir.file(folder), unnamed);
            ::umask(022);
            ASSERT_EQ(st, Status::noErr) << std::oct << c.mode;
            const QString copy = dir.file(QString(folder) + "/" + name);
            CatalogInfo info;
            ASSERT_EQ(ReadCatalogInfo(copy, &info), Status::noErr);
            EXPECT_EQ(info.permissions(), c.mode) << std::oct << c.mode << " mask " << c.mask << " in " << folder;
            EXPECT_EQ(getAttr(copy, "system.posix_acl_access"), getAttr(made, "system.posix_acl_access"))
                << std::oct << c.mode << " mask " << c.mask << " in " << folder;
        }
    }
    ::umask(oldMask);
    if (haveAcl)
        EXPECT_FALSE(getAttr(dir.file("inherits/f1"), "system.posix_acl_access").isEmpty());
}

// A copy may read its source through the descriptor its caller opened when
// it looked at the file, and skip listing the attributes the caller found
// none of. An attribute written after that look must still reach the copy,
// whichever way the copy is built; one written before it always did.
TEST_F(CopyFidelity, AnAttributeWrittenAfterTheCallersLookStillReachesTheCopy)
{
    const int folder = ::open(enc(dir.file("src")).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const struct {
        bool before, after, unnamed;
    } cases[] = {{false, true, true}, {false, true, false}, {true, true, true},
                 {false, false, true}, {true, false, false}};
    int n = 0;
    for (const auto &c : cases) {
        const QString name = QString("f%1").arg(n++);
        SCOPED_TRACE(name.toStdString());
        const QString src = dir.file("src/" + name);
        writeFile(src, "data");
        if (c.before) {
            ASSERT_TRUE(setAttr(src, "user.before", "early"));
        }
        // Past the clock tick of the file's last change, as any file not
        // written this very moment is.
        ::usleep(20000);
        CatalogInfo info;
        struct statx raw{};
        int fd = -1;
        bool any = true;
        ASSERT_EQ(ReadCatalogInfoOpening(folder, src, &info, &raw, &fd, &any), Status::noErr);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(any, c.before);
        if (c.after) {
            ASSERT_TRUE(setAttr(src, "user.after", "late"));
        }
        if (!c.unnamed)
            writeFile(dir.file("dst/" + name), "old"); // replaced: built under a temporary name
        CopyOptions options;
        options.sourceStat = raw;
        options.sourceFd = fd;
        options.sourceHasNoAttributes = !any;
        options.buildUnnamed = c.unnamed;
        options.onlyUnnamed = c.unnamed;
        EXPECT_EQ(copier.FSCopyObject(src, dir.file("dst"), options), Status::noErr);
        ::close(fd);
        const QString copy = dir.file("dst/" + name);
        EXPECT_EQ(readFile(copy), QByteArray("data"));
        EXPECT_EQ(getAttr(copy, "user.before"), QByteArray(c.before ? "early" : ""));
        EXPECT_EQ(getAttr(copy, "user.after"), QByteArray(c.after ? "late" : ""));
    }
    ::close(folder);
}

TEST_F(CopyFidelity, BadArgumentsAndCopiesIntoItselfAreRefusedAndCreateNothing)
{
    const QString top = dir.file("src/Loop");
    ASSERT_TRUE(QDir().mkpath(top + "/a/b"));
    EXPECT_EQ(copier.FSCopyObject(top, top + "/a/b"), Status::kCopyIntoItselfErr);
    EXPECT_EQ(copier.FSCopyObject(top, top), Status::kCopyIntoItselfErr);
    EXPECT_EQ(entries(top + "/a/b"), QStringList{});
    EXPECT_EQ(entries(top), QStringList{"a"});
    writeFile(dir.file("src/f"), "x");
    writeFile(dir.file("notafolder"), "x");
    EXPECT_EQ(copier.FSCopyObject("", dir.file("dst")), Status::paramErr);
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/f"), dir.file("notafolder")), Status::errFSNotAFolder);
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/missing"), dir.file("dst")), Status::fnfErr);
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/f"), dir.file("nowhere")), Status::fnfErr);
    EXPECT_EQ(entries(dir.file("dst")), QStringList{});
}

TEST_F(CopyFidelity, DuplicateActionsDecideAboutAnExistingObject)
{
    writeFile(dir.file("src/f"), "new");
    writeFile(dir.file("dst/f"), "old");
    CopyOptions none;
    none.duplicateAction = kDupNone;
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/f"), dir.file("dst"), none), Status::dupFNErr);
    EXPECT_EQ(readFile(dir.file("dst/f")), QByteArray("old"));
    CopyOptions first;
    first.duplicateAction = kDupDeleteFirst;
    EXPECT_EQ(copier.FSCopyObject(dir.file("src/f"), dir.file("dst"), first), Status::noErr);
    EXPECT_EQ(readFile(dir.file("dst/f")), QByteArray("new"));
    EXPECT_EQ(entries(dir.file("dst")), QStringList{"f"});
}

TEST_F(CopyFidelity, MaximumLevelsLimitsTheDepthCopied)
{
    const QString top = dir.file("src/Deep");
    ASSERT_TRUE(QDir().mkpath(top + "/one/two"));
    writeFile(top + "/one/two/f", "x");
    writeFile(top + "/top.txt", "x");
    CopyOptions options;
    options.maxLevels = 1;
    ASSERT_EQ(copier.FSCopyObject(top, dir.file("dst"), options), Status::noErr);
    EXPECT_EQ(entries(dir.file("dst/Deep")), (QStringList{"one", "top.txt"}));
    EXPECT_EQ(entries(dir.file("dst/Deep/one")), QStringList{});
}

// An ordinary user copies other users' files (the copy becomes the user's)
// and drops files into a folder it may write but not read. The copier asks
// only once whether it runs as root, so the user's part runs in a fresh
// start of this program under that user.
TEST(CopyAsUser, OrdinaryUserCopiesOthersFilesAndIntoADropBox)
{
    if (const QString d = qEnvironmentVariable("QM_COPY_AS_USER"); !d.isEmpty()) {
        ObjectCopier copier;
        ASSERT_EQ(copier.FSCopyObject(d + "/roots.txt", d + "/mine"), Status::noErr);
        ASSERT_EQ(copier.FSCopyObject(d + "/mine/roots.txt", d + "/dropbox"), Status::noErr);
        return;
    }
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make items of two users";
    TempFolder dir;
    ASSERT_TRUE(QDir().mkpath(dir.file("mine")));
    ASSERT_TRUE(QDir().mkpath(dir.file("dropbox")));
    ASSERT_EQ(::chown(enc(dir.file("mine")).constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(enc(dir.file("dropbox")).constData(), 0733), 0);
    writeFile(dir.file("roots.txt"), "root's words");
    ASSERT_EQ(::chmod(enc(dir.file("roots.txt")).constData(), 0644), 0);
    ASSERT_TRUE(setAttr(dir.file("roots.txt"), "user.tag", "t"));

    const int result = runAsUser(65534, 65534, [&]() {
        ::setenv("QM_COPY_AS_USER", enc(dir.path()).constData(), 1);
        ::execl("/proc/self/exe", "test_fs", "--gtest_filter=CopyAsUser.*", static_cast<char *>(nullptr));
        return 127;
    });
    ASSERT_EQ(result, 0);
    CatalogInfo copy;
    ASSERT_EQ(ReadCatalogInfo(dir.file("mine/roots.txt"), &copy), Status::noErr);
    EXPECT_EQ(copy.uid, 65534u);
    EXPECT_EQ(copy.permissions(), 0644u);
    EXPECT_EQ(getAttr(dir.file("mine/roots.txt"), "user.tag"), QByteArray("t"));
    EXPECT_EQ(readFile(dir.file("dropbox/roots.txt")), QByteArray("root's words"));
    EXPECT_EQ(entries(dir.file("dropbox")), QStringList{"roots.txt"});
}

// An item read within its open folder for a copy reads as it does by its
// full path: forks, Finder information, links and missing items alike, with
// the folder-relative calls and without them. Only plain files are opened,
// each on itself, and only an item without any attribute says so.
TEST(CatalogRead, AnItemReadForACopyReadsAsByItsPath)
{
    TempFolder dir;
    writeFile(dir.file("plain"), "abc");
    writeFile(dir.file("rich"), "abcdef");
    ASSERT_TRUE(setAttr(dir.file("rich"), xattr::kResourceFork, pattern(700, 1)));
    ASSERT_TRUE(setAttr(dir.file("rich"), xattr::kFinderInfo, someFinderInfo().encode()));
    writeFile(dir.file("tagged"), "x");
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(setAttr(dir.file("tagged"), QByteArray("user.tag" + QByteArray::number(i)).constData(), "v"));
    ASSERT_TRUE(setAttr(dir.file("tagged"), xattr::kFinderInfo, someFinderInfo().encode()));
    ASSERT_TRUE(QDir().mkpath(dir.file("folder")));
    ASSERT_EQ(::symlink("rich", enc(dir.file("link")).constData()), 0);
    ASSERT_EQ(::mkfifo(enc(dir.file("pipe")).constData(), 0600), 0);
    const int folder = ::open(enc(dir.path()).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const struct {
        const char *name;
        bool opened;
        bool anyAttribute;
    } cases[] = {
        {"plain", true, false}, {"rich", true, true}, {"tagged", true, true},
        {"folder", false, true}, {"link", false, true}, {"pipe", false, true}, {"missing", false, true},
    };
    for (bool pathCallsOnly : {false, true}) {
        xattr::usePathCallsOnly(pathCallsOnly);
        for (const auto &c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << (pathCallsOnly ? ", path calls only" : ""));
            CatalogInfo byPath, inFolder;
            struct statx raw{};
            int fd = -1;
            bool anyAttribute = true;
            const OSStatus a = ReadCatalogInfoWithoutDates(dir.file(c.name), &byPath);
            const OSStatus b = ReadCatalogInfoOpening(folder, dir.file(c.name), &inFolder, &raw, &fd, &anyAttribute);
            EXPECT_EQ(a, b);
            EXPECT_EQ(byPath.kind, inFolder.kind);
            EXPECT_EQ(byPath.inode, inFolder.inode);
            EXPECT_EQ(byPath.dataLogicalSize, inFolder.dataLogicalSize);
            EXPECT_EQ(byPath.rsrcLogicalSize, inFolder.rsrcLogicalSize);
            EXPECT_EQ(byPath.finderInfo.bytes, inFolder.finderInfo.bytes);
            EXPECT_EQ(fd >= 0, c.opened);
            if (c.opened) {
                EXPECT_EQ(anyAttribute, c.anyAttribute);
            }
            if (fd >= 0) {
                struct stat st;
                ASSERT_EQ(::fstat(fd, &st), 0);
                EXPECT_EQ(uint64_t(st.st_ino), raw.stx_ino);
                ::close(fd);
            }
        }
    }
    xattr::usePathCallsOnly(false);
    ::close(folder);
}
