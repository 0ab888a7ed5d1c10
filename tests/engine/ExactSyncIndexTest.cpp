#include "EngineFixture.h"
#include "engine/ExactSyncIndex.h"
#include "engine/FilterItemPolicy.h"
#include "fs/FSCopyObject.h"
#include "platform/FileName.h"
#include "platform/PropertyList.h"
#include "platform/Xattr.h"
#include "support/Files.h"
#include <sys/xattr.h>
#include <unistd.h>

using namespace qm;

static void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

TEST(ExactSyncTree, RecordsFoldersAndFilesAndSurvivesItsStoredForm)
{
    ExactSyncTree tree;
    const int docs = tree.addFolder(ExactSyncTree::kRoot, "Docs");
    tree.addFile(docs, "a.txt");
    tree.addFolder(docs, "Empty");
    tree.addFile(ExactSyncTree::kRoot, "top");

    const std::optional<ExactSyncTree> back = ExactSyncTree::fromNode(tree.toNode());
    ASSERT_TRUE(back);
    // Names are exact, the task folder itself is always there, and a file
    // never stands for a deeper path.
    const std::pair<QStringList, bool> cases[] = {
        {{"Docs"}, true}, {{"Docs", "a.txt"}, true}, {{"Docs", "Empty"}, true}, {{"top"}, true},
        {{}, true}, {{"Docs", "b.txt"}, false}, {{"docs"}, false}, {{"top", "below"}, false},
        {{"Docs", "a.txt", "x"}, false}};
    for (const ExactSyncTree *t : {static_cast<const ExactSyncTree *>(&tree), &*back})
        for (const auto &[path, in] : cases)
            EXPECT_EQ(t->contains(path), in) << qPrintable(path.join('/'));
    const QVariantMap stored = tree.toNode();
    EXPECT_EQ(stored.value("top"), QVariant(QString("")));
    EXPECT_EQ(stored.value("Docs").toMap().value("Empty"), QVariant(QVariantMap()));
}

// Names come in any order, and one may come twice (a listed name that the
// preview also kept): the last entry stands, before the tree is finished
// and after.
TEST(ExactSyncTree, ANameAddedTwiceKeepsItsLastEntry)
{
    ExactSyncTree tree;
    tree.addFile(ExactSyncTree::kRoot, "b");
    tree.addFile(ExactSyncTree::kRoot, "twice");
    tree.addFile(ExactSyncTree::kRoot, "a");
    const int twice = tree.addFolder(ExactSyncTree::kRoot, "twice");
    tree.addFile(twice, "inner");
    ExactSyncTree finished = tree;
    finished.finish();
    for (const ExactSyncTree *t : {&tree, &finished}) {
        EXPECT_EQ(t->folderAt({"twice"}), twice);
        EXPECT_FALSE(t->hasFile(ExactSyncTree::kRoot, "twice"));
        EXPECT_TRUE(t->hasFile(ExactSyncTree::kRoot, "a"));
        EXPECT_TRUE(t->contains({"twice", "inner"}));
        EXPECT_FALSE(t->contains({"c"}));
    }
    EXPECT_EQ(finished.toNode(), tree.toNode());
    EXPECT_EQ(finished.toNode().keys(), QStringList({"a", "b", "twice"}));
}

TEST(ExactSyncTree, RefusesNodesOfAnotherLayout)
{
    EXPECT_FALSE(ExactSyncTree::fromNode(QVariant(QString(""))));
    EXPECT_FALSE(ExactSyncTree::fromNode(QVariantMap{{"a", qlonglong(1)}}));
    EXPECT_FALSE(ExactSyncTree::fromNode(QVariantMap{{"a", "file"}}));
    EXPECT_FALSE(ExactSyncTree::fromNode(QVariantMap{{"d", QVariantMap{{"x", QVariantList()}}}}));
    EXPECT_TRUE(ExactSyncTree::fromNode(QVariantMap()));
}

