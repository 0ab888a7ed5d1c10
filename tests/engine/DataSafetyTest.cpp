// Runs that meet an emptied side, leftovers of killed copies, folders being
// filled, and files rewritten within a second of their copy.
#include "EngineFixture.h"
#include "engine/ExactSyncIndex.h"
#include "engine/FilterItemPolicy.h"
#include "fs/CatalogInfo.h"
#include "fs/FSCopyObject.h"
#include "platform/Xattr.h"
#include "support/Files.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qm;

namespace {

class SafetyTest : public qmtest::EngineTest {
protected:
    QString indexFolder = dir.path() + "/support/ExactSync Indexes";
    FilterItemPolicyWiring wiring{&ctx.set, indexFolder, {}, {}, {}, {}};
    std::unique_ptr<FilterItemPolicy> policy;
    qint64 clock = now;

    void SetUp() override
    {
        EngineTest::SetUp();
        usePolicy();
    }
    void usePolicy()
    {
        policy = std::make_unique<FilterItemPolicy>(wiring);
        ctx.policy = policy.get();
    }
    void taskKind(bool sync, bool exact)
    {
        ctx.set.isSyncOn = sync;
        ctx.set.isExactOn = exact;
    }
    // One run of the pair; an exact synchronization then writes its index,
    // unless the task was refused before its walk.
    TaskScan runOnce()
    {
        clock += 100;
        ctx.start = QDateTime::fromSecsSinceEpoch(clock, Qt::UTC);
        ctx.restoreDates.clear();
        ctx.errors.clear();
        ctx.taskCounters = RunCounters{};
        const TaskScan t = run();
        if (ctx.set.isSyncOn && ctx.set.isExactOn && !t.keepRecords) {
            ExactSyncWriteRequest r;
            r.source = a;
            r.dest = b;
            r.runStart = ctx.start;
            r.restoreBackupDates = ctx.restoreDates;
            r.runCompleted = true;
            EXPECT_TRUE(ExactSyncIndexStore(indexFolder).write(r).written);
        }
        return t;
    }
    static void empty(const QString &folder)
    {
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
    }
};

// ---- An emptied side --------------------------------------------------------

struct EmptiedCase {
    const char *name;
    bool sync;
    bool emptySource;
};

class EmptiedSide : public SafetyTest, public ::testing::WithParamInterface<EmptiedCase> {};

// As when a disk is not mounted and its mount point is an empty folder.
TEST_P(EmptiedSide, DeletesNothingCopiesNothingAndNamesTheEmptyFolder)
{
    const EmptiedCase c = GetParam();
    taskKind(c.sync, true);
    writeFile(a + "/one", "1", now - 500);
    writeFile(a + "/dir/two", "2", now - 500);
    runOnce();
    ASSERT_EQ(tree(a), tree(b));

    const QString emptied = c.emptySource ? a : b;
    const QString other = c.emptySource ? b : a;
    empty(emptied);
    const QStringList kept = tree(other);
    for (int run = 0; run < 2; ++run) { // a refused run records nothing that the next would trust
        const TaskScan t = runOnce();
        EXPECT_FALSE(t.planned);
        EXPECT_TRUE(t.keepRecords);
        EXPECT_EQ(tree(other), kept);
        EXPECT_EQ(tree(emptied), QStringList());
        ASSERT_EQ(ctx.errors.size(), 1);
        EXPECT_TRUE(ctx.errors[0].endsWith("\"" + emptied + "\"")) << qPrintable(ctx.errors[0]);
        EXPECT_EQ(ctx.taskCounters.totError, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(ExactTasks, EmptiedSide,
                         ::testing::Values(EmptiedCase{"SyncSourceEmptied", true, true},
                                           EmptiedCase{"SyncDestinationEmptied", true, false},
                                           EmptiedCase{"BackupSourceEmptied", false, true}),
                         [](const auto &info) { return std::string(info.param.name); });

// Nothing recorded says the items were there: an empty side is a new one.
TEST_F(SafetyTest, AnEmptySideWithoutAPastIsFilledAsBefore)
{
    taskKind(true, true);
    writeFile(b + "/fromB", "b", now - 500);
    runOnce();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_EQ(readFile(a + "/fromB"), "b");

    taskKind(false, true); // an exact backup into a destination no run has stamped
    empty(a);
    empty(b);
    writeFile(b + "/stray", "s", now - 500);
    runOnce();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_FALSE(exists(b + "/stray"));
}

TEST_F(SafetyTest, ASideOnAVolumeThatCouldNotBeMountedIsRefusedInEveryTaskKind)
{
    wiring.isOnUnmountedVolume = [this](const QString &path) { return path == b || path.startsWith(b + "/"); };
    usePolicy();
    writeFile(a + "/one", "1", now - 500);
    for (const auto &[sync, exact] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        taskKind(sync, exact);
        const TaskScan t = runOnce();
        EXPECT_FALSE(t.planned);
        EXPECT_EQ(tree(b), QStringList());
        ASSERT_EQ(ctx.errors.size(), 1);
        EXPECT_TRUE(ctx.errors[0].contains("\"" + b + "\"")) << qPrintable(ctx.errors[0]);
    }
}

// ---- Leftovers of copies that never finished --------------------------------

// A copy that dies with SIGKILL in the middle of its data, in a child, as a
// killed run would. Answers whether the child really died that way.
bool killedCopy(const QString &source, const QString &destFolder)
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ObjectCopier copier;
        CopyOptions options;
        int writes = 0;
        options.faultHook = [&writes](const char *op, const QByteArray &) {
            if (!strcmp(op, "write") && ++writes == 2)
                ::kill(::getpid(), SIGKILL);
            return 0;
        };
        copier.FSCopyObject(source, destFolder, options);
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST_F(SafetyTest, LeftoversOfKilledCopiesAreRemovedAndNeverCopied)
{
    taskKind(true, false);
    const QByteArray big(3 << 20, 'x'); // three pieces of data: killed in the second
    writeFile(a + "/big", big, now - 500);
    writeFile(a + "/Album/photo", big, now - 500);
    writeFile(b + "/big", "old", now - 900);
    ASSERT_TRUE(killedCopy(a + "/big", b));          // a replacement
    ASSERT_TRUE(killedCopy(a + "/Album", b));        // a folder
    ASSERT_TRUE(killedCopy(a + "/Album/photo", a));  // a copy into the source side
    // A user's own file of that name carries no busy mark: it stays theirs.
    writeFile(b + "/QMTempFile 7", "mine", now - 500);
    const QStringList leftovers = QDir(b).entryList({"QMTempFile *"}) + QDir(a).entryList({"QMTempFile *"});
    ASSERT_EQ(leftovers.size(), 4) << qPrintable(leftovers.join(", "));

    ctx.start = QDateTime::currentDateTimeUtc().addSecs(1); // the kills came before this run
    const TaskScan t = run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_EQ(tree(a), tree(b));
    EXPECT_EQ(tree(a).filter("QMTempFile"), QStringList({"QMTempFile 7"}));
    EXPECT_EQ(readFile(a + "/QMTempFile 7"), "mine");
    EXPECT_EQ(readFile(b + "/big"), big);
    EXPECT_EQ(ctx.detailedLog.count("Removed the leftover temporary item"), 3) << qPrintable(ctx.detailedLog);
    (void)t;
}

TEST_F(SafetyTest, ALeftoverIsLeftAloneOnTheSourceOfABackupAndWhileItMayStillBeInUse)
{
    taskKind(false, false);
    const QByteArray big(3 << 20, 'x');
    writeFile(a + "/big", big, now - 500);
    ASSERT_TRUE(killedCopy(a + "/big", a));
    ASSERT_TRUE(killedCopy(a + "/big", b));
    ASSERT_TRUE(exists(a + "/QMTempFile 1") && exists(b + "/QMTempFile 1"));

    ctx.start = QDateTime::currentDateTimeUtc().addSecs(-60); // made after this run began
    run();
    EXPECT_TRUE(exists(b + "/QMTempFile 1")) << "possibly another copy under way";

    ctx.start = QDateTime::currentDateTimeUtc().addSecs(1);
    run();
    EXPECT_FALSE(exists(b + "/QMTempFile 1"));
    EXPECT_TRUE(exists(a + "/QMTempFile 1")) << "a backup never changes its source";
    EXPECT_EQ(tree(b), QStringList({"big"})) << "nor copies a leftover of it";
    EXPECT_EQ(readFile(b + "/big"), big);
}

// ---- Folders being filled ---------------------------------------------------

// Whether the unprivileged user could create a file in the folder (in a
// child process that takes that identity).
bool otherUserCanWriteIn(const QString &folder)
{
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const int fd = ::open(QFile::encodeName(folder + "/planted").constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ::_exit(fd >= 0 ? 1 : 0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

// Another user tries to plant a file in each folder the run creates, while
// the run is still filling it.
TEST_F(SafetyTest, AFolderBeingFilledIsClosedToOtherUsers)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    taskKind(false, false);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    writeFile(a + "/Shared/inner/file", "data", now - 500);
    writeFile(a + "/Shared/second", "data", now - 500);
    ASSERT_EQ(::chmod(QFile::encodeName(a + "/Shared").constData(), 0777), 0);
    QStringList widest;
    QStringList planted;
    ctx.onItemStarted = [&] {
        // The top folder is being filled at every item; its attributes,
        // mode included, come after all of its content.
        for (const QString &folder : {b + "/Shared"}) {
            struct stat st;
            if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
                continue;
            if (st.st_mode & 077)
                widest.append(folder);
            if (otherUserCanWriteIn(folder))
                planted.append(folder);
        }
    };
    run();
    EXPECT_EQ(widest, QStringList());
    EXPECT_EQ(planted, QStringList());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(b + "/Shared").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0777u) << "the folder's own mode once it is complete";
}

// ---- Rewritten within the second of the copy --------------------------------

struct SameSecondCase {
    const char *name;
    bool sync;
    long nsecA, nsecB; // the same whole second on both sides
    QByteArray dataA, dataB;
    int mode;
    int questions;
};

class SameSecond : public SafetyTest, public ::testing::WithParamInterface<SameSecondCase> {};

TEST_P(SameSecond, ADifferentSizeIsNeverTakenForTheSameFile)
{
    const SameSecondCase c = GetParam();
    taskKind(c.sync, false);
    ctx.set.conflictSync.ask = true;
    writeFile(a + "/f", c.dataA, now - 50, c.nsecA);
    writeFile(b + "/f", c.dataB, now - 50, c.nsecB);
    EXPECT_EQ(modeOf(scan(), "/f"), c.mode);
    EXPECT_EQ(ctx.questions.size(), size_t(c.questions));
    if (c.questions) {
        EXPECT_EQ(ctx.questions[0].kind, 31);
    }
}

INSTANTIATE_TEST_SUITE_P(
    TaskKinds, SameSecond,
    ::testing::Values(
        SameSecondCase{"BackupCopiesTheSource", false, 100, 900, QByteArray(5000, 's'), QByteArray(100, 'd'),
                       CopyMode::ReplaceB, 0},
        SameSecondCase{"BackupOfTheSameSizeLeavesItAlone", false, 100, 900, "same", "SAME", CopyMode::Nothing, 0},
        SameSecondCase{"SyncLaterSourceWins", true, 900, 100, QByteArray(5000, 's'), QByteArray(100, 'd'),
                       CopyMode::ReplaceB, 0},
        SameSecondCase{"SyncLaterDestinationWins", true, 100, 900, QByteArray(5000, 's'), QByteArray(100, 'd'),
                       CopyMode::ReplaceA, 0},
        SameSecondCase{"SyncEqualFullDatesAreAConflict", true, 500, 500, QByteArray(5000, 's'),
                       QByteArray(100, 'd'), CopyMode::Nothing, 1}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
