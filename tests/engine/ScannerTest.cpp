#include "engine/EngineFixture.h"
#include "engine/FilterItemPolicy.h"
#include "engine/ScanListing.h"
#include "engine/WorkerPool.h"
#include "support/Files.h"

#include "platform/Xattr.h"

#include <QFile>
#include <QMap>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace qm;

namespace qmtest {
namespace {

class ScannerTest : public EngineTest {
protected:
    // Planned items other than mode 1: what the counters must agree with.
    static int countToDo(const CopyItem &item)
    {
        int n = 0;
        for (const CopyItem &sub : item.subItems)
            n += (sub.copyMode != CopyMode::Folder) + countToDo(sub);
        return n;
    }
};


class PolicyScanTest : public ScannerTest {
protected:
    FilterItemPolicy policy{FilterItemPolicyWiring{&ctx.set, QString(), {}, {}, {}, {}}};
    void usePolicy(const QStringList &ownFolders)
    {
        policy = FilterItemPolicy(FilterItemPolicyWiring{&ctx.set, QString(), ownFolders, {}, {}, {}});
        ctx.policy = &policy;
    }
};

TEST_F(PolicyScanTest, TheProgramsOwnFoldersAreLeftOutAtAnyDepth)
{
    // A backed-up home folder holds the support folder a few levels down.
    const QString support = a + "/home/.local/share/Quillmere";
    writeFile(support + "/ExactSync Indexes/QM3ExactSyncMainIndex.plist", "i", now);
    writeFile(a + "/home/.local/share/other/keep", "k", now);
    writeFile(a + "/top/doc", "d", now);
    usePolicy({support, a + "/top/doc"});
    run();
    EXPECT_EQ(tree(b), (QStringList{"home/", "home/.local/", "home/.local/share/",
                                    "home/.local/share/other/", "home/.local/share/other/keep",
                                    "top/"}));
}

TEST_F(PolicyScanTest, ALinkGivenAsTaskFolderIsScannedAsTheFolderItNames)
{
    const QString real = dir.path() + "/RealSource";
    writeFile(real + "/f", "f", now);
    const QString link = dir.path() + "/LinkToSource";
    ASSERT_EQ(::symlink(QFile::encodeName(real).constData(), QFile::encodeName(link).constData()), 0);
    usePolicy({});
    const TaskScan t = run(link, b);
    EXPECT_EQ(t.sourceFolder, real);
    EXPECT_EQ(t.root.pathsIn({}).source, real);
    EXPECT_EQ(tree(b), QStringList{"f"});
    EXPECT_TRUE(QFileInfo(link).isSymLink());
}


// Items are read in their side's listing: each pair must point at its own
// items' reads, whether a name is on one side or both, and where names
// differ only in case (apart on this volume).
TEST(ScanListing, EachPairPointsAtTheReadsOfItsOwnItems)
{
    QTemporaryDir dir;
    const QString a = dir.path() + "/a", b = dir.path() + "/b";
    ASSERT_TRUE(QDir().mkpath(a) && QDir().mkpath(b));
    QStringList readA, readB;
    auto reader = [](const QString &folder, QStringList *read) {
        return [folder, read](const xattr::Entry &entry, const QString &name) {
            EXPECT_EQ(QString::fromUtf8(entry.path), folder + "/" + name);
            read->append(name);
        };
    };
    // Side A holds more names, so that its items' places differ from B's;
    // B is written in another order, and some names are not ASCII.
    for (const char *name : {"both1", "both2", "both3", "a1", "a2", "a3", "a4", "a5", "Case", "caf\u00e9", "\u00c3\u00a9"})
        ASSERT_TRUE(writeBytes(a + "/" + QString::fromUtf8(name), "x"));
    for (const char *name : {"\u00e9", "b1", "case", "both3", "caf\u00e9", "both1", "both2"})
        ASSERT_TRUE(writeBytes(b + "/" + QString::fromUtf8(name), "x"));
    std::vector<ScanPairNames> together;
    // Side B listed beside side A, or after it (where it may share A's names).
    for (bool beside : {true, false}) {
        SCOPED_TRACE(beside ? "beside" : "after");
        readA.clear();
        readB.clear();
        WorkerPool aside(1);
        std::vector<ScanPairNames> pairs;
        QString unreadable;
        ASSERT_TRUE(pairFolderNames(a, b, true, &pairs, &unreadable, beside ? &aside : nullptr,
                                    reader(a, &readA), reader(b, &readB)));
        ASSERT_EQ(pairs.size(), 14u);
        for (const ScanPairNames &p : pairs) {
            EXPECT_EQ(p.slotA >= 0, p.inA) << qPrintable(p.nameA);
            EXPECT_EQ(p.slotB >= 0, p.inB) << qPrintable(p.nameB);
            if (p.inA) {
                EXPECT_EQ(readA.value(p.slotA), p.nameA);
            }
            if (p.inB) {
                EXPECT_EQ(readB.value(p.slotB), p.nameB);
            }
        }
        if (beside) {
            together = pairs;
            continue;
        }
        for (size_t i = 0; i < pairs.size(); ++i) {
            EXPECT_EQ(pairs[i].nameA, together[i].nameA);
            EXPECT_EQ(pairs[i].nameB, together[i].nameB);
            EXPECT_EQ(pairs[i].inA, together[i].inA);
            EXPECT_EQ(pairs[i].inB, together[i].inB);
        }
    }
}

TEST_F(ScannerTest, ATwoSecondToleranceLeavesUpToTwoSecondsAloneInBothTaskKinds)
{
    ctx.set.modificationDelta = 2;
    for (int d = 0; d <= 3; ++d) {
        writeFile(a + QStringLiteral("/f%1").arg(d), "new", now + d, 500000000);
        writeFile(b + QStringLiteral("/f%1").arg(d), "old", now, 0);
        writeFile(a + QStringLiteral("/g%1").arg(d), "old", now, 0);
        writeFile(b + QStringLiteral("/g%1").arg(d), "new", now + d, 500000000);
    }
    for (bool sync : {false, true}) {
        ctx.set.isSyncOn = sync;
        const TaskScan t = scan();
        for (int d = 0; d <= 2; ++d) {
            EXPECT_EQ(modeOf(t, QStringLiteral("/f%1").arg(d)), 0) << "sync " << sync << " d " << d;
            EXPECT_EQ(modeOf(t, QStringLiteral("/g%1").arg(d)), 0) << "sync " << sync << " d " << d;
        }
        EXPECT_EQ(modeOf(t, "/f3"), CopyMode::ReplaceB);
        // A newer destination: synchronization brings it back; a backup
        // without rules leaves it (a conflict of kind 12, skipped).
        EXPECT_EQ(modeOf(t, "/g3"), sync ? int(CopyMode::ReplaceA) : 0);
    }
    // Without tolerance any whole second counts and fractions do not.
    ctx.set.modificationDelta = 0;
    ctx.set.isSyncOn = false;
    writeFile(a + "/half", "x", now, 900000000);
    writeFile(b + "/half", "x", now, 100000000);
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/half"), 0);
    EXPECT_EQ(modeOf(t, "/f1"), CopyMode::ReplaceB);
}


// Names differing only in case pair up across the sides, but two such names
// on one side are both kept.
// This folder's file system tells case apart: Report and report are two
// items on either side (a case-insensitive volume is in PathLimitsTest).
TEST_F(ScannerTest, CaseOnlyDifferencesAreDistinctNamesOnACaseSensitiveVolume)
{
    writeFile(a + "/Report", "new", now + 10);
    writeFile(b + "/report", "old", now);
    writeFile(a + "/Notes", "1", now);
    writeFile(a + "/notes", "2", now);
    const TaskScan t = scan();
    ASSERT_EQ(t.root.subItems.size(), 3u);
    QStringList pairs;
    for (const CopyItem &item : t.root.subItems)
        pairs << item.sourceName() + ">" + item.destName() + " " + QString::number(item.copyMode);
    pairs.sort();
    EXPECT_EQ(pairs, (QStringList{"Notes>Notes " + QString::number(CopyMode::CopyAToB),
                                  "Report>Report " + QString::number(CopyMode::CopyAToB),
                                  "notes>notes " + QString::number(CopyMode::CopyAToB)}));
}

// Folders are listed ahead of the walk, except those that look large, which
// the walk lists when it comes to them: both plan every item.
TEST_F(ScannerTest, LargeAndSmallFoldersBesideEachOtherArePlannedWhole)
{
    const int perLarge = 3000; // enough for a folder of several blocks of names
    for (const QString folder : {"a-small", "b-large", "c-small", "d-large", "e-small"}) {
        const int count = folder.endsWith("large") ? perLarge : 20;
        for (int i = 0; i < count; ++i)
            writeFile(a + "/" + folder + QString("/file-with-a-longer-name-%1").arg(i, 5, 10, QChar('0')), "",
                      now);
        writeFile(b + "/" + folder + "/only-on-b", "", now); // both sides are listed
    }
    ctx.set.isExactOn = true;
    const TaskScan t = scan();
    int copies = 0, removals = 0;
    for (const CopyItem &folder : t.root.subItems) {
        for (const CopyItem &item : folder.subItems) {
            copies += item.copyMode == CopyMode::CopyAToB;
            removals += item.copyMode == CopyMode::RemoveB;
        }
    }
    EXPECT_EQ(copies, 2 * perLarge + 3 * 20);
    EXPECT_EQ(removals, 5);
}

TEST_F(ScannerTest, PlainBackupIgnoresDestinationOnlyItemsAndExactBackupRemovesThem)
{
    writeFile(b + "/extra", "x", now);
    QDir().mkpath(b + "/extraFolder");
    EXPECT_FALSE(scan().planned);

    ctx.set.isExactOn = true;
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/extra"), CopyMode::RemoveB);
    EXPECT_EQ(modeOf(t, "/extraFolder"), CopyMode::RemoveB);
    EXPECT_EQ(ctx.taskCounters.b.filesScanned, 1);
    EXPECT_EQ(ctx.taskCounters.b.foldersScanned, 1);
}

TEST_F(ScannerTest, ATaskOfTwoFilesComparesOnlyThatName)
{
    writeFile(a + "/one.txt", "new", now + 10);
    writeFile(a + "/other.txt", "x", now);
    writeFile(b + "/one.txt", "old", now);
    const TaskScan t = scan(a + "/one.txt", b + "/one.txt");
    ASSERT_TRUE(t.planned);
    EXPECT_EQ(t.root.pathsIn({}).source, a);
    ASSERT_EQ(t.root.subItems.size(), 1u);
    EXPECT_EQ(t.root.subItems[0].pathsIn(t.root.pathsIn({})).source, a + "/one.txt");
    EXPECT_EQ(t.root.subItems[0].copyMode, CopyMode::ReplaceB);
}


TEST_F(ScannerTest, InvisibleItemsAreLeftOutUnlessAskedAndDotNamesStayIn)
{
    writeFile(a + "/.profile", "x", now);
    writeFile(a + "/hidden", "x", now);
    FinderInfo fi;
    fi.setFlags(FinderInfo::kIsInvisible);
    if (xattr::set(QFile::encodeName(a + "/hidden"), xattr::kFinderInfo, fi.encode()) != Status::noErr)
        GTEST_SKIP() << "extended attributes are not supported here";
    TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/.profile"), CopyMode::CopyAToB);
    EXPECT_EQ(modeOf(t, "/hidden"), 0);

    ctx.set.isInvisibleOn = true;
    t = scan();
    EXPECT_EQ(modeOf(t, "/hidden"), CopyMode::CopyAToB);
}

TEST_F(ScannerTest, SocketsAreIgnoredAndPackagesCountAsFiles)
{
    const QString sock = a + "/sock";
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, QFile::encodeName(sock).constData(), sizeof addr.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    writeFile(a + "/Tool.app/Contents/x", "x", now);
    const TaskScan t = scan();
    ::close(fd);
    EXPECT_EQ(modeOf(t, "/sock"), 0);
    const CopyItem *app = find(t.root, "/Tool.app");
    ASSERT_NE(app, nullptr);
    EXPECT_FALSE(app->hasSubItems);
    EXPECT_EQ(app->copyMode, CopyMode::CopyAToB);
}

// A filter that records what the scan handed it.
class RecordingFilter : public PermissiveItemPolicy {
public:
    QMap<QString, ItemInfo> seen;
    bool isToBeFiltered(const QString &path, const ItemInfo &info) override
    {
        seen.insert(path, info);
        return path.endsWith("/out");
    }
};

TEST_F(ScannerTest, FiltersReceiveTheItemsFullCatalogInformation)
{
    writeFile(a + "/kept", "x", now);
    writeFile(a + "/out", "x", now);
    const UTCDateTime created = UTCDateTime::fromTimespec({time_t(now - 5000), 0});
    if (xattr::set(QFile::encodeName(a + "/kept"), xattr::kCreationDate, created.encode()) != Status::noErr)
        GTEST_SKIP() << "extended attributes are not supported here";
    RecordingFilter filter;
    ctx.policy = &filter;
    ctx.set.isFilterOn = true;
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/kept"), CopyMode::CopyAToB);
    EXPECT_EQ(find(t.root, "/out"), nullptr);
    ASSERT_TRUE(filter.seen.contains(a + "/kept"));
    EXPECT_EQ(filter.seen[a + "/kept"].creationDate.tv_sec, now - 5000);
}

TEST_F(ScannerTest, SkipEmptyFoldersDropsEmptyAndDesktopMetadataOnlyFolders)
{
    QDir().mkpath(a + "/empty");
    writeFile(a + "/meta/.DS_Store", "x", now);
    writeFile(a + "/full/file", "x", now);
    TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/empty"), CopyMode::CopyAToB);
    EXPECT_EQ(modeOf(t, "/meta"), CopyMode::CopyAToB);

    ctx.set.isSkipEmptyFolders = true;
    ctx.taskCounters = {};
    ctx.plan = {};
    t = scan();
    EXPECT_EQ(ctx.taskCounters.itemsToDo, countToDo(t.root));
    EXPECT_EQ(ctx.plan.itemsToDoAtoB, 2);
    EXPECT_EQ(find(t.root, "/empty"), nullptr);
    EXPECT_EQ(find(t.root, "/meta"), nullptr);
    EXPECT_EQ(modeOf(t, "/full"), CopyMode::CopyAToB);
    EXPECT_EQ(modeOf(t, "/full/file"), CopyMode::CopyAToB);
}

TEST_F(ScannerTest, NewItemsOnlyNeverReplacesButStillCopiesAndRemoves)
{
    ctx.set.isNewItemsOnly = true;
    ctx.set.isExactOn = true;
    writeFile(a + "/both", "new", now + 100);
    writeFile(b + "/both", "old", now);
    writeFile(a + "/new", "x", now);
    writeFile(b + "/gone", "x", now);
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/both"), 0);
    EXPECT_EQ(modeOf(t, "/new"), CopyMode::CopyAToB);
    EXPECT_EQ(modeOf(t, "/gone"), CopyMode::RemoveB);
}


TEST_F(ScannerTest, AFolderPairGoneFromBothSidesFailsTheWalkWithoutCountingAnError)
{
    CopyItem gone;
    gone.name = "vanished";
    gone.copyMode = CopyMode::RemoveB;
    gone.hasSubItems = true;
    Scanner scanner(ctx);
    EXPECT_FALSE(scanner.ScanSingleFolder(gone, gone.pathsIn({a, b})));
    EXPECT_EQ(gone.copyMode, CopyMode::Folder);
    ASSERT_EQ(ctx.errors.size(), 1);
    EXPECT_EQ(ctx.errors[0], "Can't find the folders \"" + a + "/vanished\" and \r\"" + b + "/vanished\"");
    EXPECT_EQ(ctx.taskCounters.totError, 0);
}

TEST_F(ScannerTest, AFolderFacingAFileIsAnErrorAndLeftOut)
{
    QDir().mkpath(a + "/thing");
    writeFile(b + "/thing", "x", now);
    writeFile(a + "/ok", "x", now);
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/thing"), 0);
    EXPECT_EQ(modeOf(t, "/ok"), CopyMode::CopyAToB);
    ASSERT_EQ(ctx.errors.size(), 1);
    EXPECT_TRUE(ctx.errors[0].startsWith(
        "The source item is a Folder and the destination item is a File with the same name.\r\""));
    EXPECT_EQ(ctx.taskCounters.totError, 1);
    EXPECT_TRUE(ctx.detailedLog.startsWith(QStringLiteral("√ The source item")));
}

TEST_F(ScannerTest, AStopDuringTheScanEndsItKeepingWhatWasPlanned)
{
    for (int i = 0; i < 5; ++i)
        writeFile(a + QStringLiteral("/f%1").arg(i), "x", now);
    ctx.set.conflictBackup2.ask = true;
    writeFile(a + "/f2", "old", now);
    writeFile(b + "/f2", "newer", now + 50);
    ctx.answer = [](const ConflictQuestion &) { return ConflictReply{ConflictReply::Choice::Stop, false}; };
    const TaskScan t = scan();
    EXPECT_TRUE(ctx.userStopped);
    EXPECT_FALSE(ctx.copying);
    EXPECT_EQ(modeOf(t, "/f0"), CopyMode::CopyAToB);
    EXPECT_EQ(modeOf(t, "/f1"), CopyMode::CopyAToB);
    EXPECT_EQ(find(t.root, "/f3"), nullptr);
}


// An Exact Sync index that remembers chosen paths.
class RememberingPolicy : public PermissiveItemPolicy {
public:
    QStringList existed;
    bool loadExactSyncIndex(const QString &, const QString &) override { return true; }
    bool itWasExisting(const QString &path, int) override { return existed.contains(path); }
};

class ConflictTest : public ScannerTest {
protected:
    qint64 lastRun = now - 100;
    RememberingPolicy index;
    // A file modified at `mtime` whose backup date is the last run.
    void stamped(const QString &path, qint64 mtime)
    {
        writeFile(path, "x", mtime);
        setBackupDate(path, lastRun);
    }
    // A file on both sides, both with the last run's backup date.
    void pair(const QString &name, qint64 aTime, qint64 bTime)
    {
        stamped(a + "/" + name, aTime);
        stamped(b + "/" + name, bTime);
    }
    // An exact synchronization whose index remembers `existed`.
    void exactSyncRemembering(const QStringList &existed)
    {
        index.existed = existed;
        ctx.policy = &index;
        ctx.set.isSyncOn = true;
        ctx.set.isExactOn = true;
    }
};

TEST_F(ConflictTest, BackupOverAChangedDestinationIsKind11SkippedByDefault)
{
    pair("f", now, now - 50); // both changed since the last run, source newer
    pair("plain", now, lastRun - 10); // destination untouched since
    TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/f"), 0);
    EXPECT_EQ(modeOf(t, "/plain"), CopyMode::ReplaceB);
    EXPECT_EQ(ctx.taskCounters.conflictsSkipped, 1);
    EXPECT_TRUE(ctx.questions.isEmpty());

    ctx.taskCounters = {};
    ctx.set.conflictBackup.ask = true;
    ctx.answer = [](const ConflictQuestion &) { return ConflictReply{ConflictReply::Choice::Carry, false}; };
    t = scan();
    ASSERT_EQ(ctx.questions.size(), 1);
    EXPECT_EQ(ctx.questions[0].kind, 11);
    EXPECT_EQ(ctx.questions[0].copyMode, CopyMode::ReplaceB);
    ASSERT_TRUE(ctx.questions[0].referenceDate.has_value());
    EXPECT_EQ(ctx.questions[0].referenceDate->toSecsSinceEpoch(), lastRun);
    EXPECT_EQ(modeOf(t, "/f"), CopyMode::ReplaceB);

    ctx.questions.clear();
    ctx.set.conflictBackup = {true, false}; // rule on, ask off: no conflict looked for
    t = scan();
    EXPECT_TRUE(ctx.questions.isEmpty());
    EXPECT_EQ(modeOf(t, "/f"), CopyMode::ReplaceB);
}

TEST_F(ConflictTest, ANewerDestinationIsKind12AndTheRuleLetsTheSourceWin)
{
    pair("f", now - 50, now);
    ctx.set.conflictBackup2.ask = true;
    ctx.answer = [](const ConflictQuestion &) { return ConflictReply{ConflictReply::Choice::Skip, false}; };
    TaskScan t = scan();
    ASSERT_EQ(ctx.questions.size(), 1);
    EXPECT_EQ(ctx.questions[0].kind, 12);
    EXPECT_EQ(ctx.questions[0].referenceDate->toSecsSinceEpoch(), now);
    EXPECT_EQ(modeOf(t, "/f"), 0);
    EXPECT_EQ(ctx.taskCounters.conflictsSkipped, 1);

    ctx.set.conflictBackup2 = {true, false};
    t = scan();
    EXPECT_EQ(modeOf(t, "/f"), CopyMode::ReplaceB);
}

TEST_F(ConflictTest, ExactBackupAsksKind21ForAChangedAndKind22ForAnUnstampedFile)
{
    ctx.set.isExactOn = true;
    setBackupDate(b, lastRun);
    pair("kept", lastRun - 10, lastRun - 10); // a source that is not empty
    stamped(b + "/changed", now);
    stamped(b + "/untouched", lastRun - 10);
    writeFile(b + "/unstamped", "x", now);
    ctx.set.conflictExactBackup.ask = true;
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/untouched"), CopyMode::RemoveB);
    EXPECT_EQ(modeOf(t, "/changed"), 0);
    EXPECT_EQ(modeOf(t, "/unstamped"), 0);
    ASSERT_EQ(ctx.questions.size(), 2);
    EXPECT_EQ(ctx.questions[0].kind, 21);
    EXPECT_EQ(ctx.questions[1].kind, 22);
    EXPECT_EQ(ctx.taskCounters.conflictsSkipped, 2);
}

TEST_F(ConflictTest, SyncConflictIsKind31AndAReversedAnswerSwapsTheDirection)
{
    ctx.set.isSyncOn = true;
    ctx.set.isExactOn = true;
    ctx.set.conflictSync.ask = true;
    pair("f", now, now - 50);
    ctx.answer = [](const ConflictQuestion &) { return ConflictReply{ConflictReply::Choice::Carry, true}; };
    const TaskScan t = scan();
    ASSERT_EQ(ctx.questions.size(), 1);
    EXPECT_EQ(ctx.questions[0].kind, 31);
    EXPECT_TRUE(ctx.questions[0].canChangeDirection);
    EXPECT_EQ(modeOf(t, "/f"), CopyMode::ReplaceA);
    EXPECT_EQ(ctx.restoreDates, (QStringList{a + "/f", b + "/f"}));
}

TEST_F(ConflictTest, AnUnattendedRunNeverAsksAndCountsEveryConflict)
{
    ctx.unattended = true;
    ctx.set.isSyncOn = true;
    ctx.set.conflictSync.ask = true;
    pair("f", now, now - 50);
    pair("g", now - 50, now);
    const TaskScan t = scan();
    EXPECT_TRUE(ctx.questions.isEmpty());
    EXPECT_EQ(ctx.taskCounters.conflictsSkipped, 2);
    EXPECT_FALSE(t.planned);
}

TEST_F(ConflictTest, ExactSyncRemovesWhatTheOtherSideDeletedUnlessItChangedKind41)
{
    exactSyncRemembering({b + "/deletedOnB", b + "/changedSince"});
    pair("kept", lastRun - 10, lastRun - 10); // B was not emptied
    stamped(a + "/deletedOnB", lastRun - 10);
    stamped(a + "/changedSince", now);
    writeFile(a + "/brandNew", "x", now);
    const TaskScan t = scan();
    EXPECT_EQ(modeOf(t, "/deletedOnB"), CopyMode::RemoveA);
    EXPECT_EQ(find(t.root, "/deletedOnB")->ifSkipAddToExactIndex, 0);
    EXPECT_EQ(modeOf(t, "/changedSince"), CopyMode::CopyAToB); // skipped: goes back to B
    EXPECT_EQ(modeOf(t, "/brandNew"), CopyMode::CopyAToB);
    EXPECT_EQ(ctx.taskCounters.conflictsSkipped, 1);
}

TEST_F(ConflictTest, AFileAddedInAFolderTheOtherSideDeletedRecreatesTheFolderKind42)
{
    exactSyncRemembering({b + "/dir", b + "/dir/old"});
    pair("kept", lastRun - 10, lastRun - 10); // B was not emptied
    stamped(a + "/dir/old", lastRun - 10);
    writeFile(a + "/dir/added", "x", now);
    ctx.set.conflictExactSync.ask = true;
    const TaskScan t = scan();
    ASSERT_EQ(ctx.questions.size(), 1);
    EXPECT_EQ(ctx.questions[0].kind, 42);
    EXPECT_EQ(modeOf(t, "/dir/added"), CopyMode::CopyAToB);
    EXPECT_EQ(modeOf(t, "/dir/old"), CopyMode::RemoveA);
    EXPECT_EQ(modeOf(t, "/dir"), CopyMode::CopyAToB); // repaired: recreated on B
    EXPECT_EQ(ctx.taskCounters.itemsToDo, countToDo(t.root));
}

TEST_F(ConflictTest, ADesktopMetadataFileFollowsTheFolderItsSiblingKeeps)
{
    exactSyncRemembering({b + "/dir", b + "/dir/.DS_Store"});
    pair("kept", lastRun - 10, lastRun - 10); // B was not emptied
    writeFile(a + "/dir/.DS_Store", "x", lastRun - 10);
    writeFile(a + "/dir/added", "x", now);
    const TaskScan t = scan();
    const CopyItem *folder = find(t.root, "/dir");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->copyMode, CopyMode::CopyAToB);
    ASSERT_EQ(folder->subItems.size(), 2u);
    EXPECT_EQ(folder->subItems[0].copyMode, CopyMode::CopyAToB) << "not deleted from A";
    EXPECT_EQ(ctx.plan.itemsToDoDelete, 0);
    EXPECT_EQ(ctx.plan.itemsToDoAtoB, 3);
    EXPECT_EQ(ctx.taskCounters.itemsToDo, countToDo(t.root));
}

} // namespace
} // namespace qmtest
