#include "engine/Validation.h"
#include "fs/LPUtilities.h"
#include "support/Files.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;

static void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class FolderPairTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        root = m_dir.path();
        ASSERT_TRUE(QDir(root).mkpath("A/inner"));
        ASSERT_TRUE(QDir(root).mkpath("B"));
        ASSERT_TRUE(QDir(root).mkpath("AB"));
        options.titles = {"Run as root", "Change permissions", "Resolve aliases",
                          "Resolve symbolic links"};
    }
    QString path(const QString &relative) const { return root + "/" + relative; }
    void file(const QString &relative) { ASSERT_TRUE(qmtest::writeBytes(path(relative), {})); }
    FolderValidation check(const QString &source, const QString &dest)
    {
        return FoldersAreValid(source, dest, options);
    }

    QTemporaryDir m_dir;
    QString root;
    ValidationOptions options;
};

::testing::AssertionResult refusedWith(const FolderValidation &r, const QString &text)
{
    if (r.verdict == FolderValidation::Verdict::Refused && r.message == text)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "verdict " << int(r.verdict) << ", message \""
                                         << r.message.toStdString() << "\"";
}

#define EXPECT_REFUSED(result, text) EXPECT_TRUE(refusedWith((result), (text)))

} // namespace

TEST_F(FolderPairTest, MissingOrUndefinedFoldersAreRefusedWithReadableNames)
{
    FolderValidation r = check("", "");
    EXPECT_REFUSED(r, "Source Folder not defined");
    EXPECT_EQ(r.sourceFolder, "Source Folder not defined");
    EXPECT_EQ(r.destFolder, "Destination Folder not defined");

    r = check(path("gone"), path("B"));
    EXPECT_REFUSED(r, "Cannot find the source folder:\r\"" + path("gone") + "\"");
    EXPECT_EQ(r.destFolder, path("B"));

    r = check(path("A"), "");
    EXPECT_REFUSED(r, "Destination Folder not defined");
    EXPECT_EQ(r.destFolder, "Destination Folder not defined");

    options.isOnUnmountedVolume = [this](const QString &p) { return p == path("gone"); };
    EXPECT_REFUSED(check(path("A"), path("gone")),
                   "Cannot find the destination folder:\r\"" + path("gone") +
                       "\"\rbecause I cannot mount the volume it resides on");
}

TEST_F(FolderPairTest, AliasesAndLinksAreResolvedBeforeComparing)
{
    ASSERT_TRUE(QFile::link(path("A"), path("linkToA")));
    ASSERT_TRUE(QFile::link(path("nowhere"), path("dangling")));
    ASSERT_EQ(LPUtilities().CreateAlias(path("B"), path("aliasToB")), Status::noErr);

    FolderValidation r = check(path("linkToA"), path("aliasToB"));
    EXPECT_TRUE(r.isValid()) << qPrintable(r.message);
    EXPECT_EQ(r.sourceFolder, path("A"));
    EXPECT_EQ(r.destFolder, path("B"));

    EXPECT_REFUSED(check(path("dangling"), path("B")),
                   "Can't resolve the main source SYM link \"" + path("dangling") + "\"");
    EXPECT_REFUSED(check(path("A"), path("dangling")),
                   "Can't resolve the main destination SYM link \"" + path("dangling") + "\"");
    EXPECT_REFUSED(check(path("A"), path("linkToA")), "Cannot set equal source and destination");

    ASSERT_EQ(LPUtilities().CreateAlias(path("AB"), path("aliasToGone")), Status::noErr);
    ASSERT_TRUE(QDir(path("AB")).removeRecursively());
    EXPECT_REFUSED(check(path("aliasToGone"), path("B")),
                   "Can't resolve the main source alias \"" + path("aliasToGone") + "\"");
    EXPECT_REFUSED(check(path("B"), path("aliasToGone")),
                   "Can't resolve the main destination alias \"" + path("aliasToGone") + "\"");
}

TEST_F(FolderPairTest, KindsAndNamesMustAgree)
{
    file("doc.txt");
    file("B/doc.txt");
    file("B/other.txt");
    ASSERT_TRUE(QDir(root).mkpath("Tool.app"));
    ASSERT_TRUE(QDir(root).mkpath("B/Tool.app"));
    EXPECT_REFUSED(check(path("A"), path("doc.txt")),
                   "Can't set a source folder and a destination file");
    EXPECT_REFUSED(check(path("doc.txt"), path("A")),
                   "Can't set a source file and a destination folder");
    EXPECT_REFUSED(check(path("doc.txt"), path("B/other.txt")),
                   "Can't set 2 files with different names");
    EXPECT_TRUE(check(path("doc.txt"), path("B/doc.txt")).isValid());
    EXPECT_TRUE(check(path("Tool.app"), path("B/Tool.app")).isValid())
        << "packages pair as files";
    EXPECT_REFUSED(check(path("Tool.app"), path("B")),
                   "Can't set a source file and a destination folder");
}

