// New files are copied several at a time; what the run reports must be what
// one-at-a-time copying would report, and nothing may be half-written.
#include "EngineFixture.h"

#include <QFile>
#include <QFileInfo>

using namespace qm;
using namespace qmtest;

namespace {

class ParallelCopyTest : public EngineTest {
protected:
    // Files of uneven sizes in two folders, so copies end out of order.
    void makeTree(int perFolder)
    {
        for (const char *folder : {"one", "two"})
            for (int i = 0; i < perFolder; ++i)
                writeFile(a + "/" + folder + QString("/f%1").arg(i, 3, 10, QChar('0')),
                          QByteArray(((i * 37) % 200 + 1) * 1024, char('a' + i % 26)), now - i);
    }
    // The files under root, relative, without the folders.
    static QStringList filesUnder(const QString &root)
    {
        QStringList files = tree(root);
        files.removeIf([](const QString &rel) { return rel.endsWith('/'); });
        return files;
    }
    // Every file under B is an exact copy of its source, and no temporary is left.
    void expectWholeCopies()
    {
        EXPECT_EQ(tree(b).filter("QMTempFile"), QStringList());
        for (const QString &rel : filesUnder(b))
            EXPECT_EQ(readFile(b + "/" + rel), readFile(a + "/" + rel)) << rel.toStdString();
    }
    // A run with the given number of copy threads, from a clean log and counters.
    QString logOf(int threads)
    {
        ctx.detailedLog.clear();
        ctx.errors.clear();
        ctx.taskCounters = RunCounters{};
        Executor executor(ctx);
        executor.setCopyThreads(threads);
        run(a, b, &executor);
        return ctx.detailedLog;
    }
    void emptyB()
    {
        QDir(b).removeRecursively();
        QDir().mkpath(b);
    }
};

TEST_F(ParallelCopyTest, TheLogAndCountersAreThoseOfOneCopyAfterAnother)
{
    makeTree(40);
    const QString oneByOne = logOf(1);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 80);
    // The plan keeps names: each line must still name its item's real paths.
    for (const QString &rel : tree(a)) {
        const QString line = rel.endsWith('/') ? "Created folder \"" + b + "/" + rel.chopped(1) + "\"\r"
                                               : "Copied file \"" + a + "/" + rel + "\" to:\r\"" + b + "/" + rel + "\"\r";
        EXPECT_TRUE(oneByOne.contains(line)) << line.toStdString();
    }
    EXPECT_EQ(oneByOne.count("Copied file") + oneByOne.count("Created folder"), tree(a).size());
    emptyB();
    EXPECT_EQ(logOf(6), oneByOne);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 80);
    EXPECT_EQ(tree(b), tree(a));
    expectWholeCopies();
    for (const QString &rel : filesUnder(a))
        EXPECT_EQ(mtimeOf(b + "/" + rel), mtimeOf(a + "/" + rel)) << rel.toStdString();
}

// A folder takes its final date once the copies into it have landed, though
// the walk goes on into the next folders while they run: both for folders
// made by the run and for folders already on both sides.
TEST_F(ParallelCopyTest, FoldersGetTheirDatesAfterTheCopiesStillRunningIntoThem)
{
    makeTree(25);
    auto ageFolders = [this](qint64 age) {
        setMtime(a + "/one", now - age);
        setMtime(a + "/two", now - age - 7);
    };
    auto expectFolderDates = [this](const char *round) {
        for (const char *folder : {"one", "two"})
            EXPECT_EQ(mtimeOf(b + "/" + folder), mtimeOf(a + "/" + folder)) << round << " " << folder;
    };
    ageFolders(5000);
    logOf(6);
    expectFolderDates("made");
    for (int i = 0; i < 3; ++i)
        for (const char *folder : {"one", "two"})
            writeFile(a + "/" + folder + QString("/new%1").arg(i), QByteArray(64 * 1024, 'n'), now);
    ageFolders(4000);
    logOf(6);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 6);
    expectFolderDates("on both sides");
    expectWholeCopies();
}

