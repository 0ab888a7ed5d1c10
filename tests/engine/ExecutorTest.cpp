#include "engine/EngineFixture.h"

#include <QFile>
#include <cerrno>
#include <mutex>

#include <QMap>

using namespace qm;

namespace qmtest {
namespace {

class ExecutorTest : public EngineTest {
protected:
    void makeTree(const QString &root)
    {
        writeFile(root + "/top.txt", "top", now - 300);
        writeFile(root + "/docs/a.txt", "alpha", now - 200);
        writeFile(root + "/docs/deep/b.txt", QByteArray(70000, 'b'), now - 100);
        QDir().mkpath(root + "/emptyDir");
        setMtime(root + "/docs/deep", now - 50);
        setMtime(root + "/docs", now - 40);
    }
    // Carries out a plan made earlier, by default as one task of one session.
    void copy(const TaskScan &t, const std::vector<SessionTasks> &tasks = {SessionTasks{0, {0}}})
    {
        std::vector<CopyItem> plan{t.root};
        Executor(ctx).MainCopy(tasks, plan);
    }
    // A run whose copy call `op` fails with `err` for sources ending in `suffix`.
    void runFailing(const char *op, int err, const QByteArray &suffix = {})
    {
        Executor e(ctx);
        e.setCopyFaultHook([op, err, suffix](const char *o, const QByteArray &path) {
            return (qstrcmp(o, op) == 0 && path.endsWith(suffix)) ? err : 0;
        });
        run(a, b, &e);
    }
    QString errors() const { return ctx.errors.join("|"); }
};


TEST_F(ExecutorTest, FirstBackupCopiesTheWholeTreeWithDatesAndStampsBackupDates)
{
    makeTree(a);
    ASSERT_TRUE(run().planned);
    EXPECT_EQ(tree(b), tree(a));
    EXPECT_EQ(readFile(b + "/docs/deep/b.txt"), QByteArray(70000, 'b'));
    EXPECT_EQ(mtimeOf(b + "/docs/a.txt"), now - 200);
    // A folder gets the date its source had before its content was walked.
    EXPECT_EQ(mtimeOf(b + "/docs"), now - 40);
    EXPECT_EQ(mtimeOf(b + "/docs/deep"), now - 50);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 3);
    EXPECT_EQ(ctx.taskCounters.b.foldersCreated, 3);
    EXPECT_EQ(ctx.taskCounters.b.itemVisible, 3);
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(errors());
    EXPECT_TRUE(ctx.detailedLog.contains("Copied file \"" + a + "/top.txt\" to:\r\"" + b + "/top.txt\"\r"));
    EXPECT_TRUE(ctx.detailedLog.contains("Created folder \"" + b + "/docs\"\r"));
    EXPECT_EQ(backupDateOf(a + "/top.txt"), ctx.start.toSecsSinceEpoch());
    EXPECT_EQ(backupDateOf(b + "/top.txt"), ctx.start.toSecsSinceEpoch());
}

// A first copy stamps its source through the descriptor it read it by; a
// source that refuses that (read-only, locked) is stamped the long way, and
// keeps its protection.
TEST_F(ExecutorTest, EverySourceOfAFirstBackupIsStampedAndKeepsItsProtection)
{
    struct Case { const char *name; QFileDevice::Permissions perms; bool locked; };
    const QFileDevice::Permissions rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    const QFileDevice::Permissions ro = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const Case cases[] = {
        {"plain", rw, false},
        {"readOnly", ro, false},
        {"locked", rw, true},
        {"lockedReadOnly", ro, true},
    };
    for (int i = 0; i < 24; ++i) // enough to be copied beside each other
        writeFile(a + QStringLiteral("/many/f%1").arg(i), "x", now - 100);
    QStringList unlockable;
    QMap<QString, QFileDevice::Permissions> before;
    for (const Case &c : cases) {
        const QString path = a + "/" + c.name;
        writeFile(path, c.name, now - 100);
        QFile::setPermissions(path, c.perms);
        if (c.locked && !lock(path))
            unlockable << c.name; // this file system cannot lock: checked as a plain one
        before[c.name] = QFile::permissions(path);
    }
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(errors());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = a + "/" + c.name;
        EXPECT_EQ(backupDateOf(path), ctx.start.toSecsSinceEpoch());
        EXPECT_EQ(backupDateOf(b + "/" + c.name), ctx.start.toSecsSinceEpoch());
        EXPECT_EQ(readFile(b + "/" + c.name), c.name);
        EXPECT_EQ(QFile::permissions(path), before[c.name]);
        EXPECT_EQ(isLocked(path), c.locked && !unlockable.contains(c.name));
    }
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(backupDateOf(a + QStringLiteral("/many/f%1").arg(i)), ctx.start.toSecsSinceEpoch()) << i;
    for (const Case &c : cases)
        qm::UnlockWholeItem(a + "/" + c.name);
}