TEST(LoadedExactSyncIndex, PreviewSwitchesKeepTheVanishedPathOfIndexItemsOnly)
{
    CopyItem removeOnA; // B deleted it since the last run: the path that is gone is dest
    removeOnA.name = "x";
    const SidePaths paths = removeOnA.pathsIn({"/A", "/B"});
    removeOnA.copyMode = CopyMode::RemoveA;
    CopyItem plain = removeOnA;
    plain.ifSkipAddToExactIndex = -1;
    removeOnA.ifSkipAddToExactIndex = 0;
    QStringList list;
    AddOrRemoveItemToExactIndex(list, plain, paths, 1);
    EXPECT_TRUE(list.isEmpty()) << "an item the index did not decide is not recorded";
    AddOrRemoveItemToExactIndex(list, removeOnA, paths, 1);
    AddOrRemoveItemToExactIndex(list, removeOnA, paths, 1);
    EXPECT_EQ(list, QStringList{"/B/x"});
    removeOnA.ifSkipAddToExactIndex = 1;
    AddOrRemoveItemToExactIndex(list, removeOnA, paths, 1);
    EXPECT_EQ(list, (QStringList{"/B/x", "/A/x"}));
    AddOrRemoveItemToExactIndex(list, removeOnA, paths, 0);
    EXPECT_EQ(list, QStringList{"/B/x"});
}

namespace {

class IndexStoreTest : public qmtest::EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        QDir().mkpath(a + "/Docs");
        QDir().mkpath(b + "/Docs");
        for (const QString &f : {a + "/Docs/shared.txt", b + "/Docs/shared.txt", a + "/onlyA.txt", b + "/onlyB.txt"})
            file(f);
    }
    static void file(const QString &path, const QByteArray &content = "x")
    {
        ASSERT_TRUE(qmtest::writeBytes(path, content));
    }
    ExactSyncWriteRequest request(const QString &source, const QString &dest) const
    {
        ExactSyncWriteRequest r;
        r.source = source;
        r.dest = dest;
        r.runStart = start;
        r.runCompleted = true;
        return r;
    }
    ExactSyncWriteResult writeIndex(const QString &source, const QString &dest)
    {
        return store().write(request(source, dest));
    }
    ExactSyncIndexStore store() const { return ExactSyncIndexStore(indexFolder); }
    QVariantMap readPlist(const QString &path) const
    {
        QVariantMap m;
        QString error;
        EXPECT_TRUE(PropertyList::readDictionary(path, &m, &error)) << qPrintable(error);
        return m;
    }
    void writePlist(const QString &path, const QVariantMap &m) const
    {
        QString error;
        ASSERT_TRUE(PropertyList::write(path, m, &error)) << qPrintable(error);
    }
    // A main index of the given version with one row naming `pairFile`.
    QVariantMap mainIndex(qlonglong version, const QString &pairFile) const
    {
        return {{"fileVersion", version},
                {"indexFilesList", QVariantList{QVariantMap{
                                       {"absolutePathSource", a}, {"absolutePathDest", b},
                                       {"indexFileName", pairFile}}}}};
    }
    QVariantList rows() const { return readPlist(mainPath()).value("indexFilesList").toList(); }
    QString mainPath() const { return indexFolder + "/QM3ExactSyncMainIndex.plist"; }
    QString pairPath(int n) const { return indexFolder + "/QM3ExactSyncIndex " + QString::number(n) + ".plist"; }
    QDateTime backupDate(const QString &path) const { return LPUtilities().GetDate(path, kBackupDate); }

    const QString root = dir.path();
    const QString indexFolder = root + "/support/ExactSync Indexes";
    QDateTime start = QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC);
};

class ExactSyncRunTest : public qmtest::ExactSyncEngineTest {
protected:
    // One run of the pair, then the end-of-run index write.
    qm::TaskScan runOnce()
    {
        clock += 100;
        ctx.start = QDateTime::fromSecsSinceEpoch(clock, Qt::UTC);
        ctx.restoreDates.clear();
        const qm::TaskScan t = run();
        ExactSyncWriteRequest r;
        r.source = a;
        r.dest = b;
        r.runStart = ctx.start;
        r.restoreBackupDates = ctx.restoreDates;
        r.runCompleted = ctx.copying;
        EXPECT_TRUE(ExactSyncIndexStore(indexFolder).write(r).written);
        return t;
    }
};

} // namespace

