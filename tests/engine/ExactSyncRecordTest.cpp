// The index written from what a run recorded against the one a full
// listing of both trees gives, on whole runs of real folders.
#include "EngineFixture.h"
#include "engine/ExactSyncIndex.h"
#include "engine/ExactSyncRecorder.h"
#include "engine/FilterItemPolicy.h"
#include "platform/FileName.h"
#include "platform/PropertyList.h"
#include "support/Files.h"
#include "platform/Xattr.h"
#include <random>
#include <sys/xattr.h>

using namespace qm;

namespace {

class ExactSyncRecordTest : public qmtest::ExactSyncEngineTest {
protected:
    void SetUp() override
    {
        ExactSyncEngineTest::SetUp();
        ctx.set.makeDetailedLog = false;
    }

    struct Options {
        bool recorded = true;
        std::function<bool(const QString &)> switchOff; // by the item's source path
        QByteArray failCopiesOf;                        // source path suffix
    };

    void switchOff(CopyItem &item, const SidePaths &paths, const Options &o, QStringList *keep)
    {
        for (CopyItem &sub : item.subItems) {
            const SidePaths subPaths = sub.pathsIn(paths);
            if (sub.copyMode > CopyMode::Folder && o.switchOff(subPaths.source)) {
                sub.copyMode = -sub.copyMode;
                AddOrRemoveItemToExactIndex(*keep, sub, subPaths, 1);
            }
            switchOff(sub, subPaths, o, keep);
        }
    }

    // One run of the pair as the end of a real run carries it: scan, the
    // preview's switches, the copy, then the index.
    void runPair(const QString &source, const QString &dest, const Options &o)
    {
        ExactSyncRecorder record;
        ctx.recorder = o.recorded ? &record : nullptr;
        ctx.restoreDates.clear();
        TaskScan t = scan(source, dest);
        QStringList keep;
        if (o.switchOff)
            switchOff(t.root, t.root.pathsIn({}), o, &keep);
        std::vector<CopyItem> plan;
        if (t.planned)
            plan.push_back(std::move(t.root));
        Executor executor(ctx);
        if (!o.failCopiesOf.isEmpty())
            executor.setCopyFaultHook([suffix = o.failCopiesOf](const char *op, const QByteArray &path) {
                return qstrcmp(op, "write") == 0 && path.endsWith(suffix) ? EIO : 0;
            });
        executor.MainCopy({SessionTasks{0, {0}}}, plan);
        ctx.recorder = nullptr;
        ExactSyncWriteRequest r;
        r.source = source;
        r.dest = dest;
        r.runStart = ctx.start;
        r.addToExactIndex = keep;
        r.restoreBackupDates = ctx.restoreDates;
        r.runCompleted = true;
        r.recorded = o.recorded ? &record : nullptr;
        ASSERT_TRUE(ExactSyncIndexStore(indexFolder).write(r).written);
    }

    void runPair(const QString &source, const QString &dest) { runPair(source, dest, Options()); }

    LoadedExactSyncIndex index(const QString &source, const QString &dest)
    {
        std::optional<LoadedExactSyncIndex> loaded = ExactSyncIndexStore(indexFolder).load(source, dest, true);
        EXPECT_TRUE(loaded);
        return loaded.value_or(LoadedExactSyncIndex());
    }

    static QByteArray backupAttribute(const QString &path)
    {
        char raw[64];
        const ssize_t n = ::lgetxattr(nativeName(path).constData(), xattr::kBackupDate, raw, sizeof raw);
        return n < 0 ? QByteArray("none") : QByteArray(raw, int(n));
    }

    void nextRound()
    {
        clock += 100;
        ctx.start = QDateTime::fromSecsSinceEpoch(clock, Qt::UTC);
    }

    // The same random trees and edits, made again from the same seed.
    class RandomPair {
    public:
        RandomPair(int seed, const QString &a, const QString &b) : m_rng(quint32(seed)), m_a(a), m_b(b) {}

        void build(qint64 now)
        {
            for (const char *folder : {"", "/d0", "/d0/s0", "/d1", "/d1/s1/t"}) {
                for (int f = 0; f < 5; ++f) {
                    const QString rel = QString::fromLatin1(folder) + "/f" + QString::number(f);
                    const qint64 mtime = now - 500 - pick(300);
                    const int where = pick(10); // 0..6 both, 7 A only, 8 B only, 9 B only, changed
                    for (const QString &root : {m_a, m_b}) {
                        const bool onA = root == m_a;
                        if ((where == 7 && !onA) || (where >= 8 && onA))
                            continue;
                        QDir().mkpath(QFileInfo(root + rel).path());
                        ExactSyncRecordTest::writeFile(root + rel, "x" + rel.toUtf8(), mtime);
                        const int dated = pick(3); // none, earlier, later than the change
                        if (dated)
                            ExactSyncRecordTest::setBackupDate(root + rel, dated == 1 ? mtime - 10 : mtime + 10);
                    }
                }
            }
            ::symlink("f0", nativeName(m_a + "/d0/link").constData());
        }

