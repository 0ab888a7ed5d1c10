#include "ScheduleTestSupport.h"
#include "schedule/Clock.h"
#include "schedule/Schedule.h"
#include "schedule/ScheduleHost.h"
#include "schedule/ScheduleMonitor.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

class FakeHost : public ScheduleHost {
public:
    QVariantList sessionList;
    int current = 0;
    bool syncAndQuitOn = false;
    bool runUnderway = false;
    bool console = true;

    QVariantList sessions() const override { return sessionList; }
    int sessionIndex() const override { return current; }
    bool syncAndQuit() const override { return syncAndQuitOn; }
    bool isRunUnderway() const override { return runUnderway; }
    bool consoleShown() const override { return console; }
};

struct StartedRun {
    int session;
    int entry;
    int trigger;
};

class ScheduleMonitorTest : public ::testing::Test {
protected:
    ScopedTimeZone zone{"Europe/Berlin"};
    TestClock clock{at(2026, 12, 7, 7, 0)};
    FakeHost host;
    ScheduleMonitor monitor{clock, host};
    QList<StartedRun> runs;
    bool acceptRuns = true;
    QTemporaryDir tempDir;

    void SetUp() override
    {
        host.sessionList = {session("Photos", {oneShot(at(2026, 12, 7, 8, 0)), oneShot(at(2026, 12, 7, 9, 0))}),
                            session("Mail", {oneShot(at(2026, 12, 7, 8, 30))})};
        monitor.setRunStarter([this](int sessionIndex, int entryIndex, int trigger) {
            runs.append({sessionIndex, entryIndex, trigger});
            return acceptRuns;
        });
    }

    QList<EntryState> states() const
    {
        QList<EntryState> list;
        for (const ScheduleEntry &entry : monitor.schedule().entries())
            list.append(entry.state);
        return list;
    }
};

TEST_F(ScheduleMonitorTest, NothingStartsBeforeTheMinute)
{
    monitor.rebuild(true);
    ASSERT_EQ(monitor.schedule().size(), 2);
    clock.set(at(2026, 12, 7, 7, 59, 59));
    monitor.checkIfTimeToSync();
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_EQ(monitor.currentEntryIndex(), -1);
}

TEST_F(ScheduleMonitorTest, DueEntryStartsATimerRunAndTurnsDoneWhenItEnds)
{
    const QString log = tempDir.filePath("QMLog_1.txt");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    monitor.rebuild(true);
    int blockedChanges = 0;
    QObject::connect(&monitor, &ScheduleMonitor::blockedChanged, [&](bool) { ++blockedChanges; });
    clock.set(at(2026, 12, 7, 8, 0, 5));
    monitor.checkIfTimeToSync();
    ASSERT_EQ(runs.size(), 1);
    EXPECT_EQ(runs.first().session, 0);
    EXPECT_EQ(runs.first().entry, 0);
    EXPECT_EQ(runs.first().trigger, 2);
    EXPECT_EQ(states(), (QList<EntryState>{EntryState::Run, EntryState::Wait}));
    EXPECT_TRUE(monitor.isBlocked());

    // While the run is under way nothing else starts.
    clock.set(at(2026, 12, 7, 9, 30));
    host.runUnderway = true;
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 1);

    EXPECT_TRUE(monitor.markDone(3, log));
    host.runUnderway = false;
    const ScheduleEntry done = monitor.schedule().entries().at(0);
    EXPECT_EQ(done.state, EntryState::Done);
    EXPECT_EQ(done.errors, 3);
    EXPECT_EQ(done.pathLogFile, log);
    EXPECT_FALSE(done.nextExe);
    EXPECT_TRUE(monitor.schedule().entries().at(1).nextExe);
    EXPECT_FALSE(monitor.isBlocked());
    EXPECT_EQ(blockedChanges, 2);
    EXPECT_FALSE(monitor.markDone(0, QString())); // nothing runs any more
}

TEST_F(ScheduleMonitorTest, MissedExecutionsRunOneAfterTheOther)
{
    monitor.rebuild(true);
    clock.set(at(2026, 12, 7, 9, 30)); // woke up after both
    monitor.checkIfTimeToSync();
    monitor.checkIfTimeToSync(); // the first is still running
    ASSERT_EQ(runs.size(), 1);
    EXPECT_TRUE(monitor.markDone(0, tempDir.filePath("missing.txt")));
    EXPECT_TRUE(monitor.schedule().entries().at(0).pathLogFile.isEmpty());
    monitor.checkIfTimeToSync();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs.at(1).entry, 1);
    EXPECT_TRUE(monitor.markDone(0, QString()));
    EXPECT_EQ(monitor.toolTip(), "Next Timer: undefined");
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 2);
}

TEST_F(ScheduleMonitorTest, ARefusedStartLeavesTheEntryWaiting)
{
    monitor.rebuild(true);
    acceptRuns = false;
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 1);
    EXPECT_EQ(states().first(), EntryState::Wait);
    EXPECT_FALSE(monitor.isBlocked());
    acceptRuns = true;
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 2);
    EXPECT_EQ(states().first(), EntryState::Run);
}