TEST_F(FolderPairTest, TheSameFolderUnderAnyNameIsRefused)
{
    ASSERT_TRUE(QFile::link(root, path("B/up"))); // a link above the folder hides nothing either
    for (const char *same : {"A", "A/", "B/../A", "B/up/A"})
        EXPECT_REFUSED(check(path("A"), path(same)), "Cannot set equal source and destination") << same;
}

TEST_F(FolderPairTest, AFolderInsideTheOtherIsRefusedUnlessTheWalkSkipsIt)
{
    EXPECT_REFUSED(check(path("A"), path("A/inner")),
                   "Cannot set a destination folder inside the source folder");
    EXPECT_REFUSED(check(path("A/inner"), path("A")),
                   "Cannot set a source folder inside the destination folder");
    ASSERT_TRUE(QFile::link(path("A/inner"), path("B/toInner")));
    EXPECT_REFUSED(check(path("A"), path("B/toInner")),
                   "Cannot set a destination folder inside the source folder")
        << "found behind a link too";
    EXPECT_REFUSED(check(path("A"), path("B/toInner/../inner")),
                   "Cannot set a destination folder inside the source folder");
    EXPECT_TRUE(check(path("A"), path("AB")).isValid()) << "a shared name prefix is no nesting";

    // An excluded folder is never entered, so a backup into it ends.
    const ExcludeList excluded(QStringList{path("A/inner")});
    options.excludes = &excluded;
    EXPECT_TRUE(check(path("A"), path("A/inner")).isValid());
    ASSERT_TRUE(QDir(path("A/inner")).mkpath("deeper"));
    EXPECT_TRUE(check(path("A"), path("A/inner/deeper")).isValid());
    // Excludes apply to both sides: the destination's walk skips the source.
    EXPECT_TRUE(check(path("A/inner"), path("A")).isValid());
    EXPECT_REFUSED(check(path("A"), path("A/innerX")),
                   "Cannot find the destination folder:\r\"" + path("A/innerX") + "\"");
    ASSERT_TRUE(QDir(path("A")).mkpath("innerX"));
    EXPECT_REFUSED(check(path("A"), path("A/innerX")),
                   "Cannot set a destination folder inside the source folder");
}

TEST_F(FolderPairTest, TheStartupDiskNeedsRootAndOptionsThatKeepItBootable)
{
    // A temporary folder lies below /tmp, which a copy of the start-up disk
    // creates empty, so the nesting check lets it through.
    const QString tail = "\r\rPlease take a look at our web page:\r" + bootDiskHelpAddress() +
                         "\rIt explains how to back-up the boot disk properly";
    options.runningAsRoot = false;
    EXPECT_REFUSED(check("/", path("B")),
                   "Cannot process the boot disk without the root's privileges. Please log in "
                   "as root or mark the check-box \"Run as root\" in the QM Preferences panel." +
                       tail);
    options.runningAsRoot = true;
    options.changePermissions = true;
    const QString discouraged = "We discourage to sync/backup the boot disk using the check-box \"";
    const QString unmark = "\" on. Unmark that check-box in the QM Settings panel." + tail;
    EXPECT_REFUSED(check("/", path("B")), discouraged + "Change permissions" + unmark);
    options.changePermissions = false;
    options.resolveAliases = true;
    EXPECT_REFUSED(check(path("B"), "/"), discouraged + "Resolve aliases" + unmark);
    options.resolveAliases = false;
    options.resolveSymLinks = true;
    EXPECT_REFUSED(check("/", path("B")), discouraged + "Resolve symbolic links" + unmark);
    options.resolveSymLinks = false;

    options.canVolumeManageOwnership = [](const QString &) { return true; };
    FolderValidation r = check("/", path("B"));
    EXPECT_TRUE(r.isValid()) << qPrintable(r.message);

    QString asked;
    options.canVolumeManageOwnership = [&asked](const QString &p) { asked = p; return false; };
    r = check("/", path("B"));
    EXPECT_EQ(r.verdict, FolderValidation::Verdict::AskToContinue);
    EXPECT_EQ(asked, path("B")) << "the other side's volume is the one checked";
    EXPECT_TRUE(r.message.startsWith("The destination volume settings don't allow to manage "
                                     "ownership and permissions. If you continue you will not "
                                     "get a bootable backup disk."))
        << qPrintable(r.message);
    EXPECT_TRUE(r.message.endsWith(tail));
    r = check(path("B"), "/");
    EXPECT_TRUE(r.message.startsWith("The source volume")) << qPrintable(r.message);
    EXPECT_REFUSED(check("/", "/"), "Cannot set equal source and destination");
}

