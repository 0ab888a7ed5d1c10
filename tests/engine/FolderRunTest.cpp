// Folders in a run: their own attributes travel as a file's do, and a
// locked folder that must go is unlocked before its content is touched.
#include "EngineFixture.h"
#include "fs/FSCopyObject.h"
#include "platform/FileName.h"
#include "platform/Xattr.h"

#include <QProcess>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace qm;

namespace {

class FolderRunTest : public qmtest::EngineTest {
protected:
    static QByteArray attribute(const QString &path, const char *name)
    {
        QByteArray value;
        return xattr::get(nativeName(path), name, &value) == Status::noErr ? value
                                                                           : QByteArray("<none>");
    }
    static bool setAttribute(const QString &path, const char *name, const QByteArray &value)
    {
        return xattr::set(nativeName(path), name, value) == Status::noErr;
    }
    static bool setfacl(const QStringList &args)
    {
        QProcess p;
        p.start("setfacl", args);
        return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }
};

constexpr char kAccess[] = "system.posix_acl_access";
constexpr char kDefault[] = "system.posix_acl_default";

} // namespace

TEST_F(FolderRunTest, ACopiedFolderKeepsItsAccessListsAndAttributes)
{
    QDir().mkpath(a + "/d/sub");
    writeFile(a + "/d/f", "f", now - 500);
    ::chmod(nativeName(a + "/d/f").constData(), 0640);
    if (!setAttribute(a + "/d", "user.note", "kept")
        || !setfacl({"-m", "u:nobody:rwx", a + "/d"})
        || !setfacl({"-d", "-m", "u:nobody:r-x", a + "/d"}))
        GTEST_SKIP() << "this file system or machine keeps no attributes or access lists";
    // A folder already on both sides takes the attributes of the newer one.
    QDir().mkpath(a + "/e");
    QDir().mkpath(b + "/e");
    ASSERT_TRUE(setAttribute(a + "/e", "user.fresh", "1"));
    ASSERT_TRUE(setAttribute(b + "/e", "user.stale", "1"));
    writeFile(a + "/e/new", "n", now - 500);
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));

    for (const char *name : {"user.note", kAccess, kDefault})
        EXPECT_EQ(attribute(b + "/d", name), attribute(a + "/d", name)) << name;
    EXPECT_NE(attribute(b + "/d", kDefault), "<none>");
    EXPECT_EQ(attribute(b + "/d/sub", kDefault), attribute(a + "/d/sub", kDefault));
    // The content was copied before the folder's default list existed:
    // it has none of its own, as on side A.
    ASSERT_EQ(attribute(a + "/d/f", kAccess), "<none>");
    EXPECT_EQ(attribute(b + "/d/f", kAccess), "<none>");
    struct stat st;
    ASSERT_EQ(::stat(nativeName(b + "/d/f").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(attribute(b + "/e", "user.fresh"), "1");
    EXPECT_EQ(attribute(b + "/e", "user.stale"), "<none>");
}

class LockedFolderTest : public FolderRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LockedFolderTest, IsUnlockedBeforeItsContentGoes)
{
    const bool trash = GetParam();
    ctx.set.isExactOn = true; // B's extra items go
    ctx.set.isUnlockOn = true;
    ctx.set.isMoveToTrash = trash;
    writeFile(a + "/kept", "k", now - 500);
    writeFile(b + "/old/f", "f", now - 500);
    writeFile(b + "/old/inner/g", "g", now - 500);
    if (!lock(b + "/old/f") || !lock(b + "/old/inner") || !lock(b + "/old"))
        GTEST_SKIP() << "this file system or process cannot lock items";
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_FALSE(exists(b + "/old"));
    EXPECT_EQ(ctx.taskCounters.b.foldersDeleted, 2);
    EXPECT_EQ(ctx.taskCounters.b.filesDeleted, 2);
    if (trash) {
        EXPECT_EQ(readFile(home.dataDir() + "/Trash/files/old/inner/g"), "g");
    }
}

TEST_P(LockedFolderTest, StaysLockedWhenUnlockingIsOff)
{
    ctx.set.isExactOn = true;
    ctx.set.isMoveToTrash = GetParam();
    writeFile(a + "/kept", "k", now - 500);
    writeFile(b + "/old/f", "f", now - 500);
    if (!lock(b + "/old"))
        GTEST_SKIP() << "this file system or process cannot lock items";
    run();
    EXPECT_TRUE(isLocked(b + "/old"));
    EXPECT_EQ(readFile(b + "/old/f"), "f");
}

INSTANTIATE_TEST_SUITE_P(DeleteAndTrash, LockedFolderTest, ::testing::Bool());
