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
        options.titles = {"Run as root", "Change permissions", "Resolve aliases", "Resolve symbolic links"};
    }
    // Relative paths are taken inside the test folder.
    QString path(const QString &p) const { return p.startsWith('/') ? p : root + "/" + p; }
    void file(const QString &relative) { ASSERT_TRUE(qmtest::writeBytes(path(relative), {})); }
    FolderValidation check(const QString &source, const QString &dest)
    {
        // An empty path stays undefined.
        return FoldersAreValid(source.isEmpty() ? source : path(source), dest.isEmpty() ? dest : path(dest), options);
    }
    // "valid", the refusal's message, or "ask: " and the question.
    QString verdict(const QString &source, const QString &dest)
    {
        const FolderValidation r = check(source, dest);
        switch (r.verdict) {
        case FolderValidation::Verdict::Valid: return "valid";
        case FolderValidation::Verdict::AskToContinue: return "ask: " + r.message;
        default: return r.message;
        }
    }

    QTemporaryDir m_dir;
    QString root;
    ValidationOptions options;
};

const QString kEqual = "Cannot set equal source and destination";
const QString kDestInside = "Cannot set a destination folder inside the source folder";

// Rights judged for an ordinary account that owns nothing here.
AccessRights strangerRights()
{
    ProcessIdentity id;
    id.realUid = id.effectiveUid = 4000123;
    id.groups = {4000123};
    return AccessRights(id);
}

// The code and the message, as "code|message".
QString describe(const PrivilegeCheck &c) { return QString::number(c.code) + '|' + c.message; }

class PrivilegeTest : public FolderPairTest {
protected:
    const AccessRights stranger = strangerRights();
    void chmod(const QString &relative, mode_t mode)
    {
        ASSERT_EQ(::chmod(QFile::encodeName(path(relative)).constData(), mode), 0);
    }
    QString privilege(const QString &source, const QString &dest, int mode, bool unlock = true)
    {
        return describe(CheckPrivilegesOnFiles(source, dest, mode, unlock, stranger));
    }
    void TearDown() override { UnlockWholeItem(root); }
};

} // namespace

TEST_F(FolderPairTest, MissingOrUndefinedFoldersAreRefusedWithReadableNames)
{
    EXPECT_EQ(verdict("", ""), "Source Folder not defined");
    const FolderValidation r = check("", "");
    EXPECT_EQ(r.sourceFolder, "Source Folder not defined");
    EXPECT_EQ(r.destFolder, "Destination Folder not defined");

    EXPECT_EQ(verdict("gone", "B"), "Cannot find the source folder:\r\"" + path("gone") + "\"");
    EXPECT_EQ(check("gone", "B").destFolder, path("B"));
    EXPECT_EQ(verdict("A", ""), "Destination Folder not defined");
    EXPECT_EQ(check("A", "").destFolder, "Destination Folder not defined");

    options.isOnUnmountedVolume = [this](const QString &p) { return p == path("gone"); };
    EXPECT_EQ(verdict("A", "gone"), "Cannot find the destination folder:\r\"" + path("gone") +
                                        "\"\rbecause I cannot mount the volume it resides on");
}

TEST_F(FolderPairTest, AliasesAndLinksAreResolvedBeforeComparing)
{
    ASSERT_TRUE(QFile::link(path("A"), path("linkToA")));
    ASSERT_TRUE(QFile::link(path("nowhere"), path("dangling")));
    ASSERT_EQ(LPUtilities().CreateAlias(path("B"), path("aliasToB")), Status::noErr);

    const FolderValidation r = check("linkToA", "aliasToB");
    EXPECT_TRUE(r.isValid()) << qPrintable(r.message);
    EXPECT_EQ(r.sourceFolder, path("A"));
    EXPECT_EQ(r.destFolder, path("B"));

    EXPECT_EQ(verdict("dangling", "B"), "Can't resolve the main source SYM link \"" + path("dangling") + "\"");
    EXPECT_EQ(verdict("A", "dangling"), "Can't resolve the main destination SYM link \"" + path("dangling") + "\"");
    EXPECT_EQ(verdict("A", "linkToA"), kEqual);

    ASSERT_EQ(LPUtilities().CreateAlias(path("AB"), path("aliasToGone")), Status::noErr);
    ASSERT_TRUE(QDir(path("AB")).removeRecursively());
    EXPECT_EQ(verdict("aliasToGone", "B"), "Can't resolve the main source alias \"" + path("aliasToGone") + "\"");
    EXPECT_EQ(verdict("B", "aliasToGone"),
              "Can't resolve the main destination alias \"" + path("aliasToGone") + "\"");
}