TEST_F(FolderPairTest, TheStartupDiskIntoAnOrdinaryFolderOfItselfIsRefused)
{
    options.runningAsRoot = true;
    options.canVolumeManageOwnership = [](const QString &) { return true; };
    BootItems boot; // the pair's boot items, with nothing copied empty
    options.bootItems = &boot;
    EXPECT_REFUSED(check("/", path("B")),
                   "Cannot set a destination folder inside the source folder");
}

// --- Privileges ----------------------------------------------------------------

namespace {

// Rights judged for an ordinary account that owns nothing here.
AccessRights strangerRights()
{
    ProcessIdentity id;
    id.realUid = id.effectiveUid = 4000123;
    id.groups = {4000123};
    return AccessRights(id);
}

class PrivilegeTest : public FolderPairTest {
protected:
    void chmod(const QString &relative, mode_t mode)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(path(relative)).constData(), mode), 0);
    }
    void TearDown() override { UnlockWholeItem(root); }
};

} // namespace

TEST_F(PrivilegeTest, EachRefusalNamesTheItemAndTheReason)
{
    file("A/doc.txt");
    file("B/doc.txt");
    chmod("", 0755);
    chmod("A", 0755);
    chmod("A/doc.txt", 0600);
    chmod("B", 0755);
    const AccessRights stranger = strangerRights();
    const QString a = path("A/doc.txt");
    const QString b = path("B/doc.txt");

    PrivilegeCheck c = CheckPrivilegesOnFiles(path("A"), path("AB"), 1, true, stranger);
    EXPECT_EQ(c.code, PrivilegeCode::Allowed);
    chmod("AB", 0700);
    c = CheckPrivilegesOnFiles(path("A"), path("AB"), 1, true, stranger);
    EXPECT_EQ(c.code, PrivilegeCode::Insufficient);
    EXPECT_EQ(c.message, "Can't scan the folder \"" + path("AB") + "\".\rInsufficient privileges.");

    c = CheckPrivilegesOnFiles(a, b, 2, true, stranger);
    EXPECT_EQ(c.code, PrivilegeCode::Insufficient);
    EXPECT_EQ(c.message, "Can't read the item \"" + a + "\"\rInsufficient privileges.");
    c = CheckPrivilegesOnFiles(b, a, 5, true, stranger);
    EXPECT_EQ(c.message, "Can't read the item\r\"" + a + "\".\rInsufficient privileges.");

    chmod("A/doc.txt", 0644);
    c = CheckPrivilegesOnFiles(a, b, 4, true, stranger);
    EXPECT_EQ(c.code, PrivilegeCode::Insufficient);
    EXPECT_EQ(c.message, "Can't write the item\r\"" + a + "\" into the folder\r\"" + path("B") +
                             "\".\rInsufficient privileges on that folder.");
    c = CheckPrivilegesOnFiles(a, b, 3, true, stranger);
    EXPECT_EQ(c.message, "Can't write the item\r\"" + b + "\" into the folder\r\"" + path("A") +
                             "\".\rInsufficient privileges on that folder.");

    c = CheckPrivilegesOnFiles(a, b, 7, true, stranger);
    EXPECT_EQ(c.code, PrivilegeCode::Insufficient);
    EXPECT_EQ(c.message, "Can't delete the item\r\"" + b + "\".\rInsufficient privileges.");
    c = CheckPrivilegesOnFiles(a, b, 6, true, stranger);
    EXPECT_EQ(c.message, "Can't delete the item\r\"" + a + "\".\rInsufficient privileges.");

    c = CheckPrivilegesOnFiles(a, path("B/new.txt"), 2, true, strangerRights());
    EXPECT_EQ(c.code, PrivilegeCode::Insufficient) << "a new item needs a writable folder too";
    chmod("B", 0777);
    EXPECT_EQ(CheckPrivilegesOnFiles(a, path("B/new.txt"), 2, true, stranger).code,
              PrivilegeCode::Allowed);
    EXPECT_EQ(CheckPrivilegesOnFiles(a, path("gone/new.txt"), 2, true, stranger).code,
              PrivilegeCode::Allowed)
        << "a destination folder still to be made is not judged";
    EXPECT_EQ(CheckPrivilegesOnFiles(a, b, 0, true, stranger).code, PrivilegeCode::Allowed);
}