TEST_F(ScheduleMonitorTest, NoRunWhileAnotherPanelIsShownOrARunIsUnderway)
{
    monitor.rebuild(true);
    clock.set(at(2026, 12, 7, 8, 0));
    host.console = false;
    monitor.checkIfTimeToSync();
    host.console = true;
    host.runUnderway = true;
    monitor.checkIfTimeToSync();
    EXPECT_TRUE(runs.isEmpty());
    EXPECT_EQ(states().first(), EntryState::Wait);
}

TEST_F(ScheduleMonitorTest, ChangeOfDayDropsYesterdaysWaitingEntriesAndKeepsTheDoneOnes)
{
    monitor.rebuild(true);
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    monitor.markDone(0, QString());
    // Asleep from 08:01 to 09:00 the next day: the 9:00 execution is lost.
    clock.set(at(2026, 12, 8, 9, 0));
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 1);
    ASSERT_EQ(monitor.schedule().size(), 1);
    EXPECT_EQ(states(), QList<EntryState>{EntryState::Done});
    EXPECT_EQ(monitor.schedule().lastBuild(), at(2026, 12, 8, 9, 0));
    EXPECT_EQ(monitor.toolTip(), "Go to the Timer panel");
}

TEST_F(ScheduleMonitorTest, AWaitingEntryStaysDueForTheRestOfItsDayOnly)
{
    Schedule schedule;
    schedule.rebuild(host.sessionList, 0, 2, at(2026, 12, 7, 7, 0), true);
    EXPECT_EQ(schedule.dueIndex(at(2026, 12, 7, 7, 59)), -1);
    EXPECT_EQ(schedule.dueIndex(at(2026, 12, 7, 23, 59)), 0);
    EXPECT_EQ(schedule.dueIndex(at(2026, 12, 8, 8, 0)), -1);
    schedule.start(0);
    EXPECT_EQ(schedule.dueIndex(at(2026, 12, 7, 23, 0)), 0); // running is not done
    schedule.finish(0, 0, QString());
    EXPECT_EQ(schedule.dueIndex(at(2026, 12, 7, 23, 0)), 1);
}

TEST_F(ScheduleMonitorTest, RebuildKeepsRunAndDoneEntriesFirstUnlessFull)
{
    monitor.rebuild(true);
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    monitor.markDone(1, QString());
    monitor.checkIfTimeToSync(); // nothing more due at 8:00
    host.sessionList[0] = session("Photos", {oneShot(at(2026, 12, 7, 8, 0)), oneShot(at(2026, 12, 7, 7, 30)),
                                             oneShot(at(2026, 12, 7, 12, 0)), oneShot(at(2026, 12, 7, 10, 0))});
    monitor.rebuild(false);
    // The done 8:00 stays in front; 8:00 is built again from the current
    // minute on, 7:30 is past.
    EXPECT_EQ(dates(monitor.schedule().entries()),
              (QStringList{"2026-12-07 08:00", "2026-12-07 08:00", "2026-12-07 10:00", "2026-12-07 12:00"}));
    EXPECT_EQ(states().first(), EntryState::Done);
    EXPECT_EQ(monitor.schedule().nextIndex(), 1);
    monitor.rebuild(true);
    EXPECT_EQ(monitor.schedule().size(), 3);
    EXPECT_EQ(states().first(), EntryState::Wait);
}

TEST_F(ScheduleMonitorTest, RebuildDuringATimerRunStillFindsItsEntryAtTheEnd)
{
    monitor.rebuild(true);
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.checkIfTimeToSync();
    monitor.setDaysToCover(2); // refused while blocked
    EXPECT_EQ(monitor.daysToCover(), 1);
    monitor.rebuild(false);
    EXPECT_EQ(monitor.currentEntryIndex(), 0);
    EXPECT_TRUE(monitor.markDone(0, QString()));
    EXPECT_EQ(states().first(), EntryState::Done);
    EXPECT_FALSE(monitor.isBlocked());
}

TEST_F(ScheduleMonitorTest, SyncAndQuitEmptiesTheScheduleAndStopsTheCheck)
{
    monitor.setCheckEnabled(true);
    monitor.rebuild(true);
    EXPECT_FALSE(monitor.schedule().isEmpty());
    host.syncAndQuitOn = true;
    monitor.rebuild(false);
    EXPECT_TRUE(monitor.schedule().isEmpty());
    EXPECT_FALSE(monitor.isCheckEnabled());
    monitor.consolePanelShown();
    EXPECT_EQ(monitor.toolTip(), "Temporary off because of the SyncAndQuit");
    EXPECT_FALSE(monitor.isCheckEnabled());
}

