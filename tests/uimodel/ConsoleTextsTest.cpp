#include "uimodel/ConsoleTexts.h"

#include "platform/FileName.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qm;

namespace {
constexpr int Sync = 1, Backup = 2;
}

TEST(GetEmptyTopBottomString, NamesTheSideByTaskAndTheKindByTheOtherSide)
{
    struct Case {
        FolderSide side;
        bool all;
        int task;
        PathKind other;
        const char *text;
    } cases[] = {
        {FolderSide::Source, false, Sync, PathKind::Missing, "Drag here the 1st folder"},
        {FolderSide::Destination, false, Sync, PathKind::File, "Drag here the 2nd file"},
        {FolderSide::Destination, false, Sync, PathKind::Package, "Drag here the 2nd file"},
        {FolderSide::Source, false, Backup, PathKind::Folder, "Drag here the source folder"},
        {FolderSide::Destination, false, Backup, PathKind::File, "Drag here the destination file"},
        {FolderSide::Destination, false, Backup, PathKind::Missing, "Drag here the destination folder"},
        {FolderSide::Source, true, Sync, PathKind::File, ""},
        {FolderSide::Destination, true, Backup, PathKind::Folder, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(GetEmptyTopBottomString(c.side, c.all, c.task, c.other), QString::fromUtf8(c.text)) << c.text;
}

TEST(PathKind, TellsFilesFoldersPackagesAndNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir("plain");
    QDir(dir.path()).mkdir("Mail.app");
    QFile f(dir.filePath("note.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(pathKindAt(dir.filePath("plain")), PathKind::Folder);
    EXPECT_EQ(pathKindAt(dir.filePath("Mail.app")), PathKind::Package);
    EXPECT_EQ(pathKindAt(dir.filePath("note.txt")), PathKind::File);
    EXPECT_EQ(pathKindAt(dir.filePath("gone")), PathKind::Missing);
    EXPECT_EQ(pathKindAt(QString()), PathKind::Missing);
    const QString odd = dir.path() + "/" + fromNativeName(QByteArray("dir\xff"));
    ASSERT_EQ(::mkdir(nativeName(odd).constData(), 0755), 0);
    EXPECT_EQ(pathKindAt(odd), PathKind::Folder);
}

TEST(DrawerSize, DividesWhileAbove1024AtMostThreeTimes)
{
    const std::pair<std::optional<qint64>, const char *> cases[] = {
        {std::nullopt, "--"},
        {0, "0 bytes"},
        {1024, "1024 bytes"},
        {1025, "1 KB"},
        {2047, "1 KB"},
        {1024LL * 1024, "1024 KB"},
        {1024LL * 1024 + 1, "1024 KB"}, // the kilobytes are truncated to 1024, not above it
        {1025LL * 1024, "1 MB"},
        {3LL * 1024 * 1024 * 1024 + 5, "3 GB"},
        {5000LL * 1024 * 1024 * 1024, "5000 GB"}, // no unit past GB
    };
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(drawerSizeText(bytes), QString::fromUtf8(text)) << text;
}

TEST(DrawerTexts, LabelAndPathsFollowTheCopyMode)
{
    struct Case {
        int mode;
        const char *label;
        bool source, dest;
    } cases[] = {
        {2, "Copying:", true, true},     {3, "Copying:", true, true},     {4, "Replacing:", true, true},
        {5, "Replacing:", true, true},   {6, "Deleting:", true, false},   {7, "Deleting:", true, false},
        {0, "Processing item:", false, false}, {1, "Processing item:", false, false},
        {-2, "Processing item:", false, false},
    };
    for (const Case &c : cases) {
        const DrawerTexts t = drawerTexts(c.mode, "/a/x", "/b/x");
        EXPECT_EQ(t.label, QString::fromUtf8(c.label)) << c.mode;
        EXPECT_EQ(t.source, c.source ? "/a/x" : "") << c.mode;
        EXPECT_EQ(t.destination, c.dest ? "/b/x" : "") << c.mode;
    }
}

TEST(ReportText, BuildsTheLinesOfEachKindOfRun)
{
    RunReport all;
    all.allSessions = true;
    all.sessionsDone = 2;
    all.sessionCount = 3;
    all.errors = 1;
    all.task = Backup;

    RunReport byTimer = all; // All Sessions current, but a timer ran one session
    byTimer.startedByTimer = true;
    byTimer.sourceFolder = "/a";
    byTimer.destFolder = "/b";
    byTimer.sourceFilesCopied = 4;
    byTimer.destFilesCopied = 5;

    RunReport multi;
    multi.multi = true;
    multi.tasksDone = 1;
    multi.taskCount = 2;
    multi.mailFailed = true;

    RunReport undefined;

    struct Case {
        const RunReport *report;
        const char *text;
        const char *arrow;
    } cases[] = {
        {&all, "• 2 Sessions Done of 3\r• Errors: 1", "OrangeArrow"},
        {&byTimer, "• /a: 4\r• /b: 5\r• Errors: 1", "GrayArrow"},
        {&multi, "• 1 Multiple Tasks Done of 2\r• Errors: 0\r• Can't send email.", "OrangeArrow"},
        {&undefined, "• Source Folder not defined: 0\r• Destination Folder not defined: 0\r• Errors: 0",
         "OrangeArrow"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(reportText(*c.report), QString::fromUtf8(c.text));
        EXPECT_EQ(reportArrowImageName(*c.report), c.arrow) << c.text;
    }
}
