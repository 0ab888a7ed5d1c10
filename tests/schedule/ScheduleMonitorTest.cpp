#include "MonitorFixture.h"
#include "schedule/Schedule.h"

using namespace qm;
using namespace qmtest;

namespace {

class ScheduleMonitorTest : public MonitorFixture {
protected:
    void SetUp() override
    {
        host.list = {session("Photos", {oneShot(at(2026, 12, 7, 8, 0)), oneShot(at(2026, 12, 7, 9, 0))}),
                     session("Mail", {oneShot(at(2026, 12, 7, 8, 30))})};
        MonitorFixture::SetUp();
    }

    QList<EntryState> states() const
    {
        QList<EntryState> list;
        for (const ScheduleEntry &entry : monitor.schedule().entries())
            list.append(entry.state);
        return list;
    }
};

TEST_F(ScheduleMonitorTest, DueEntryStartsATimerRunAndTurnsDoneWhenItEnds)
{
    const QString log = logFile("QMLog_1.txt");
    checkAt(at(2026, 12, 7, 7, 59, 59));
    EXPECT_TRUE(runs.isEmpty());
    checkAt(at(2026, 12, 7, 8, 0, 5));
    ASSERT_EQ(runs, (QList<QList<int>>{{0, 0, 2}}));
    EXPECT_EQ(states(), (QList<EntryState>{EntryState::Run, EntryState::Wait}));
    EXPECT_TRUE(monitor.isBlocked());
    host.runUnderway = true;
    checkAt(at(2026, 12, 7, 9, 30));
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
    EXPECT_FALSE(monitor.markDone(0, QString())); // nothing runs any more
}

TEST_F(ScheduleMonitorTest, MissedExecutionsRunOneAfterTheOther)
{
    checkAt(at(2026, 12, 7, 9, 30)); // woke up after both
    monitor.checkIfTimeToSync();     // the first is still running
    ASSERT_EQ(runs.size(), 1);
    EXPECT_TRUE(monitor.markDone(0, tempDir.filePath("never-written.txt")));
    EXPECT_TRUE(monitor.schedule().entries().at(0).pathLogFile.isEmpty());
    monitor.checkIfTimeToSync();
    ASSERT_EQ(runs.size(), 2);
    EXPECT_EQ(runs.at(1).at(1), 1);
    EXPECT_TRUE(monitor.markDone(0, QString()));
    EXPECT_EQ(monitor.toolTip(), "Next Timer: undefined");
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 2);
}

TEST_F(ScheduleMonitorTest, NoRunWhileAnotherPanelIsShownOrTheStartIsRefused)
{
    host.console = false;
    checkAt(at(2026, 12, 7, 8, 0));
    EXPECT_TRUE(runs.isEmpty());
    host.console = true;
    acceptRuns = false;
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 1);
    EXPECT_EQ(states().first(), EntryState::Wait);
    EXPECT_FALSE(monitor.isBlocked());
    acceptRuns = true;
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 2);
    EXPECT_EQ(states().first(), EntryState::Run);
}

TEST_F(ScheduleMonitorTest, ChangeOfDayDropsYesterdaysWaitingEntriesAndKeepsTheDoneOnes)
{
    checkAt(at(2026, 12, 7, 8, 0));
    monitor.markDone(0, QString());
    // Asleep from 08:01 to 09:00 the next day: the 9:00 execution is lost.
    checkAt(at(2026, 12, 8, 9, 0));
    EXPECT_EQ(runs.size(), 1);
    EXPECT_EQ(states(), QList<EntryState>{EntryState::Done});
    EXPECT_EQ(monitor.schedule().lastBuild(), at(2026, 12, 8, 9, 0));
    EXPECT_EQ(monitor.toolTip(), "Go to the Timer panel");
}

TEST_F(ScheduleMonitorTest, RebuildKeepsRunAndDoneEntriesFirstUnlessFull)
{
    checkAt(at(2026, 12, 7, 8, 0));
    monitor.markDone(1, QString());
    host.list[0] = session("Photos", {oneShot(at(2026, 12, 7, 8, 0)), oneShot(at(2026, 12, 7, 7, 30)),
                                      oneShot(at(2026, 12, 7, 12, 0)), oneShot(at(2026, 12, 7, 10, 0))});
    monitor.rebuild(false);
    // Still in the minute of the finished 8:00: it is not built again (and
    // so not run twice); 7:30 is past.
    EXPECT_EQ(dates(monitor.schedule().entries()),
              (QStringList{"2026-12-07 08:00", "2026-12-07 10:00", "2026-12-07 12:00"}));
    EXPECT_EQ(states().first(), EntryState::Done);
    EXPECT_EQ(monitor.schedule().nextIndex(), 1);
    monitor.checkIfTimeToSync();
    EXPECT_EQ(runs.size(), 1);
    monitor.rebuild(true);
    EXPECT_EQ(monitor.schedule().size(), 3);
    EXPECT_EQ(states().first(), EntryState::Wait);
}

TEST_F(ScheduleMonitorTest, RebuildDuringATimerRunStillFindsItsEntryAtTheEnd)
{
    checkAt(at(2026, 12, 7, 8, 0));
    monitor.setDaysToCover(2); // refused while blocked
    EXPECT_EQ(monitor.daysToCover(), 1);
    monitor.rebuild(false);
    EXPECT_EQ(monitor.currentEntryIndex(), 0);
    EXPECT_TRUE(monitor.markDone(0, QString()));
    EXPECT_EQ(states().first(), EntryState::Done);
    EXPECT_FALSE(monitor.isBlocked());
}