// The drawer's byte count: the copier tells how far a file's data has come,
// for files copied whole, not for the files inside a package.
TEST_F(ExecutorTest, CopiesTellTheBytesOfTheFileTheyCopy)
{
    const QByteArray big(3 * 1024 * 1024 + 5, 'q');
    writeFile(a + "/big.bin", big, now - 100);
    writeFile(a + "/small.txt", "small", now - 100);
    writeFile(a + "/Tool.app/inner.bin", big, now - 100);
    std::mutex m;
    QMap<QString, QList<QPair<qint64, qint64>>> told;
    ctx.onBytes = [&](const QString &item, qint64 copied, qint64 total) {
        std::lock_guard lock(m);
        told[item].append({copied, total});
    };
    run();
    EXPECT_EQ(readFile(b + "/big.bin"), big);
    EXPECT_EQ(told.keys(), (QStringList{a + "/big.bin", a + "/small.txt"}));
    for (const auto &[item, steps] : told.asKeyValueRange()) {
        SCOPED_TRACE(item.toStdString());
        const qint64 size = QFileInfo(item).size();
        ASSERT_FALSE(steps.isEmpty());
        EXPECT_EQ(steps.last(), qMakePair(size, size));
        for (int i = 1; i < steps.size(); ++i)
            EXPECT_GT(steps[i].first, steps[i - 1].first);
    }
}

TEST_F(ExecutorTest, ALaterBackupLeavesAnUnchangedTreeAloneAndReplacesAChangedFile)
{
    makeTree(a);
    run();
    ctx.taskCounters = {};
    EXPECT_FALSE(scan().planned);
    EXPECT_EQ(ctx.taskCounters.itemsToDo, 0);
    EXPECT_EQ(ctx.taskCounters.a.filesScanned, 3);
    EXPECT_EQ(ctx.taskCounters.b.filesScanned, 3);

    writeFile(a + "/docs/a.txt", "alpha, revised", now - 10);
    ctx.taskCounters = {};
    ctx.detailedLog.clear();
    run();
    EXPECT_EQ(readFile(b + "/docs/a.txt"), "alpha, revised");
    EXPECT_EQ(ctx.taskCounters.b.filesReplaced, 1);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 0);
    EXPECT_TRUE(ctx.detailedLog.contains("Replaced file: \"" + b + "/docs/a.txt\"\rwith the most recent file: \""
                                         + a + "/docs/a.txt\""));
    EXPECT_EQ(tree(b), tree(a)) << "no temporary object is left behind";
}

TEST_F(ExecutorTest, SynchronizationCarriesNewAndNewerFilesBothWays)
{
    ctx.set.isSyncOn = true;
    writeFile(a + "/fromA", "A", now);
    writeFile(b + "/sub/fromB", "B", now);
    writeFile(a + "/shared", "old", now - 100);
    writeFile(b + "/shared", "newer on B", now);
    run();
    EXPECT_EQ(readFile(b + "/fromA"), "A");
    EXPECT_EQ(readFile(a + "/sub/fromB"), "B");
    EXPECT_EQ(readFile(a + "/shared"), "newer on B");
    EXPECT_EQ(readFile(b + "/shared"), "newer on B");
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 1);
    EXPECT_EQ(ctx.taskCounters.a.filesCopied, 1);
    EXPECT_EQ(ctx.taskCounters.a.filesReplaced, 1);
    EXPECT_EQ(ctx.taskCounters.a.foldersCreated, 1);
}