TEST_F(IndexStoreTest, AFirstWriteCreatesTheMainIndexAndThePairFile)
{
    EXPECT_FALSE(store().load(a, b, true)) << "no index before the first run";
    const ExactSyncWriteResult result = writeIndex(a, b);
    ASSERT_TRUE(result.written) << qPrintable(result.errorMessage);
    EXPECT_FALSE(result.failed());

    const QVariantMap main = readPlist(mainPath());
    EXPECT_EQ(main.value("fileVersion").toLongLong(), 320);
    EXPECT_EQ(main.value("indexFilesList").toList(), mainIndex(320, "QM3ExactSyncIndex 1.plist")["indexFilesList"]);
    const QVariantMap pair = readPlist(pairPath(1));
    EXPECT_EQ(pair.value("fileVersion").toLongLong(), 320);
    EXPECT_EQ(pair.value("lastExactSyncDate").toDateTime(), start);
    EXPECT_TRUE(pair.value("treeSource").toMap().contains("A"));
    EXPECT_TRUE(pair.value("treeDest").toMap().contains("B"));

    const std::optional<LoadedExactSyncIndex> index = store().load(a, b, true);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->lastExactSyncDate, start);
    EXPECT_TRUE(index->ItWasExixting(a + "/onlyA.txt", 1));
    EXPECT_TRUE(index->ItWasExixting(a + "/Docs/shared.txt", 1));
    EXPECT_FALSE(index->ItWasExixting(a + "/onlyB.txt", 1));
    EXPECT_TRUE(index->ItWasExixting(b + "/onlyB.txt", 0));
    EXPECT_FALSE(index->ItWasExixting(b + "/onlyA.txt", 0));
    EXPECT_EQ(store().lastExactSyncDate(a, b), start);

    // Every file got the run's start as backup date.
    EXPECT_EQ(backupDate(a + "/Docs/shared.txt"), start);
    EXPECT_EQ(backupDate(b + "/onlyB.txt"), start);

    // A second pair gets the next free name; a rewrite keeps the pair's file.
    ASSERT_TRUE(QDir().mkpath(root + "/C"));
    ASSERT_TRUE(writeIndex(a, root + "/C").written);
    ASSERT_TRUE(writeIndex(a, b).written);
    ASSERT_EQ(rows().size(), 2);
    EXPECT_EQ(rows()[1].toMap().value("indexFileName"), "QM3ExactSyncIndex 2.plist");
    EXPECT_FALSE(QFile::exists(pairPath(3)));
}

TEST_F(IndexStoreTest, ASwappedPairFindsEachTreeForTheFolderItDescribes)
{
    ASSERT_TRUE(writeIndex(a, b).written);
    const std::optional<LoadedExactSyncIndex> swapped = store().load(b, a, true);
    ASSERT_TRUE(swapped);
    EXPECT_TRUE(swapped->ItWasExixting(b + "/onlyB.txt", 1)) << "B is now the source";
    EXPECT_TRUE(swapped->ItWasExixting(a + "/onlyA.txt", 0));
    EXPECT_FALSE(swapped->ItWasExixting(b + "/onlyA.txt", 1));

    // Rewritten the other way: the row keeps its orientation, the file
    // takes this run's.
    ASSERT_TRUE(writeIndex(b, a).written);
    ASSERT_EQ(rows().size(), 1);
    EXPECT_EQ(rows()[0].toMap().value("absolutePathSource"), a);
    EXPECT_EQ(readPlist(pairPath(1)).value("absolutePathSource"), b);
    const std::optional<LoadedExactSyncIndex> straight = store().load(a, b, true);
    ASSERT_TRUE(straight);
    EXPECT_TRUE(straight->ItWasExixting(a + "/onlyA.txt", 1));
    EXPECT_TRUE(straight->ItWasExixting(b + "/onlyB.txt", 0));
}