TEST_F(ScheduleMonitorTest, ShowingTheConsoleDecidesWhetherTheCheckRuns)
{
    monitor.consolePanelShown();
    EXPECT_TRUE(monitor.isCheckEnabled());
    EXPECT_EQ(monitor.toolTip(), "Next Timer: 07 Dec 2026 - 08:00");

    host.list[0] = session("Photos", {oneShot(at(2026, 12, 7, 8, 0))}, false);
    monitor.consolePanelShown();
    EXPECT_FALSE(monitor.isCheckEnabled());
    EXPECT_TRUE(monitor.schedule().isEmpty());
    EXPECT_EQ(monitor.toolTip(), "Go to the Timer panel");

    host.current = 3; // All Sessions: the second session still has timers
    monitor.consolePanelShown();
    EXPECT_TRUE(monitor.isCheckEnabled());
    EXPECT_EQ(monitor.schedule().size(), 1);
    EXPECT_EQ(monitor.toolTip(), "Next Timer: 07 Dec 2026 - 08:30 (Mail)");

    host.syncAndQuitOn = true;
    monitor.consolePanelShown();
    EXPECT_FALSE(monitor.isCheckEnabled());
    EXPECT_TRUE(monitor.schedule().isEmpty());
    host.current = 0;
    monitor.consolePanelShown();
    EXPECT_EQ(monitor.toolTip(), "Temporary off because of the SyncAndQuit");
}

TEST_F(ScheduleMonitorTest, PauseStopsTheTimerUntilEveryPauseIsResumed)
{
    EXPECT_FALSE(monitor.setCheckEnabled(true));
    EXPECT_TRUE(monitor.isCheckRunning());
    monitor.pause(); // a run
    monitor.pause(); // a panel
    monitor.rebuild(true);
    monitor.resume();
    EXPECT_FALSE(monitor.isCheckRunning());
    monitor.resume();
    EXPECT_TRUE(monitor.isCheckRunning());
    monitor.resume(); // an unbalanced resume does no harm
    EXPECT_TRUE(monitor.isCheckRunning());
    monitor.pause();
    EXPECT_TRUE(monitor.setCheckEnabled(false));
    monitor.resume();
    EXPECT_FALSE(monitor.isCheckRunning());
}

TEST(ScheduleDue, RepeatedAutumnHourRunsAnHourApart)
{
    ScopedTimeZone zone(kBerlin);
    Schedule schedule;
    const TimerRow hourly = repeating(at(2026, 10, 1, 0, 0), TimerStep{0, 0, 0, 1, 0});
    schedule.rebuild({session("S", {hourly})}, 0, 1, at(2026, 10, 25, 0, 0), true);
    const QDateTime firstTwo = schedule.entries().at(2).startDate; // 2:00 summer time
    ASSERT_EQ(schedule.entries().at(3).startDate, firstTwo.addSecs(3600));
    for (int i = 0; i < 3; ++i) {
        schedule.start(i);
        schedule.finish(i, 0, QString());
    }
    EXPECT_EQ(schedule.dueIndex(firstTwo.addSecs(1800)), -1);
    EXPECT_EQ(schedule.dueIndex(firstTwo.addSecs(3600)), 3);
    // A missed entry stays due for the rest of its day, and not after.
    EXPECT_EQ(schedule.dueIndex(at(2026, 10, 25, 23, 59)), 3);
    EXPECT_EQ(schedule.dueIndex(at(2026, 10, 26, 0, 0)), -1);
}

TEST(ScheduleEntries, RecordRoundTripAndRemovalRules)
{
    ScopedTimeZone zone(kBerlin);
    ScheduleEntry entry{at(2026, 12, 7, 8, 0), 2, "Photos", EntryState::Done, false, 4, "/tmp/QMLog_1.txt"};
    EXPECT_EQ(entry.toRecord().value("state").toLongLong(), 1);
    EXPECT_EQ(ScheduleEntry::fromRecord(entry.toRecord()), entry);
    entry.pathLogFile.clear();
    entry.state = EntryState::Run;
    EXPECT_FALSE(entry.toRecord().contains("pathLogFile"));
    EXPECT_EQ(ScheduleEntry::fromRecord(entry.toRecord()), entry);

    Schedule schedule;
    schedule.rebuild({session("S", {oneShot(at(2026, 12, 7, 8, 0)), oneShot(at(2026, 12, 7, 9, 0)),
                                    oneShot(at(2026, 12, 7, 10, 0))})},
                     0, 1, at(2026, 12, 7, 7, 0), true);
    schedule.start(0);
    schedule.finish(0, 0, QString());
    EXPECT_FALSE(schedule.removeDone({0, 1})); // mixes a done and a waiting entry
    EXPECT_FALSE(schedule.removeDone({7}));
    EXPECT_EQ(schedule.size(), 3);
    EXPECT_TRUE(schedule.removeDone({0, 0}));
    EXPECT_EQ(dates(schedule.entries()), (QStringList{"2026-12-07 09:00", "2026-12-07 10:00"}));
    EXPECT_EQ(schedule.nextIndex(), 0);
}

} // namespace