TEST_F(ExecutorTest, ExactBackupDeletesContentBeforeContainerOneLineEach)
{
    ctx.set.isExactOn = true;
    writeFile(a + "/keep", "k", now);
    writeFile(b + "/keep", "k", now);
    writeFile(b + "/old/x.txt", "x", now);
    writeFile(b + "/old/inner/y.txt", "y", now);
    run();
    EXPECT_EQ(tree(b), QStringList{"keep"});
    const QString log = ctx.detailedLog;
    const qsizetype file = log.indexOf("Deleted file \"" + b + "/old/inner/y.txt\"");
    const qsizetype inner = log.indexOf("Deleted folder \"" + b + "/old/inner\"");
    const qsizetype outer = log.indexOf("Deleted folder \"" + b + "/old\"");
    EXPECT_TRUE(file >= 0 && inner > file && outer > inner) << log.toStdString();
    EXPECT_EQ(ctx.taskCounters.b.filesDeleted, 2);
    EXPECT_EQ(ctx.taskCounters.b.foldersDeleted, 2);
}

TEST_F(ExecutorTest, TrashMovesAFolderInOneMoveAndCountsItsContentAsDeleted)
{
    ctx.set.isExactOn = true;
    ctx.set.isMoveToTrash = true;
    QDir().mkpath(home.dataDir());
    writeFile(b + "/old/x.txt", "x", now);
    writeFile(b + "/loose.txt", "l", now);
    run();
    EXPECT_TRUE(tree(b).isEmpty()) << tree(b).join(",").toStdString();
    const QString trash = home.dataDir() + "/Trash/files";
    EXPECT_EQ(readFile(trash + "/old/x.txt"), "x");
    EXPECT_EQ(readFile(trash + "/loose.txt"), "l");
    for (const QString &line : {"Trashed file \"" + b + "/old/x.txt\"", "Trashed folder \"" + b + "/old\"",
                                "Trashed file \"" + b + "/loose.txt\""})
        EXPECT_TRUE(ctx.detailedLog.contains(line)) << qPrintable(line);
    EXPECT_EQ(ctx.taskCounters.b.filesDeleted, 2);
    EXPECT_EQ(ctx.taskCounters.b.foldersDeleted, 1);
    EXPECT_EQ(ctx.taskCounters.b.filesTrashed, 0);
}

TEST_F(ExecutorTest, ARemovalSwitchedOffInThePreviewStillVisitsItsContent)
{
    ctx.set.isExactOn = true;
    writeFile(b + "/old/x", "x", now);
    writeFile(b + "/old/y", "y", now);
    TaskScan t = scan();
    CopyItem *old = &t.root.subItems.at(0);
    ASSERT_EQ(old->copyMode, CopyMode::RemoveB);
    old->copyMode = -CopyMode::RemoveB;    // the folder stays...
    old->subItems.at(1).copyMode = -CopyMode::RemoveB; // ...and so does y
    copy(t);
    EXPECT_EQ(tree(b), (QStringList{"old/", "old/y"}));
    EXPECT_TRUE(ctx.errors.isEmpty());
}


class LockedTest : public ExecutorTest {
protected:
    void SetUp() override
    {
        ExecutorTest::SetUp();
        writeFile(dir.path() + "/probe", "p", now);
        if (!lock(dir.path() + "/probe"))
            GTEST_SKIP() << "this file system or process cannot set the immutable flag";
        qm::UnlockWholeItem(dir.path() + "/probe");
        // An exact backup that must replace doc and delete gone, both locked.
        ctx.set.isExactOn = true;
        writeFile(a + "/doc", "new", now);
        writeFile(b + "/doc", "old", now - 100);
        writeFile(b + "/gone", "g", now);
        ASSERT_TRUE(lock(b + "/doc") && lock(b + "/gone"));
    }
};