TEST_F(IndexStoreTest, AnotherTaskKindDiscardsThePairsIndex)
{
    const QString c = root + "/C";
    ASSERT_TRUE(QDir().mkpath(c));
    ASSERT_TRUE(writeIndex(a, b).written);
    ASSERT_TRUE(writeIndex(a, c).written);
    EXPECT_FALSE(store().load(b, a, false)) << "a backup of the pair uses no index";
    EXPECT_FALSE(QFile::exists(pairPath(1)));
    ASSERT_EQ(rows().size(), 1);
    EXPECT_EQ(rows()[0].toMap().value("absolutePathDest"), c);
    EXPECT_FALSE(store().load(a, b, true));
    EXPECT_TRUE(store().load(a, c, true)) << "other pairs keep theirs";
}

TEST_F(IndexStoreTest, ADamagedOrForeignIndexIsSimplyUnavailable)
{
    ASSERT_TRUE(writeIndex(a, b).written);
    const QVariantMap goodMain = readPlist(mainPath());
    const QVariantMap goodPair = readPlist(pairPath(1));
    auto restore = [&] {
        writePlist(mainPath(), goodMain);
        writePlist(pairPath(1), goodPair);
        ASSERT_TRUE(store().load(a, b, true));
    };
    // The console's date asks only for the files, not for their trees.
    auto expectUnavailable = [&](const char *what, bool filesUsable = false) {
        EXPECT_FALSE(store().load(a, b, true)) << what;
        EXPECT_EQ(store().lastExactSyncDate(a, b).has_value(), filesUsable) << what;
        // Whatever the index says, the pair's folders are left alone.
        EXPECT_TRUE(QFile::exists(a + "/onlyA.txt") && QFile::exists(b + "/onlyB.txt")) << what;
    };
    const auto with = [](QVariantMap m, const char *key, const QVariant &value) {
        if (value.isValid())
            m[key] = value;
        else
            m.remove(key);
        return m;
    };

    file(mainPath(), "<?xml version=\"1.0\"?><plist><dict><key>fileVer");
    expectUnavailable("a truncated main index");
    restore();
    ASSERT_TRUE(QFile::remove(mainPath()));
    expectUnavailable("no main index");
    writePlist(mainPath(), with(goodMain, "fileVersion", qlonglong(321)));
    expectUnavailable("a main index of a later version");
    writePlist(mainPath(), with(goodMain, "fileVersion", QVariant()));
    expectUnavailable("a main index without version");
    restore();
    file(pairPath(1), "garbage");
    expectUnavailable("a corrupt pair file");
    writePlist(pairPath(1), with(goodPair, "fileVersion", qlonglong(321)));
    expectUnavailable("a pair file of a later version");
    writePlist(pairPath(1), with(goodPair, "absolutePathDest", root + "/Other"));
    expectUnavailable("a pair file of another pair");
    writePlist(pairPath(1), with(goodPair, "treeDest", QVariantMap{{"NotB", QVariantMap()}}));
    expectUnavailable("a tree stored under another folder name", true);
    writePlist(pairPath(1), with(goodPair, "treeSource", QVariantMap{{"A", QVariantMap{{"onlyA.txt", qlonglong(7)}}}}));
    expectUnavailable("a tree of another layout", true);
    ASSERT_TRUE(QFile::remove(pairPath(1)));
    expectUnavailable("a missing pair file");
}