        // Changes, additions and deletions on both sides, and a few files on B
        // that refuse any change.
        void edit(qint64 clock, bool lockSome)
        {
            for (const QString &root : {m_a, m_b}) {
                const QStringList items = ExactSyncRecordTest::tree(root);
                for (const QString &rel : items) {
                    const QString path = root + '/' + rel;
                    const int what = pick(12);
                    if (rel.endsWith('/')) {
                        if (what == 0)
                            QDir(path).removeRecursively();
                        else if (what == 1)
                            ExactSyncRecordTest::writeFile(path + "new", "n", clock - 50);
                        continue;
                    }
                    if (!QFileInfo::exists(path))
                        continue;
                    if (what <= 1)
                        QFile::remove(path);
                    else if (what <= 3)
                        ExactSyncRecordTest::writeFile(path, "changed", clock + 5 + what);
                    else if (what == 4 && lockSome && root == m_b)
                        ExactSyncRecordTest::lock(path);
                }
                const QString fresh = root + "/fresh" + QString::number(pick(3));
                QDir().mkpath(fresh);
                ExactSyncRecordTest::writeFile(fresh + "/n" + QString::number(pick(4)), "f", clock - 20);
            }
        }

    private:
        int pick(int n) { return int(m_rng() % quint32(n)); }
        std::mt19937 m_rng;
        QString m_a, m_b;
    };
};

} // namespace

TEST_F(ExactSyncRecordTest, TheRecordedIndexEqualsAFullListingOfBothTrees)
{
    struct Round {
        bool edits;
        bool lockSome;
        const char *failCopiesOf; // source names whose copy fails
        int switchOffEvery;       // 0: none
    };
    const Round rounds[] = {
        {false, false, "", 0},   // first run: everything one-sided is copied
        {true, false, "", 0},    // changes, additions and deletions travel
        {true, true, "f3", 3},   // refused changes, failed copies, switched-off items
        {false, false, "", 0},   // what the previous round left undone
        {true, false, "new", 2}, // failed and switched-off copies of new items
    };
    // Runs dated after every real change time: each file recorded and left
    // alone since is one whose stamp the scan may take as still valid.
    clock = QDateTime::currentSecsSinceEpoch() + 1000;
    for (int seed : {1, 2, 3}) {
        SCOPED_TRACE(seed);
        const QString listed = dir.path() + "/L" + QString::number(seed);
        const QString recorded = dir.path() + "/R" + QString::number(seed);
        RandomPair pairL(seed, listed + "/A", listed + "/B"), pairR(seed, recorded + "/A", recorded + "/B");
        pairL.build(now);
        pairR.build(now);
        int r = 0;
        for (const Round &round : rounds) {
            SCOPED_TRACE(r++);
            nextRound();
            if (round.edits) {
                pairL.edit(clock, round.lockSome);
                pairR.edit(clock, round.lockSome);
            }
            Options o;
            o.failCopiesOf = round.failCopiesOf;
            if (round.switchOffEvery)
                o.switchOff = [every = round.switchOffEvery](const QString &path) {
                    return qHash(path.mid(path.indexOf("/A/"))) % uint(every) == 0;
                };
            o.recorded = false;
            runPair(listed + "/A", listed + "/B", o);
            o.recorded = true;
            runPair(recorded + "/A", recorded + "/B", o);

            for (const char *side : {"/A", "/B"}) {
                const QStringList items = tree(listed + side);
                ASSERT_EQ(items, tree(recorded + side)) << "both runs did the same";
                for (const QString &rel : items)
                    EXPECT_EQ(backupAttribute(listed + side + '/' + rel),
                              backupAttribute(recorded + side + '/' + rel)) << qPrintable(rel);
            }
            const LoadedExactSyncIndex l = index(listed + "/A", listed + "/B");
            const LoadedExactSyncIndex x = index(recorded + "/A", recorded + "/B");
            EXPECT_EQ(l.source.toNode(), x.source.toNode());
            EXPECT_EQ(l.dest.toNode(), x.dest.toNode());
        }
    }
}