TEST_F(LockedTest, ALockedFileIsNeitherDeletedNorReplacedWithoutTheUnlockOption)
{
    writeFile(b + "/dir/lockedInside", "li", now);
    writeFile(b + "/dir/plain", "p", now);
    ASSERT_TRUE(lock(b + "/dir/lockedInside"));
    run();
    EXPECT_EQ(readFile(b + "/doc"), "old");
    EXPECT_TRUE(isLocked(b + "/doc"));
    EXPECT_EQ(readFile(b + "/gone"), "g");
    // The folder stays for the file that could not go.
    EXPECT_EQ(readFile(b + "/dir/lockedInside"), "li");
    EXPECT_FALSE(exists(b + "/dir/plain"));
    EXPECT_TRUE(ctx.errors.contains("Can't delete the file \"" + b + "/gone\"\rError: The file is locked"))
        << qPrintable(errors());
    EXPECT_EQ(ctx.errors.filter("Can't replace the file:\r\"" + b + "/doc\"").size(), 1);
    EXPECT_EQ(ctx.taskCounters.totError, 3);
    EXPECT_EQ(tree(b).filter("QMTemp").size(), 0);
}

TEST_F(LockedTest, TheUnlockOptionLetsLockedFilesBeReplacedAndDeleted)
{
    ctx.set.isUnlockOn = true;
    run();
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(errors());
    EXPECT_EQ(readFile(b + "/doc"), "new");
    EXPECT_FALSE(isLocked(b + "/doc")) << "the copy takes the lock state of the winning file";
    EXPECT_FALSE(exists(b + "/gone"));
}


TEST_F(ExecutorTest, AStopRequestEndsTheCopyAtTheNextItemAndStillConcludesTheTask)
{
    for (int i = 0; i < 6; ++i)
        writeFile(a + QStringLiteral("/f%1").arg(i), "x", now);
    ctx.onItemStarted = [this] {
        if (ctx.itemsStarted == 2)
            ctx.copying = false;
    };
    run();
    EXPECT_EQ(tree(b), (QStringList{"f0", "f1"}));
    EXPECT_EQ(ctx.tasksAfterCopy, 1);

    // Stopped before the copy: no task copies anything, each is concluded.
    writeFile(a + "/late", "x", now);
    ctx.copying = true;
    const TaskScan t = scan();
    ASSERT_NE(find(t.root, "/late"), nullptr);
    ctx.copying = false;
    ctx.tasksAfterCopy = 0;
    copy(t, {SessionTasks{0, {0}}, SessionTasks{1, {0, 1}}});
    EXPECT_FALSE(exists(b + "/late"));
    EXPECT_EQ(ctx.tasksAfterCopy, 3);
}

TEST_F(ExecutorTest, AnErrorPolicyOfStopEndsTheRunAfterTheFirstFailure)
{
    ctx.stopOnError = true;
    for (const char *name : {"/a1", "/a2", "/a3"})
        writeFile(a + name, "x", now);
    runFailing("write", EIO, "/a2");
    EXPECT_EQ(tree(b), QStringList{"a1"});
    EXPECT_EQ(ctx.errors.size(), 1);
}

TEST_F(ExecutorTest, AFailedReplacementLeavesTheOldFileWholeAndNamesTheStatus)
{
    writeFile(a + "/big", QByteArray(300000, 'n'), now);
    writeFile(b + "/big", QByteArray(200000, 'o'), now - 100);
    runFailing("write", EBUSY);
    EXPECT_EQ(readFile(b + "/big"), QByteArray(200000, 'o'));
    EXPECT_EQ(tree(b), QStringList{"big"});
    ASSERT_EQ(ctx.errors.size(), 1);
    EXPECT_TRUE(ctx.errors[0].endsWith("\rError: (-47) The file is busy")) << qPrintable(errors());
    EXPECT_EQ(ctx.taskCounters.b.filesReplaced, 0);
}