TEST_F(FolderPairTest, KindsAndNamesMustAgree)
{
    file("doc.txt");
    file("B/doc.txt");
    file("B/other.txt");
    ASSERT_TRUE(QDir(root).mkpath("Tool.app"));
    ASSERT_TRUE(QDir(root).mkpath("B/Tool.app"));
    EXPECT_EQ(verdict("A", "doc.txt"), "Can't set a source folder and a destination file");
    EXPECT_EQ(verdict("doc.txt", "A"), "Can't set a source file and a destination folder");
    EXPECT_EQ(verdict("doc.txt", "B/other.txt"), "Can't set 2 files with different names");
    EXPECT_EQ(verdict("doc.txt", "B/doc.txt"), "valid");
    EXPECT_EQ(verdict("Tool.app", "B/Tool.app"), "valid") << "packages pair as files";
    EXPECT_EQ(verdict("Tool.app", "B"), "Can't set a source file and a destination folder");
}

TEST_F(FolderPairTest, TheSameFolderUnderAnyNameIsRefused)
{
    ASSERT_TRUE(QFile::link(root, path("B/up"))); // a link above the folder hides nothing either
    for (const char *same : {"A", "A/", "B/../A", "B/up/A"})
        EXPECT_EQ(verdict("A", same), kEqual) << same;
}

TEST_F(FolderPairTest, AFolderInsideTheOtherIsRefusedUnlessTheWalkSkipsIt)
{
    EXPECT_EQ(verdict("A", "A/inner"), kDestInside);
    EXPECT_EQ(verdict("A/inner", "A"), "Cannot set a source folder inside the destination folder");
    ASSERT_TRUE(QFile::link(path("A/inner"), path("B/toInner")));
    EXPECT_EQ(verdict("A", "B/toInner"), kDestInside) << "found behind a link too";
    EXPECT_EQ(verdict("A", "B/toInner/../inner"), kDestInside);
    EXPECT_EQ(verdict("A", "AB"), "valid") << "a shared name prefix is no nesting";

    // An excluded folder is never entered, so a backup into it ends.
    const ExcludeList excluded(QStringList{path("A/inner")});
    options.excludes = &excluded;
    EXPECT_EQ(verdict("A", "A/inner"), "valid");
    ASSERT_TRUE(QDir(path("A/inner")).mkpath("deeper"));
    EXPECT_EQ(verdict("A", "A/inner/deeper"), "valid");
    // Excludes apply to both sides: the destination's walk skips the source.
    EXPECT_EQ(verdict("A/inner", "A"), "valid");
    EXPECT_EQ(verdict("A", "A/innerX"), "Cannot find the destination folder:\r\"" + path("A/innerX") + "\"");
    ASSERT_TRUE(QDir(path("A")).mkpath("innerX"));
    EXPECT_EQ(verdict("A", "A/innerX"), kDestInside);
}

TEST_F(FolderPairTest, TheStartupDiskNeedsRootAndOptionsThatKeepItBootable)
{
    // A temporary folder lies below /tmp, which a copy of the start-up disk
    // creates empty, so the nesting check lets it through.
    const QString tail = "\r\rPlease take a look at our web page:\r" + bootDiskHelpAddress() +
                         "\rIt explains how to back-up the boot disk properly";
    options.runningAsRoot = false;
    EXPECT_EQ(verdict("/", "B"), "Cannot process the boot disk without the root's privileges. Please log in "
                                 "as root or mark the check-box \"Run as root\" in the QM Preferences panel." +
                                     tail);
    options.runningAsRoot = true;
    const auto discouraged = [&](const char *title) {
        return "We discourage to sync/backup the boot disk using the check-box \"" + QString(title) +
               "\" on. Unmark that check-box in the QM Settings panel." + tail;
    };
    options.changePermissions = true;
    EXPECT_EQ(verdict("/", "B"), discouraged("Change permissions"));
    options.changePermissions = false;
    options.resolveAliases = true;
    EXPECT_EQ(verdict("B", "/"), discouraged("Resolve aliases"));
    options.resolveAliases = false;
    options.resolveSymLinks = true;
    EXPECT_EQ(verdict("/", "B"), discouraged("Resolve symbolic links"));
    options.resolveSymLinks = false;

    options.canVolumeManageOwnership = [](const QString &) { return true; };
    EXPECT_EQ(verdict("/", "B"), "valid");

    QString asked;
    options.canVolumeManageOwnership = [&asked](const QString &p) { asked = p; return false; };
    const QString question = verdict("/", "B");
    EXPECT_TRUE(question.startsWith("ask: The destination volume settings don't allow to manage ownership and "
                                    "permissions. If you continue you will not get a bootable backup disk."))
        << qPrintable(question);
    EXPECT_TRUE(question.endsWith(tail));
    EXPECT_EQ(asked, path("B")) << "the other side's volume is the one checked";
    EXPECT_TRUE(verdict("B", "/").startsWith("ask: The source volume"));
    EXPECT_EQ(verdict("/", "/"), kEqual);

    // The pair's own boot items, with nothing copied empty: B is then an
    // ordinary folder of the start-up disk.
    options.canVolumeManageOwnership = [](const QString &) { return true; };
    BootItems boot;
    options.bootItems = &boot;
    EXPECT_EQ(verdict("/", "B"), kDestInside);
}


