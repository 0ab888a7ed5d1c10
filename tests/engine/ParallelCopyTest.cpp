// New files are copied several at a time; what the run reports must be what
// one-at-a-time copying would report, and nothing may be half-written.
#include "EngineFixture.h"
#include "engine/ExactSyncIndex.h"
#include "platform/Xattr.h"

#include <QFile>
#include <sys/xattr.h>
#include <unistd.h>

using namespace qm;
using namespace qmtest;

namespace {

class ParallelCopyTest : public EngineTest {
protected:
    // Files of uneven sizes in two folders, so copies end out of order.
    void makeTree(int perFolder)
    {
        for (const char *folder : {"one", "two"}) {
            QDir().mkpath(a + "/" + folder);
            for (int i = 0; i < perFolder; ++i) {
                const int kb = (i * 37) % 200 + 1;
                writeFile(a + "/" + folder + QString("/f%1").arg(i, 3, 10, QChar('0')),
                          QByteArray(kb * 1024, char('a' + i % 26)), now - i);
            }
        }
    }
    // Every file under B is an exact copy of its source, and no temporary is left.
    void expectWholeCopies()
    {
        for (const QString &rel : tree(b)) {
            EXPECT_FALSE(rel.contains("QMTempFile")) << rel.toStdString();
            if (!rel.endsWith('/')) {
                EXPECT_EQ(readFile(b + "/" + rel), readFile(a + "/" + rel)) << rel.toStdString();
            }
        }
    }
    QString logOf(int threads)
    {
        Executor executor(ctx);
        executor.setCopyThreads(threads);
        run(a, b, &executor);
        return ctx.detailedLog;
    }
};

TEST_F(ParallelCopyTest, TheLogAndCountersAreThoseOfOneCopyAfterAnother)
{
    makeTree(40);
    const QString oneByOne = logOf(1);
    const RunCounters serial = ctx.taskCounters;
    QDir(b).removeRecursively();
    QDir().mkpath(b);
    ctx.detailedLog.clear();
    ctx.taskCounters = RunCounters{};
    const QString parallel = logOf(6);
    EXPECT_EQ(parallel, oneByOne);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 80);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, serial.b.filesCopied);
    EXPECT_EQ(tree(b), tree(a));
    expectWholeCopies();
    for (const QString &rel : tree(a))
        if (!rel.endsWith('/')) {
            EXPECT_EQ(mtimeOf(b + "/" + rel), mtimeOf(a + "/" + rel)) << rel.toStdString();
        }
}

// Older copies on side B, every third one replaced; one of them locked, which
// is refused one at a time between the copies running beside each other.
TEST_F(ParallelCopyTest, ReplacementsBesideOthersLogAsOneAfterAnother)
{
    makeTree(30);
    auto replaceRun = [this](int threads) {
        QDir(b).removeRecursively();
        QDir().mkpath(b);
        logOf(1);
        const QStringList files = tree(b);
        for (qsizetype i = 0; i < files.size(); i += 3) {
            if (!files[i].endsWith('/'))
                writeFile(b + "/" + files[i], "old", now - 1000);
        }
        writeFile(b + "/two/f003", "old", now - 1000);
        const bool locked = lock(b + "/two/f003");
        ctx.detailedLog.clear();
        ctx.errors.clear();
        ctx.taskCounters = RunCounters{};
        const QString log = logOf(threads);
        if (locked) {
            EXPECT_EQ(ctx.errors.size(), 1u);
            EXPECT_EQ(readFile(b + "/two/f003"), QByteArray("old"));
            ChangeFileAttributes(b + "/two/f003", AttributeChange{-1, 0, -1, -1});
        }
        return std::make_pair(log, ctx.taskCounters.b.filesReplaced);
    };
    const auto serial = replaceRun(1);
    const auto parallel = replaceRun(6);
    EXPECT_EQ(parallel.first, serial.first);
    EXPECT_EQ(parallel.second, serial.second);
    EXPECT_GE(parallel.second, 15);
    QFile::remove(b + "/two/f003");
    QFile::copy(a + "/two/f003", b + "/two/f003");
    expectWholeCopies();
}

TEST_F(ParallelCopyTest, AStopLetsRunningCopiesEndAndReportsEachOfThem)
{
    makeTree(30);
    ctx.onItemStarted = [this] {
        if (ctx.itemsStarted == 12)
            ctx.copying = false;
    };
    run();
    expectWholeCopies();
    int files = 0;
    for (const QString &rel : tree(b)) {
        if (rel.endsWith('/'))
            continue;
        ++files;
        EXPECT_TRUE(ctx.detailedLog.contains("\"" + a + "/" + rel + "\"")) << rel.toStdString();
    }
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, files);
    EXPECT_LT(files, 60);
}

class ParallelDiskFullTest : public ParallelCopyTest {
protected:
    void SetUp() override
    {
        ParallelCopyTest::SetUp();
        if (!useSmallDestination("1m"))
            GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    }
};

TEST_F(ParallelDiskFullTest, FilesThatFitOnlyOneByOneAreNeverLeftHalfWritten)
{
    // Each fits alone; together they need three times the room.
    for (int i = 0; i < 12; ++i)
        writeFile(a + QString("/f%1").arg(i, 2, 10, QChar('0')),
                  QByteArray(250 * 1024, char('k' + i)), now);
    run();
    expectWholeCopies();
    const int copied = int(tree(b).size());
    EXPECT_GE(copied, 1);
    EXPECT_LT(copied, 12);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, copied);
    EXPECT_EQ(ctx.errors.size(), 12 - copied);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(readFile(a + QString("/f%1").arg(i, 2, 10, QChar('0'))),
                  QByteArray(250 * 1024, char('k' + i)));
}

// Writing the index stamps a file only when it changed after its backup
// date; an older date can only make the next run more careful.
TEST_F(EngineTest, TheIndexStampsOnlyFilesChangedSinceTheirBackupDate)
{
    writeFile(a + "/kept", "k", now - 500);
    setBackupDate(a + "/kept", now - 400);
    writeFile(a + "/changed", "c", now - 100);
    setBackupDate(a + "/changed", now - 400);
    writeFile(a + "/never", "n", now - 100);
    writeFile(b + "/sameSecond", "s", now - 300);
    setBackupDate(b + "/sameSecond", now - 300);
    ASSERT_EQ(::symlink("kept", QFile::encodeName(a + "/link").constData()), 0);

    ExactSyncWriteRequest request;
    request.source = a;
    request.dest = b;
    request.runStart = QDateTime::fromSecsSinceEpoch(now);
    request.runCompleted = true;
    ASSERT_TRUE(ExactSyncIndexStore(dir.path() + "/index").write(request).written);

    EXPECT_EQ(backupDateOf(a + "/kept"), now - 400);
    EXPECT_EQ(backupDateOf(a + "/changed"), now);
    EXPECT_EQ(backupDateOf(a + "/never"), now);
    EXPECT_EQ(backupDateOf(b + "/sameSecond"), now);
    char raw[8];
    EXPECT_LT(::lgetxattr(QFile::encodeName(a + "/link").constData(), xattr::kBackupDate, raw, 8), 0);
}

} // namespace