TEST_F(ExecutorTest, ADiskFillingUpDuringTheCopyLeavesNoPartFileAndTheSourceUntouched)
{
    writeFile(a + "/new", QByteArray(500000, 'n'), now);
    writeFile(a + "/over", QByteArray(500000, 'v'), now);
    writeFile(b + "/over", "old", now - 100);
    runFailing("write", ENOSPC);
    EXPECT_EQ(tree(b), QStringList{"over"});
    EXPECT_EQ(readFile(b + "/over"), "old");
    EXPECT_EQ(readFile(a + "/new"), QByteArray(500000, 'n'));
    ASSERT_EQ(ctx.errors.size(), 2);
    for (const QString &e : ctx.errors)
        EXPECT_TRUE(e.endsWith("\rError: (-34) CopyFile error")) << e.toStdString();
}

// A folder that appeared on B since the scan keeps its planned (empty) content.
TEST_F(ExecutorTest, AFolderThatAppearedIsLeftAloneAndAVanishedSourceIsAnError)
{
    writeFile(a + "/dir/x", "x", now);
    writeFile(a + "/f", "x", now);
    const TaskScan t = scan();
    QDir().mkpath(b + "/dir");
    QFile::remove(a + "/f");
    copy(t);
    EXPECT_FALSE(exists(b + "/dir/x"));
    EXPECT_EQ(ctx.errors, QStringList{"Can't find the source item \"" + a + "/f\""});
}


class DiskFullTest : public ExecutorTest {
protected:
    void SetUp() override
    {
        ExecutorTest::SetUp();
        if (!useSmallDestination("512k"))
            GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    }
};

TEST_F(DiskFullTest, AFileThatDoesNotFitIsRefusedAndNothingIsLeftOnTheDestination)
{
    writeFile(a + "/small", "s", now);
    writeFile(a + "/huge", QByteArray(2 * 1024 * 1024, 'h'), now);
    run();
    EXPECT_EQ(readFile(a + "/huge"), QByteArray(2 * 1024 * 1024, 'h'));
    EXPECT_EQ(tree(b), QStringList{"small"});
    ASSERT_EQ(ctx.errors.size(), 1);
    EXPECT_TRUE(ctx.errors[0].contains("\rError:\rNot enough space on the destination disk.\rFree Memory:"));
    EXPECT_TRUE(ctx.errors[0].endsWith("Memory Required: 2097152 bytes")) << qPrintable(errors());
}

TEST_F(DiskFullTest, AReplacementThatDoesNotFitBesideTheOldFileKeepsTheOldFile)
{
    // The new copy is complete before the old file goes, so both must fit.
    writeFile(a + "/f", QByteArray(300 * 1024, 'n'), now);
    writeFile(b + "/f", QByteArray(300 * 1024, 'o'), now - 100);
    run();
    EXPECT_EQ(readFile(b + "/f"), QByteArray(300 * 1024, 'o'));
    EXPECT_EQ(tree(b), QStringList{"f"});
    ASSERT_EQ(ctx.errors.size(), 1);
    EXPECT_TRUE(ctx.errors[0].startsWith("Can't replace the file:\r\"" + b + "/f\""));
}

TEST_F(DiskFullTest, FreeSpaceEqualToTheSizeIsNotEnough)
{
    Executor e(ctx);
    QString err;
    quint64 size = 0;
    writeFile(a + "/probe", "x", now);
    ASSERT_TRUE(e.CheckFreeSpaceFor(a + "/probe", b + "/probe", &err, &size));
    EXPECT_EQ(size, 1u);
    // Fill the volume to the last block, then ask for exactly what is left.
    QFile filler(b + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
    }
    filler.close();
    writeFile(a + "/exact", QByteArray(), now);
    ASSERT_FALSE(e.CheckFreeSpaceFor(a + "/exact", b + "/exact", &err, &size));
    EXPECT_EQ(size, 0u);
}

} // namespace
} // namespace qmtest