// A large pair file is read with its second tree on another thread: the
// layout this program writes and those only a general reader would take
// must read the same.
TEST_F(IndexStoreTest, ALargeIndexReadsTheSameInEveryLayout)
{
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i) {
        file(a + QString("/Docs/a long name, as a document has %1.txt").arg(i));
        file(b + QString("/Docs/b long name, as a document has %1.txt").arg(i));
    }
    ASSERT_TRUE(writeIndex(a, b).written);
    QFile f(pairPath(1));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    f.close();
    ASSERT_GT(written.size(), 256 * 1024) << "large enough to be read side by side";

    const qsizetype dateAt = written.indexOf("\t\t<key>lastExactSyncDate</key>");
    const qsizetype destAt = written.indexOf("\t\t<key>treeDest</key>\n");
    const qsizetype sourceAt = written.indexOf("\t\t<key>treeSource</key>\n");
    const qsizetype endAt = written.lastIndexOf("\t</dict>\n</plist>");
    ASSERT_TRUE(dateAt > 0 && dateAt < destAt && destAt < sourceAt && sourceAt < endAt);
    const QByteArray head = written.left(dateAt), date = written.mid(dateAt, destAt - dateAt);
    const QByteArray dest = written.mid(destAt, sourceAt - destAt), source = written.mid(sourceAt, endAt - sourceAt);
    const QByteArray tail = written.mid(endAt);
    const struct {
        const char *layout;
        QByteArray bytes;
    } cases[] = {
        {"as written", written},
        {"the source tree first", head + date + source + dest + tail},
        {"a key between the trees", head + dest + date + source + tail},
        {"a tree given twice, which the general reader takes", head + date + dest + source + source + tail},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.layout);
        ASSERT_TRUE(qmtest::writeBytes(pairPath(1), c.bytes));
        const std::optional<LoadedExactSyncIndex> index = store().load(a, b, true);
        ASSERT_TRUE(index);
        EXPECT_EQ(index->lastExactSyncDate, start);
        int found = 0;
        for (int i = 0; i < kFiles; ++i) {
            found += index->ItWasExixting(a + QString("/Docs/a long name, as a document has %1.txt").arg(i), 1);
            found += index->ItWasExixting(b + QString("/Docs/b long name, as a document has %1.txt").arg(i), 0);
            found -= index->ItWasExixting(a + QString("/Docs/b long name, as a document has %1.txt").arg(i), 1);
            found -= index->ItWasExixting(b + QString("/Docs/a long name, as a document has %1.txt").arg(i), 0);
        }
        EXPECT_EQ(found, 2 * kFiles);
        EXPECT_TRUE(index->ItWasExixting(a + "/onlyA.txt", 1));
        EXPECT_TRUE(index->ItWasExixting(b + "/onlyB.txt", 0));
    }
}

TEST_F(IndexStoreTest, AMainIndexOfALaterVersionIsResetWhenWritten)
{
    ASSERT_TRUE(QDir().mkpath(indexFolder));
    writePlist(mainPath(), mainIndex(321, "theirs.plist"));
    ASSERT_TRUE(writeIndex(a, b).written);
    EXPECT_EQ(readPlist(mainPath()).value("fileVersion").toLongLong(), 320);
    ASSERT_EQ(rows().size(), 1);
    EXPECT_EQ(rows()[0].toMap().value("indexFileName"), "QM3ExactSyncIndex 1.plist")
        << "the other version's row is dropped, not reused";
}

TEST_F(IndexStoreTest, ARowCannotReachOutsideTheIndexFolder)
{
    file(root + "/victim.plist", "keep me");
    ASSERT_TRUE(QDir().mkpath(indexFolder));
    writePlist(mainPath(), mainIndex(320, "../../victim.plist"));
    EXPECT_FALSE(store().load(a, b, false));
    EXPECT_TRUE(store().discard(a, b));
    ASSERT_TRUE(writeIndex(a, b).written);
    EXPECT_EQ(readFile(root + "/victim.plist"), "keep me");
    EXPECT_TRUE(QFile::exists(pairPath(1)));
}

TEST_F(IndexStoreTest, AStoppedRunLeavesThePreviousIndexUntouched)
{
    ASSERT_TRUE(writeIndex(a, b).written);
    const QByteArray bytes = readFile(pairPath(1));
    file(a + "/new.txt");
    ExactSyncWriteRequest stopped = request(a, b);
    stopped.runStart = start.addDays(1);
    stopped.runCompleted = false;
    const ExactSyncWriteResult result = store().write(stopped);
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.failed());
    EXPECT_EQ(readFile(pairPath(1)), bytes);
    EXPECT_FALSE(backupDate(a + "/new.txt").isValid()) << "nothing was stamped either";
    const std::optional<LoadedExactSyncIndex> index = store().load(a, b, true);
    ASSERT_TRUE(index);
    EXPECT_FALSE(index->ItWasExixting(a + "/new.txt", 1));
}