TEST_F(PrivilegeTest, APackageIsJudgedWithEverythingInsideIt)
{
    ASSERT_TRUE(QDir(root).mkpath("A/Tool.app/Contents"));
    ASSERT_TRUE(QDir(root).mkpath("B/Tool.app/Contents"));
    file("A/Tool.app/Contents/bin");
    file("B/Tool.app/Contents/bin");
    for (const char *p : {"", "A", "B", "A/Tool.app", "B/Tool.app"})
        chmod(p, 0777);
    chmod("A/Tool.app/Contents", 0755);
    chmod("B/Tool.app/Contents", 0755); // its entry cannot be deleted by a stranger
    const AccessRights stranger = strangerRights();
    const QString a = path("A/Tool.app");
    const QString b = path("B/Tool.app");
    EXPECT_TRUE(CheckFilePackagePermissions(a, PackageCheck::Read, stranger));
    EXPECT_FALSE(CheckFilePackagePermissions(b, PackageCheck::Delete, stranger));
    EXPECT_FALSE(CheckFilePackagePermissions(path("gone"), PackageCheck::Read, stranger));
    EXPECT_FALSE(CheckFilePackagePermissions(a, 3, stranger));

    PrivilegeCheck c = CheckPrivilegesOnFiles(a, b, 4, true, stranger);
    EXPECT_EQ(c.code, PrivilegeCode::Insufficient);
    EXPECT_EQ(c.message, "Can't replace the item:\r\"" + b +
                             "\".\rInsufficient privileges on some of the items of the filePackage.");
    chmod("A/Tool.app/Contents", 0700);
    c = CheckPrivilegesOnFiles(a, b, 2, true, stranger);
    EXPECT_EQ(c.message, "Can't read the item \"" + a +
                             "\" or some of the items inside the filePackage.\rInsufficient privileges.");
    c = CheckPrivilegesOnFiles(b, a, 7, true, stranger);
    EXPECT_EQ(c.message, "Can't delete the item\r\"" + a +
                             "\".\rInsufficient privileges on some of the items of the filePackage.");
}

TEST_F(PrivilegeTest, ALockedItemIsRefusedUnlessTheSessionUnlocks)
{
    file("A/doc.txt");
    file("B/doc.txt");
    AttributeChange lock;
    lock.immutable = 1;
    if (ChangeFileAttributes(path("B/doc.txt"), lock) != Status::noErr)
        GTEST_SKIP() << "the lock flag cannot be set here (needs CAP_LINUX_IMMUTABLE)";
    const AccessRights rights(ProcessIdentity::current());
    const QString a = path("A/doc.txt");
    const QString b = path("B/doc.txt");
    PrivilegeCheck c = CheckPrivilegesOnFiles(a, b, 7, false, rights);
    EXPECT_EQ(c.code, PrivilegeCode::Locked);
    EXPECT_EQ(c.message, "Can't delete the item\r\"" + b + "\".\rItem Locked.");
    c = CheckPrivilegesOnFiles(a, b, 4, false, rights);
    EXPECT_EQ(c.code, PrivilegeCode::Locked);
    EXPECT_EQ(c.message, "Can't replace the item:\r\"" + b + "\".\rItem Locked.");
    EXPECT_EQ(CheckPrivilegesOnFiles(a, b, 7, true, rights).code, PrivilegeCode::Allowed);
    EXPECT_EQ(CheckPrivilegesOnFiles(a, b, 2, false, rights).code, PrivilegeCode::Allowed)
        << "a copy onto a missing item is no replacement";
}

TEST_F(PrivilegeTest, AnotherUsersItemsAreRefusedToAnUnprivilegedProcess)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to create items an unprivileged child cannot use";
    file("A/secret.txt");
    file("B/secret.txt");
    chmod("", 0755);
    chmod("A", 0700);
    chmod("B", 0755);
    const QString a = path("A/secret.txt");
    const QString b = path("B/secret.txt");

    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeFds[0]);
        const gid_t nobody = 65534;
        if (::setgroups(1, &nobody) != 0 || ::setgid(nobody) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        const AccessRights rights(ProcessIdentity::current());
        QByteArray out;
        for (int mode : {2, 7, 3}) {
            const PrivilegeCheck c = CheckPrivilegesOnFiles(a, b, mode, true, rights);
            out += QByteArray::number(c.code) + '|' + c.message.toUtf8() + '\n';
        }
        const bool written = ::write(pipeFds[1], out.constData(), size_t(out.size())) == out.size();
        ::_exit(written ? 0 : 4);
    }
    ::close(pipeFds[1]);
    QByteArray answer;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        answer.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the child could not drop its privileges";
    const QStringList lines = QString::fromUtf8(answer).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "1|Can't read the item \"" + a + "\"\rInsufficient privileges.");
    EXPECT_EQ(lines[1], "1|Can't delete the item\r\"" + b + "\".\rInsufficient privileges.");
    EXPECT_EQ(lines[2], "1|Can't write the item\r\"" + b + "\" into the folder\r\"" +
                            path("A") + "\".\rInsufficient privileges on that folder.")
        << "root's 0644 file can be read, but not copied into root's private folder";
}