// Older copies on side B, every third one replaced; one of them locked, which
// is refused one at a time between the copies running beside each other.
TEST_F(ParallelCopyTest, ReplacementsBesideOthersLogAsOneAfterAnother)
{
    makeTree(30);
    auto replaceRun = [this](int threads) {
        emptyB();
        logOf(1);
        const QStringList files = tree(b);
        for (qsizetype i = 0; i < files.size(); i += 3)
            if (!files[i].endsWith('/'))
                writeFile(b + "/" + files[i], "old", now - 1000);
        writeFile(b + "/two/f003", "old", now - 1000);
        const bool locked = lock(b + "/two/f003");
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

// Names in a folder the run made are taken as free without a look; another
// program that takes some of them meanwhile must meet what a look would have
// given: its files replaced, a locked one refused, nothing written twice.
TEST_F(ParallelCopyTest, NamesTakenInAFolderTheRunMadeAreReplacedAsIfLookedAt)
{
    makeTree(20);
    bool locked = false;
    auto plantedRun = [&](int threads) {
        emptyB();
        bool planted = false;
        ctx.onItemStarted = [&] {
            if (planted || !QFileInfo(b + "/two").isDir())
                return;
            planted = true;
            for (const char *name : {"f004", "f005", "f011", "f019"})
                writeFile(b + "/two/" + name, "theirs", now - 1000);
            locked = lock(b + "/two/f011");
        };
        const QString log = logOf(threads);
        ctx.onItemStarted = nullptr;
        EXPECT_TRUE(planted);
        const QStringList errors = ctx.errors;
        if (locked) {
            EXPECT_EQ(readFile(b + "/two/f011"), QByteArray("theirs"));
            ChangeFileAttributes(b + "/two/f011", AttributeChange{-1, 0, -1, -1});
            QFile::remove(b + "/two/f011");
            QFile::copy(a + "/two/f011", b + "/two/f011");
        }
        expectWholeCopies();
        return std::make_tuple(log, ctx.taskCounters.b.filesReplaced, ctx.taskCounters.b.filesCopied, errors);
    };
    const auto serial = plantedRun(1);
    const auto parallel = plantedRun(6);
    EXPECT_EQ(std::get<0>(parallel), std::get<0>(serial));
    EXPECT_EQ(std::get<1>(parallel), locked ? 3 : 4);
    EXPECT_EQ(std::get<1>(parallel), std::get<1>(serial));
    EXPECT_EQ(std::get<2>(parallel), std::get<2>(serial));
    EXPECT_EQ(std::get<3>(parallel), std::get<3>(serial));
    EXPECT_EQ(std::get<3>(parallel).size(), locked ? 1 : 0);
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
    const QStringList files = filesUnder(b);
    for (const QString &rel : files)
        EXPECT_TRUE(ctx.detailedLog.contains("\"" + a + "/" + rel + "\"")) << rel.toStdString();
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, files.size());
    EXPECT_LT(files.size(), 60);
}

TEST_F(ParallelCopyTest, FilesThatFitOnlyOneByOneAreNeverLeftHalfWritten)
{
    if (!useSmallDestination("1m"))
        GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    // Each fits alone; together they need three times the room.
    const auto content = [](int i) { return QByteArray(250 * 1024, char('k' + i)); };
    for (int i = 0; i < 12; ++i)
        writeFile(a + QString("/f%1").arg(i, 2, 10, QChar('0')), content(i), now);
    run();
    expectWholeCopies();
    const int copied = int(tree(b).size());
    EXPECT_GE(copied, 1);
    EXPECT_LT(copied, 12);
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, copied);
    EXPECT_EQ(ctx.errors.size(), 12 - copied);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(readFile(a + QString("/f%1").arg(i, 2, 10, QChar('0'))), content(i));
}

} // namespace