TEST_F(IndexStoreTest, RefusedDeletionsStayRecordedAndConflictsKeepTheirBackupDates)
{
    // onlyB.txt was deleted on A since the last run; the user switched its
    // planned deletion on B off, so A's tree must still name it.
    ExactSyncWriteRequest r = request(a, b);
    r.addToExactIndex = {a + "/onlyB.txt"};
    r.restoreBackupDates = {a + "/Docs/shared.txt", b + "/Docs/shared.txt"};
    const QDateTime earlier = start.addDays(-10);
    ASSERT_TRUE(LPUtilities().SetBackupDate(a + "/Docs/shared.txt", UTCDateTime::fromDateTime(earlier)));
    ASSERT_TRUE(LPUtilities().SetBackupDate(b + "/onlyB.txt", UTCDateTime::fromDateTime(earlier)));
    ASSERT_TRUE(store().write(r).written);

    const std::optional<LoadedExactSyncIndex> index = store().load(a, b, true);
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->ItWasExixting(a + "/onlyB.txt", 1));
    EXPECT_EQ(backupDate(a + "/Docs/shared.txt"), earlier) << "conflict kept";
    EXPECT_FALSE(backupDate(b + "/Docs/shared.txt").isValid()) << "conflict kept (none before)";
    EXPECT_EQ(backupDate(b + "/onlyB.txt"), earlier)
        << "the item that still exists keeps its date: it was not synchronized";
    EXPECT_EQ(backupDate(a + "/onlyA.txt"), start);
}

TEST_F(IndexStoreTest, WriteFailuresAreReportedAndLeaveNoStaleIndex)
{
    file(root + "/plainFile");
    ExactSyncWriteResult result = ExactSyncIndexStore(root + "/plainFile/ExactSync Indexes").write(request(a, b));
    EXPECT_FALSE(result.written);
    const QString text = "Can't create the ExactSync Index Folder \"" + root + "/plainFile/ExactSync Indexes\"";
    EXPECT_EQ(result.logLine, "√ " + text + "\r");
    EXPECT_TRUE(result.errorMessage.startsWith(text + ".\r")) << qPrintable(result.errorMessage);

    ASSERT_TRUE(writeIndex(a, b).written);
    ASSERT_TRUE(QFile::remove(pairPath(1)));
    ASSERT_TRUE(QDir().mkpath(pairPath(1) + "/in the way"));
    result = writeIndex(a, b);
    EXPECT_FALSE(result.written);
    EXPECT_TRUE(result.errorMessage.startsWith("Can't update the ExactSync Index File \"" + pairPath(1)))
        << qPrintable(result.errorMessage);
    EXPECT_FALSE(store().load(a, b, true));
}

// Writing the index stamps a file only when it changed after its backup
// date; an older date can only make the next run more careful.
TEST_F(IndexStoreTest, TheIndexStampsOnlyFilesChangedSinceTheirBackupDate)
{
    const auto at = [this](int days) { return UTCDateTime::fromDateTime(start.addDays(days)); };
    const auto touch = [this](const QString &path, int days) { setMtime(path, start.addDays(days).toSecsSinceEpoch()); };
    touch(a + "/onlyA.txt", -5); // kept: unchanged since its backup date
    ASSERT_TRUE(LPUtilities().SetBackupDate(a + "/onlyA.txt", at(-4)));
    touch(a + "/Docs/shared.txt", -1);
    ASSERT_TRUE(LPUtilities().SetBackupDate(a + "/Docs/shared.txt", at(-4)));
    touch(b + "/onlyB.txt", -3); // changed in the same second as its date
    ASSERT_TRUE(LPUtilities().SetBackupDate(b + "/onlyB.txt", at(-3)));
    ASSERT_EQ(::symlink("onlyA.txt", QFile::encodeName(a + "/link").constData()), 0);
    ASSERT_TRUE(writeIndex(a, b).written);
    EXPECT_EQ(backupDate(a + "/onlyA.txt"), start.addDays(-4));
    EXPECT_EQ(backupDate(a + "/Docs/shared.txt"), start);
    EXPECT_EQ(backupDate(b + "/Docs/shared.txt"), start) << "never stamped before";
    EXPECT_EQ(backupDate(b + "/onlyB.txt"), start);
    char raw[8];
    EXPECT_LT(::lgetxattr(QFile::encodeName(a + "/link").constData(), xattr::kBackupDate, raw, 8), 0)
        << "a link is not stamped";
}