// What the run could not do stays recorded as it is on disk, so that the
// next run neither deletes nor loses anything because of it.
TEST_F(ExactSyncRecordTest, FailedSkippedAndSwitchedOffOperationsAreRecordedAsTheyAreOnDisk)
{
    writeFile(a + "/both", "b", now - 500);
    writeFile(a + "/goes", "g", now - 500);
    writeFile(a + "/refused", "r", now - 500);
    nextRound();
    runPair(a, b);
    ASSERT_TRUE(exists(b + "/goes") && exists(b + "/refused"));

    writeFile(a + "/failsOnce", "f", clock);
    writeFile(a + "/switchedOff", "s", clock);
    ASSERT_TRUE(QFile::remove(a + "/goes"));
    ASSERT_TRUE(QFile::remove(a + "/refused"));
    const bool locks = lock(b + "/goes");
    nextRound();
    Options o;
    o.failCopiesOf = "/failsOnce";
    o.switchOff = [](const QString &path) { return path.endsWith("/switchedOff") || path.endsWith("/refused"); };
    runPair(a, b, o);
    const LoadedExactSyncIndex after = index(a, b);
    EXPECT_FALSE(exists(b + "/failsOnce") || after.ItWasExixting(b + "/failsOnce", 0)) << "a failed copy";
    EXPECT_FALSE(exists(b + "/switchedOff") || after.ItWasExixting(b + "/switchedOff", 0));
    EXPECT_TRUE(after.ItWasExixting(a + "/refused", 1)) << "a refused deletion stays proposed";
    if (locks) {
        EXPECT_TRUE(exists(b + "/goes") && after.ItWasExixting(b + "/goes", 0)) << "a failed deletion";
    }

    qm::UnlockWholeItem(b);
    nextRound();
    runPair(a, b);
    EXPECT_TRUE(exists(a + "/failsOnce") && exists(b + "/failsOnce")) << "copied, not deleted";
    EXPECT_TRUE(exists(a + "/switchedOff") && exists(b + "/switchedOff"));
    EXPECT_FALSE(exists(b + "/refused")) << "the refused deletion is carried out now";
}

// A recorded file's stamp is taken as still valid only when nothing touched
// the file since the run that wrote the index began; anything else is read
// again, and stamped when due.
TEST_F(ExactSyncRecordTest, AFileTouchedSinceTheLastRunBeganIsReadAgainForItsStamp)
{
    struct Case {
        const char *name;
        std::function<void(const QString &)> touch; // between the runs, on both sides
        bool stampedAgain;
    };
    const qint64 old = now - 500;
    const Case cases[] = {
        {"alone", [](const QString &) {}, false},
        {"stampSetBack", [old](const QString &p) { setBackupDate(p, old - 10); }, true},
        {"modeChanged", [](const QString &p) { QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner); }, false},
    };
    for (const Case &c : cases)
        writeFile(a + "/" + c.name, c.name, old);
    for (int i = 0; i < 20; ++i) // a folder large enough to be read ahead
        writeFile(a + "/more" + QString::number(i), "m", old);
    // The first run starts now: every change made after it is later than
    // its start, as on a real clock.
    ctx.start = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch(), Qt::UTC);
    runPair(a, b);
    const QByteArray first = backupAttribute(a + "/alone");
    for (const Case &c : cases) {
        c.touch(a + "/" + c.name);
        c.touch(b + "/" + c.name);
    }
    writeFile(a + "/fresh", "f", old); // copied, so stamped by the second run
    ctx.start = ctx.start.addSecs(100);
    runPair(a, b);
    const QByteArray second = backupAttribute(b + "/fresh");
    ASSERT_NE(first, second);
    for (const Case &c : cases)
        for (const QString &side : {a, b})
            EXPECT_EQ(backupAttribute(side + "/" + c.name), c.stampedAgain ? second : first)
                << c.name << " " << qPrintable(side);
}

// The pair file is written straight from the trees: what the property-list
// writer makes of the same content, to the byte.
TEST_F(ExactSyncRecordTest, ThePairFileIsWhatThePropertyListWriterMakesOfIt)
{
    for (const char *name : {"plain", "a&b<c>d", "q\"uote'", "tab\tname", "line\nfeed", "cr\rname",
                             "\xc3\xbc\xf0\x9f\x98\x80", "Zed", "aaa"})
        writeFile(a + "/" + QString::fromUtf8(name), "x", now - 500);
    QDir().mkpath(b + "/empty");
    QDir().mkpath(a + "/deep/er");
    writeFile(a + "/deep/er/f", "x", now - 500);
    ASSERT_TRUE(qmtest::writeBytes(a + "/" + fromNativeName("\xff\xfe"), "x")) << "a name that is not text";
    nextRound();
    runPair(a, b);
    QFile pair(indexFolder + "/QM3ExactSyncIndex 1.plist");
    ASSERT_TRUE(pair.open(QIODevice::ReadOnly));
    const QByteArray written = pair.readAll();
    QVariant content;
    QString error;
    ASSERT_TRUE(PropertyList::parseWithGeneralReader(written, "pair", &content, &error)) << qPrintable(error);
    EXPECT_EQ(written, PropertyList::serialize(content));
    // Read back by the pair file's own reader as the general one reads it.
    const QVariantMap general = content.toMap();
    const LoadedExactSyncIndex read = index(a, b);
    EXPECT_EQ(read.source.toNode(), general.value("treeSource").toMap().value("A").toMap());
    EXPECT_EQ(read.dest.toNode(), general.value("treeDest").toMap().value("B").toMap());
    EXPECT_EQ(read.lastExactSyncDate, general.value("lastExactSyncDate").toDateTime());
    EXPECT_TRUE(index(a, b).ItWasExixting(b + "/cr\rname", 0));
}