TEST_F(ScheduleMonitorTest, ShowingTheConsoleDecidesWhetherTheCheckRuns)
{
    monitor.consolePanelShown();
    EXPECT_TRUE(monitor.isCheckEnabled());
    EXPECT_EQ(monitor.schedule().size(), 2);
    EXPECT_EQ(monitor.toolTip(), "Next Timer: 07 Dec 2026 - 08:00");

    host.sessionList[0] = session("Photos", {oneShot(at(2026, 12, 7, 8, 0))}, false);
    monitor.consolePanelShown();
    EXPECT_FALSE(monitor.isCheckEnabled());
    EXPECT_TRUE(monitor.schedule().isEmpty());
    EXPECT_EQ(monitor.toolTip(), "Go to the Timer panel");

    host.current = 3; // All Sessions: the second session still has timers
    monitor.consolePanelShown();
    EXPECT_TRUE(monitor.isCheckEnabled());
    ASSERT_EQ(monitor.schedule().size(), 1);
    EXPECT_EQ(monitor.schedule().entries().first().sessionName, "Mail");
    EXPECT_EQ(monitor.toolTip(), "Next Timer: 07 Dec 2026 - 08:30 (Mail)");
}

TEST_F(ScheduleMonitorTest, PauseStopsTheTimerUntilEveryPauseIsResumed)
{
    EXPECT_FALSE(monitor.setCheckEnabled(true));
    EXPECT_TRUE(monitor.isCheckRunning());
    monitor.pause(); // a run
    monitor.pause(); // a panel
    EXPECT_FALSE(monitor.isCheckRunning());
    monitor.resume();
    EXPECT_FALSE(monitor.isCheckRunning());
    monitor.resume();
    EXPECT_TRUE(monitor.isCheckRunning());
    monitor.resume(); // unbalanced resume does no harm
    EXPECT_TRUE(monitor.isCheckRunning());

    // Switched off while paused, it stays off afterwards.
    monitor.pause();
    EXPECT_TRUE(monitor.setCheckEnabled(false));
    monitor.resume();
    EXPECT_FALSE(monitor.isCheckRunning());
    // A rebuild while paused does not restart it.
    monitor.setCheckEnabled(true);
    monitor.pause();
    monitor.rebuild(true);
    EXPECT_FALSE(monitor.isCheckRunning());
    EXPECT_TRUE(monitor.isCheckEnabled());
}

TEST_F(ScheduleMonitorTest, CheckFiresInsideANestedEventLoop)
{
    monitor.rebuild(true);
    clock.set(at(2026, 12, 7, 8, 0));
    monitor.setCheckInterval(20);
    monitor.setCheckEnabled(true);
    bool ranInsideDialog = false;
    // A modal dialog runs its own loop; the check must still fire in it.
    QTimer::singleShot(0, [&] {
        QEventLoop dialogLoop;
        QTimer::singleShot(2000, &dialogLoop, &QEventLoop::quit);
        monitor.setRunStarter([&](int, int, int) {
            ranInsideDialog = true;
            dialogLoop.quit();
            return true;
        });
        dialogLoop.exec();
        QCoreApplication::exit(0);
    });
    QObject guard;
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(ranInsideDialog);
}

TEST(ScheduleEntries, RecordRoundTripAndRemovalRules)
{
    ScopedTimeZone zone("Europe/Berlin");
    ScheduleEntry entry;
    entry.startDate = at(2026, 12, 7, 8, 0);
    entry.session = 2;
    entry.sessionName = "Photos";
    entry.state = EntryState::Done;
    entry.errors = 4;
    entry.pathLogFile = "/tmp/QMLog_1.txt";
    const QVariantMap record = entry.toRecord();
    EXPECT_EQ(record.value("state").toLongLong(), 1);
    EXPECT_EQ(ScheduleEntry::fromRecord(record), entry);
    entry.pathLogFile.clear();
    entry.state = EntryState::Run;
    EXPECT_FALSE(entry.toRecord().contains("pathLogFile"));
    EXPECT_EQ(entry.toRecord().value("state").toLongLong(), -1);
    EXPECT_EQ(ScheduleEntry::fromRecord(entry.toRecord()), entry);

    Schedule schedule;
    schedule.rebuild({session("S", {oneShot(at(2026, 12, 7, 8, 0)), oneShot(at(2026, 12, 7, 9, 0)),
                                    oneShot(at(2026, 12, 7, 10, 0))})},
                     0, 1, at(2026, 12, 7, 7, 0), true);
    schedule.start(0);
    schedule.finish(0, 0, QString());
    EXPECT_FALSE(schedule.removeDone({0, 1})); // mixes a done and a waiting entry
    EXPECT_FALSE(schedule.removeDone({}));
    EXPECT_FALSE(schedule.removeDone({7}));
    EXPECT_EQ(schedule.size(), 3);
    EXPECT_TRUE(schedule.removeDone({0, 0}));
    EXPECT_EQ(dates(schedule.entries()), (QStringList{"2026-12-07 09:00", "2026-12-07 10:00"}));
    EXPECT_EQ(schedule.nextIndex(), 0);
}

} // namespace