TEST_F(ExactSyncRunTest, DeletionsAndAdditionsTravelAcrossRuns)
{
    for (const char *name : {"/kept", "/goesAway", "/dir/inner"})
        writeFile(a + name, "k", now - 500);
    writeFile(b + "/fromB", "b", now - 500);
    runOnce(); // first run: everything one-sided is copied, nothing deleted
    EXPECT_EQ(tree(a), tree(b));
    EXPECT_TRUE(exists(b + "/goesAway") && exists(a + "/fromB"));

    // Deleted on A: removed from B. Added on B: copied to A.
    ASSERT_TRUE(QFile::remove(a + "/goesAway"));
    ASSERT_TRUE(QDir(a + "/dir").removeRecursively());
    writeFile(b + "/addedOnB", "n", clock + 10);
    EXPECT_EQ(modeOf(runOnce(), "/goesAway"), qm::CopyMode::RemoveB);
    EXPECT_FALSE(exists(b + "/goesAway") || exists(b + "/dir"));
    EXPECT_TRUE(exists(a + "/addedOnB"));
    EXPECT_EQ(tree(a), tree(b));

    // Deleted on A and changed on B since: a conflict, put to the user.
    ctx.set.conflictExactSync.ask = true;
    ASSERT_TRUE(QFile::remove(a + "/kept"));
    writeFile(b + "/kept", "changed", clock + 50);
    runOnce();
    ASSERT_EQ(ctx.questions.size(), 1);
    EXPECT_EQ(ctx.questions[0].kind, 41);
    EXPECT_TRUE(exists(b + "/kept")) << "a skipped conflict deletes nothing";
    EXPECT_EQ(readFile(a + "/kept"), "changed") << "the changed file goes back to A";
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
}