TEST_F(PrivilegeTest, EachRefusalNamesTheItemAndTheReason)
{
    file("A/doc.txt");
    file("B/doc.txt");
    for (const char *p : {"", "A", "B"})
        chmod(p, 0755);
    chmod("A/doc.txt", 0600);
    const QString a = path("A/doc.txt");
    const QString b = path("B/doc.txt");
    const QString denied = "\".\rInsufficient privileges.";

    EXPECT_EQ(privilege(path("A"), path("AB"), 1), "0|");
    chmod("AB", 0700);
    EXPECT_EQ(privilege(path("A"), path("AB"), 1), "1|Can't scan the folder \"" + path("AB") + denied);
    EXPECT_EQ(privilege(a, b, 2), "1|Can't read the item \"" + a + "\"\rInsufficient privileges.");
    EXPECT_EQ(privilege(b, a, 5), "1|Can't read the item\r\"" + a + denied);

    chmod("A/doc.txt", 0644);
    const auto cannotWrite = [](const QString &item, const QString &folder) {
        return "1|Can't write the item\r\"" + item + "\" into the folder\r\"" + folder +
               "\".\rInsufficient privileges on that folder.";
    };
    EXPECT_EQ(privilege(a, b, 4), cannotWrite(a, path("B")));
    EXPECT_EQ(privilege(a, b, 3), cannotWrite(b, path("A")));
    EXPECT_EQ(privilege(a, b, 7), "1|Can't delete the item\r\"" + b + denied);
    EXPECT_EQ(privilege(a, b, 6), "1|Can't delete the item\r\"" + a + denied);

    EXPECT_TRUE(privilege(a, path("B/new.txt"), 2).startsWith("1|")) << "a new item needs a writable folder too";
    chmod("B", 0777);
    EXPECT_EQ(privilege(a, path("B/new.txt"), 2), "0|");
    EXPECT_EQ(privilege(a, path("gone/new.txt"), 2), "0|") << "a destination folder still to be made is not judged";
    EXPECT_EQ(privilege(a, b, 0), "0|");
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
    const QString a = path("A/Tool.app");
    const QString b = path("B/Tool.app");
    EXPECT_TRUE(CheckFilePackagePermissions(a, PackageCheck::Read, stranger));
    EXPECT_FALSE(CheckFilePackagePermissions(b, PackageCheck::Delete, stranger));
    EXPECT_FALSE(CheckFilePackagePermissions(path("gone"), PackageCheck::Read, stranger));
    EXPECT_FALSE(CheckFilePackagePermissions(a, 3, stranger));

    const QString inside = "\".\rInsufficient privileges on some of the items of the filePackage.";
    EXPECT_EQ(privilege(a, b, 4), "1|Can't replace the item:\r\"" + b + inside);
    chmod("A/Tool.app/Contents", 0700);
    EXPECT_EQ(privilege(a, b, 2), "1|Can't read the item \"" + a +
                                      "\" or some of the items inside the filePackage.\rInsufficient privileges.");
    EXPECT_EQ(privilege(b, a, 7), "1|Can't delete the item\r\"" + a + inside);
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
    const auto check = [&](int mode, bool unlock) {
        return describe(CheckPrivilegesOnFiles(a, b, mode, unlock, rights));
    };
    EXPECT_EQ(check(7, false), "2|Can't delete the item\r\"" + b + "\".\rItem Locked.");
    EXPECT_EQ(check(4, false), "2|Can't replace the item:\r\"" + b + "\".\rItem Locked.");
    EXPECT_EQ(check(7, true), "0|");
    EXPECT_EQ(check(2, false), "0|") << "a copy onto a missing item is no replacement";
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
        for (int mode : {2, 7, 3})
            out += describe(CheckPrivilegesOnFiles(a, b, mode, true, rights)).toUtf8() + '\n';
        ::_exit(::write(pipeFds[1], out.constData(), size_t(out.size())) == out.size() ? 0 : 4);
    }
    ::close(pipeFds[1]);
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child could not drop its privileges";
    EXPECT_EQ(QString::fromUtf8(answer).split('\n', Qt::SkipEmptyParts),
              (QStringList{"1|Can't read the item \"" + a + "\"\rInsufficient privileges.",
                           "1|Can't delete the item\r\"" + b + "\".\rInsufficient privileges.",
                           "1|Can't write the item\r\"" + b + "\" into the folder\r\"" + path("A") +
                               "\".\rInsufficient privileges on that folder."}))
        << "root's 0644 file can be read, but not copied into root's private folder";
}