TEST_F(ExactSyncRunTest, ALostOrCorruptIndexDeletesNothing)
{
    writeFile(a + "/one", "1", now - 500);
    writeFile(a + "/two", "2", now - 500);
    runOnce();
    ASSERT_TRUE(exists(b + "/one"));

    ASSERT_TRUE(QFile::remove(a + "/one"));
    ASSERT_TRUE(qmtest::writeBytes(indexFolder + "/QM3ExactSyncIndex 1.plist",
                                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>tree"));
    EXPECT_EQ(modeOf(runOnce(), "/one"), qm::CopyMode::CopyBToA) << "behaves as a first run";
    EXPECT_TRUE(exists(a + "/one") && exists(b + "/one"));

    ASSERT_TRUE(QFile::remove(a + "/two"));
    ASSERT_TRUE(QDir(indexFolder).removeRecursively());
    runOnce();
    EXPECT_TRUE(exists(a + "/two") && exists(b + "/two"));
}

// --- Names are bytes -----------------------------------------------------------------

TEST(ExactSyncTree, NamesTheXmlCannotHoldReadBackExactly)
{
    const QString names[] = {fromNativeName("report\x01"), fromNativeName("bad\xffname"),
                             QString("report"), QString("tab\there"), QString("cr\rlf\n"),
                             QString("100%"), QString("%2Fx"), QString::fromUtf16(u"non\uFFFE"),
                             QString("caf\u00e9")};
    ExactSyncTree tree;
    const int folder = tree.addFolder(ExactSyncTree::kRoot, fromNativeName("dir\x02"));
    for (const QString &n : names)
        tree.addFile(folder, n);
    QTemporaryDir dir;
    const QString file = dir.path() + "/tree.plist";
    QString error;
    ASSERT_TRUE(PropertyList::write(file, QVariantMap{{"t", tree.toNode()}}, &error)) << qPrintable(error);
    QVariantMap read;
    ASSERT_TRUE(PropertyList::readDictionary(file, &read, &error)) << qPrintable(error);
    const std::optional<ExactSyncTree> back = ExactSyncTree::fromNode(read.value("t"));
    ASSERT_TRUE(back);
    for (const QString &n : names) {
        EXPECT_TRUE(back->contains({fromNativeName("dir\x02"), n})) << qPrintable(displayName(n));
    }
    // Look-alikes of the awkward names were never recorded.
    for (const QString &n : {QString("report"), QString("bad\uFFFDname"), QString("dir")}) {
        EXPECT_FALSE(back->contains({n})) << qPrintable(n);
    }
    EXPECT_FALSE(back->contains({fromNativeName("dir\x02"), "report\uFFFD"}));
}

TEST_F(ExactSyncRunTest, NamesThatAreNotTextAreCopiedSynchronizedAndDeleted)
{
    const QString bad = fromNativeName("bad\xffname");
    const QString ctl = fromNativeName("report\x01");
    const QString folder = fromNativeName("f\xe9lder"); // Latin-1, not UTF-8
    writeFile(a + '/' + bad, "bad", now - 500);
    writeFile(a + '/' + ctl, "ctl", now - 500);
    writeFile(a + '/' + folder + "/inner", "in", now - 500);
    const QString fromB = fromNativeName("only\xfe" "B");
    writeFile(b + '/' + fromB, "b", now - 500);
    runOnce();
    EXPECT_EQ(readFile(a + '/' + fromB), "b") << "and the other way";
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
    EXPECT_EQ(readFile(b + '/' + bad), "bad");
    EXPECT_EQ(readFile(b + '/' + ctl), "ctl");
    EXPECT_EQ(readFile(b + '/' + folder + "/inner"), "in");
    EXPECT_EQ(tree(a), tree(b));
    EXPECT_EQ(ctx.taskCounters.b.filesCopied, 3);
    EXPECT_TRUE(ctx.detailedLog.contains("bad\\xFFname")) << "the log shows the name readably";
    EXPECT_TRUE(ctx.detailedLog.contains("report\\x01"));

    // Deleted on B: deleted on A, not brought back. A new "report" on A is
    // another name and is copied, never taken for the deleted one.
    ASSERT_TRUE(::unlink(nativeName(b + '/' + ctl).constData()) == 0);
    writeFile(a + "/report", "new", clock + 10);
    runOnce();
    EXPECT_FALSE(exists(a + '/' + ctl)) << "the deletion on B travels to A";
    EXPECT_EQ(readFile(b + "/report"), "new");
    EXPECT_TRUE(exists(a + "/report"));

    // The next run leaves all of it alone; deleting the other names travels too.
    ASSERT_TRUE(::unlink(nativeName(a + '/' + bad).constData()) == 0);
    ASSERT_TRUE(FSDeleteObjects(b + '/' + folder) == Status::noErr);
    runOnce();
    EXPECT_FALSE(exists(b + '/' + bad));
    EXPECT_FALSE(exists(a + '/' + folder));
    EXPECT_FALSE(exists(a + '/' + ctl)) << "not brought back";
    EXPECT_EQ(tree(a), (QStringList{fromB, "report"}));
    EXPECT_EQ(tree(a), tree(b));
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
}

TEST_F(ExactSyncRunTest, TrashedNamesThatAreNotTextLeaveNothingBehind)
{
    ctx.set.isMoveToTrash = true;
    const QString bad = fromNativeName("bad\xffname");
    writeFile(a + '/' + bad, "bad", now - 500);
    writeFile(a + "/kept", "k", now - 500); // A is not emptied, only this name goes
    runOnce();
    ASSERT_TRUE(exists(b + '/' + bad));
    ASSERT_TRUE(::unlink(nativeName(a + '/' + bad).constData()) == 0);
    runOnce();
    EXPECT_FALSE(exists(b + '/' + bad));
    EXPECT_EQ(readFile(home.dataDir() + "/Trash/files/" + bad), "bad");
    EXPECT_TRUE(ctx.errors.isEmpty()) << qPrintable(ctx.errors.join('\n'));
}
