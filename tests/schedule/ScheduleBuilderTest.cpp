#include "ScheduleTestSupport.h"
#include "schedule/ScheduleBuilder.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

class ScheduleBuilder : public ::testing::Test {
protected:
    ScopedTimeZone zone{"Europe/Berlin"};

    QStringList build(const QList<TimerRow> &rows, const QDateTime &now, int days = 1)
    {
        return dates(buildScheduleEntries({session("S", rows)}, 0, days, now));
    }
};

TEST_F(ScheduleBuilder, OneShotRunsOnceTodayFromTheCurrentMinuteOn)
{
    const TimerRow row = oneShot(at(2026, 12, 7, 14, 0));
    EXPECT_EQ(build({row}, at(2026, 12, 7, 9, 0)), QStringList{"2026-12-07 14:00"});
    EXPECT_EQ(build({row}, at(2026, 12, 7, 14, 0, 45)), QStringList{"2026-12-07 14:00"});
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 14, 1)).isEmpty());
    EXPECT_TRUE(build({row}, at(2026, 12, 6, 9, 0)).isEmpty());
    EXPECT_TRUE(build({row}, at(2026, 12, 8, 9, 0)).isEmpty());
    // Covering two days from the day before finds it on the second.
    EXPECT_EQ(build({row}, at(2026, 12, 6, 23, 0), 2), QStringList{"2026-12-07 14:00"});
}

TEST_F(ScheduleBuilder, OneShotIgnoresWeekDaysAndEndSettingsButNotTheSwitch)
{
    TimerRow row = oneShot(at(2026, 12, 7, 14, 0));
    row.weekDays.fill(false);
    row.endOn = true;
    row.endDateOn = true;
    row.end = at(2026, 1, 1, 1, 0);
    EXPECT_EQ(build({row}, at(2026, 12, 7, 9, 0)).size(), 1);
    row.onOff = false;
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 9, 0)).isEmpty());
}

TEST_F(ScheduleBuilder, SecondsOfStoredDatesAreDropped)
{
    const TimerRow row = oneShot(at(2026, 12, 7, 14, 0, 59));
    EXPECT_EQ(dates(buildScheduleEntries({session("S", {row})}, 0, 1, at(2026, 12, 7, 14, 0, 30))),
              QStringList{"2026-12-07 14:00"});
    const QList<ScheduleEntry> entries = buildScheduleEntries({session("S", {row})}, 0, 1, at(2026, 12, 7, 9, 0));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().startDate.time().second(), 0);
}

TEST_F(ScheduleBuilder, DailyTimerMissesTodayOnceItsMinuteHasPassed)
{
    const TimerRow row = repeating(at(2003, 5, 1, 8, 0), days(1));
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 9, 0)).isEmpty());
    EXPECT_EQ(build({row}, at(2026, 12, 7, 7, 59)), QStringList{"2026-12-07 08:00"});
    EXPECT_EQ(build({row}, at(2026, 12, 7, 9, 0), 3), (QStringList{"2026-12-08 08:00", "2026-12-09 08:00"}));
}

TEST_F(ScheduleBuilder, TwoHourStepStaysInsideTheDailyWindow)
{
    TimerRow row = repeating(at(2026, 1, 1, 8, 0), hours(2));
    row.endOn = true;
    row.end = at(2026, 1, 1, 18, 0);
    const QStringList expected = {"2026-12-07 08:00", "2026-12-07 10:00", "2026-12-07 12:00", "2026-12-07 14:00",
                                  "2026-12-07 16:00", "2026-12-07 18:00", "2026-12-08 08:00", "2026-12-08 10:00",
                                  "2026-12-08 12:00", "2026-12-08 14:00", "2026-12-08 16:00", "2026-12-08 18:00"};
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 2), expected);
    // Built at 12:30 only the rest of today and all of tomorrow.
    EXPECT_EQ(build({row}, at(2026, 12, 7, 12, 30), 2), expected.mid(3));
    // Built during an execution's minute, that execution is still included.
    EXPECT_EQ(build({row}, at(2026, 12, 7, 12, 0, 30)), expected.mid(2, 4));
    // Built after the end time: today yields nothing at all.
    EXPECT_EQ(build({row}, at(2026, 12, 7, 18, 1), 2), expected.mid(6));
}

TEST_F(ScheduleBuilder, WithoutEndTimeTheWindowRunsToMidnight)
{
    const TimerRow row = repeating(at(2026, 12, 1, 21, 30), hours(1));
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0)),
              (QStringList{"2026-12-07 21:30", "2026-12-07 22:30", "2026-12-07 23:30"}));
}

TEST_F(ScheduleBuilder, EndTimeBeforeStartTimeYieldsNothing)
{
    TimerRow row = repeating(at(2026, 12, 1, 22, 0), hours(1));
    row.endOn = true;
    row.end = at(2026, 12, 1, 2, 0);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 0, 0), 3).isEmpty());
}

TEST_F(ScheduleBuilder, MonthlyStepKeepsToTheMonthEnd)
{
    const TimerRow row = repeating(at(2026, 1, 31, 10, 0), months(1));
    // 31 January plus one month is the last day of February...
    EXPECT_EQ(build({row}, at(2026, 2, 28, 0, 0)), QStringList{"2026-02-28 10:00"});
    // ...and the timer goes back to the 31st where a month has one.
    EXPECT_EQ(build({row}, at(2026, 3, 31, 0, 0)), QStringList{"2026-03-31 10:00"});
    EXPECT_TRUE(build({row}, at(2026, 3, 28, 0, 0)).isEmpty());
    EXPECT_EQ(build({row}, at(2026, 4, 30, 0, 0)), QStringList{"2026-04-30 10:00"});
    EXPECT_EQ(build({row}, at(2028, 2, 29, 0, 0)), QStringList{"2028-02-29 10:00"});
    // Nothing on any other day of a whole month.
    EXPECT_EQ(build({row}, at(2026, 5, 1, 0, 0), 31), QStringList{"2026-05-31 10:00"});
}

TEST_F(ScheduleBuilder, YearlyStepFromALeapDayFallsOnTheLastOfFebruary)
{
    TimerStep step;
    step.years = 1;
    const TimerRow row = repeating(at(2024, 2, 29, 6, 0), step);
    EXPECT_EQ(build({row}, at(2025, 2, 27, 0, 0), 3), QStringList{"2025-02-28 06:00"});
    EXPECT_EQ(build({row}, at(2028, 2, 28, 0, 0), 2), QStringList{"2028-02-29 06:00"});
}

TEST_F(ScheduleBuilder, AllFiveValuesMakeOneStep)
{
    TimerStep step;
    step.months = 1;
    step.days = 1;
    step.hours = 1;
    step.minutes = 1;
    const TimerRow row = repeating(at(2026, 1, 31, 10, 0), step);
    // 31 Jan -> 28 Feb (month) -> 1 Mar (day) -> 11:01.
    EXPECT_EQ(build({row}, at(2026, 3, 1, 0, 0)), QStringList{"2026-03-01 11:01"});
}

TEST_F(ScheduleBuilder, WeekDayFlagsLimitRepeatingTimers)
{
    TimerRow row = repeating(at(2026, 11, 1, 9, 0), days(1));
    row.weekDays.fill(false);
    row.weekDays[0] = true; // Monday
    row.weekDays[6] = true; // Sunday
    // 7 December 2026 is a Monday.
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 7), (QStringList{"2026-12-07 09:00", "2026-12-13 09:00"}));
    row.weekDays.fill(false);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 0, 0), 7).isEmpty());
}

TEST_F(ScheduleBuilder, EndDateEndsTheTimerAfterItsDay)
{
    TimerRow row = repeating(at(2026, 12, 1, 9, 0), hours(12));
    row.endDateOn = true;
    row.end = at(2026, 12, 8, 0, 0);
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 3),
              (QStringList{"2026-12-07 09:00", "2026-12-07 21:00", "2026-12-08 09:00", "2026-12-08 21:00"}));
    EXPECT_TRUE(build({row}, at(2026, 12, 9, 0, 0), 3).isEmpty());
    // Without its box the end date means nothing.
    row.endDateOn = false;
    EXPECT_EQ(build({row}, at(2026, 12, 9, 0, 0)).size(), 2);
    // An end year before 2002 with the box on yields nothing.
    row.endDateOn = true;
    row.end = at(2001, 12, 31, 23, 0);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 0, 0)).isEmpty());
}

TEST_F(ScheduleBuilder, EndTimeAndEndDateTogether)
{
    TimerRow row = repeating(at(2026, 12, 1, 20, 0), hours(1));
    row.endOn = true;
    row.endDateOn = true;
    row.end = at(2026, 12, 8, 21, 0);
    EXPECT_EQ(build({row}, at(2026, 12, 8, 0, 0), 2), (QStringList{"2026-12-08 20:00", "2026-12-08 21:00"}));
}

TEST_F(ScheduleBuilder, RowsThatCannotRunYieldNothing)
{
    const QDateTime now = at(2026, 12, 7, 0, 0);
    EXPECT_TRUE(build({repeating(at(2001, 12, 31, 9, 0), days(1))}, now, 3).isEmpty());
    EXPECT_TRUE(build({oneShot(at(2001, 12, 7, 9, 0))}, at(2001, 12, 7, 0, 0)).isEmpty());
    EXPECT_TRUE(build({repeating(at(2026, 12, 1, 9, 0), TimerStep{})}, now).isEmpty());
    EXPECT_TRUE(build({repeating(at(2026, 12, 8, 9, 0), days(1))}, now).isEmpty()); // starts tomorrow
    // A step with a negative part could run backwards for ever.
    TimerStep backwards;
    backwards.days = -1;
    backwards.minutes = 2;
    EXPECT_TRUE(build({repeating(at(2026, 12, 1, 9, 0), backwards)}, now).isEmpty());
    // Rows kept at their defaults (start 2004, one shot) are quiet.
    EXPECT_TRUE(build({}, now, 7).isEmpty());
}

TEST_F(ScheduleBuilder, HugeStepsEndTheWalkInsteadOfOverflowing)
{
    TimerStep step;
    step.years = 2000000000;
    step.minutes = 1;
    const TimerRow row = repeating(at(2026, 12, 7, 9, 0), step);
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 2), QStringList{"2026-12-07 09:00"});
}

TEST_F(ScheduleBuilder, DailyTimerKeepsItsHourAcrossDaylightSavingChanges)
{
    const TimerRow row = repeating(at(2026, 1, 1, 8, 0), days(1));
    // Summer time starts on 29 March 2026 and ends on 25 October 2026 in Berlin.
    EXPECT_EQ(build({row}, at(2026, 3, 28, 0, 0), 3),
              (QStringList{"2026-03-28 08:00", "2026-03-29 08:00", "2026-03-30 08:00"}));
    EXPECT_EQ(build({row}, at(2026, 10, 24, 0, 0), 3),
              (QStringList{"2026-10-24 08:00", "2026-10-25 08:00", "2026-10-26 08:00"}));
}

TEST_F(ScheduleBuilder, HourlyTimerFollowsTheClockChange)
{
    const TimerRow row = repeating(at(2026, 1, 1, 0, 0), hours(1));
    const QList<ScheduleEntry> spring = buildScheduleEntries({session("S", {row})}, 0, 1, at(2026, 3, 29, 0, 0));
    EXPECT_EQ(spring.size(), 23);
    EXPECT_FALSE(dates(spring).contains("2026-03-29 02:00"));

    const QList<ScheduleEntry> autumn = buildScheduleEntries({session("S", {row})}, 0, 1, at(2026, 10, 25, 0, 0));
    ASSERT_EQ(autumn.size(), 25);
    // 02:00 happens twice, an hour apart, in date order.
    EXPECT_EQ(dates(autumn).count("2026-10-25 02:00"), 2);
    for (int i = 1; i < autumn.size(); ++i)
        EXPECT_EQ(autumn.at(i - 1).startDate.secsTo(autumn.at(i).startDate), 3600);
}

TEST_F(ScheduleBuilder, ExecutionInTheSkippedHourStillHappensOnce)
{
    const TimerRow row = repeating(at(2026, 3, 1, 2, 30), days(1));
    const QList<ScheduleEntry> entries = buildScheduleEntries({session("S", {row})}, 0, 1, at(2026, 3, 29, 0, 0));
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().startDate.date(), QDate(2026, 3, 29));
}

TEST_F(ScheduleBuilder, OldMinuteTimerIsBuiltQuickly)
{
    TimerStep step;
    step.minutes = 1;
    const TimerRow row = repeating(at(2002, 1, 1, 0, 0), step);
    QElapsedTimer clock;
    clock.start();
    const QStringList list = build({row}, at(2026, 12, 7, 0, 0), 7);
    EXPECT_EQ(list.size(), 7 * 1440);
    EXPECT_EQ(list.first(), "2026-12-07 00:00");
    EXPECT_EQ(list.last(), "2026-12-13 23:59");
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST(ScheduleSessions, AllSessionsCoversEverySessionInDateOrder)
{
    ScopedTimeZone zone("Europe/Berlin");
    const QVariantList sessions = {
        session("First", {oneShot(at(2026, 12, 7, 15, 0)), oneShot(at(2026, 12, 7, 9, 0))}),
        session("Off", {oneShot(at(2026, 12, 7, 10, 0))}, false),
        session("Third", {oneShot(at(2026, 12, 7, 12, 0))}),
        QVariantMap{{"sessionName", "No list"}, {"timerOn", 1}},
    };
    const QDateTime now = at(2026, 12, 7, 8, 0);
    const QList<ScheduleEntry> all = buildScheduleEntries(sessions, 5, 1, now);
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(dates(all), (QStringList{"2026-12-07 09:00", "2026-12-07 12:00", "2026-12-07 15:00"}));
    EXPECT_EQ(all.at(1).session, 2);
    EXPECT_EQ(all.at(1).sessionName, "Third");
    for (const ScheduleEntry &entry : all) {
        EXPECT_EQ(entry.state, EntryState::Wait);
        EXPECT_FALSE(entry.nextExe);
        EXPECT_EQ(entry.errors, 0);
    }
    // One session current: only its own timers; the separator index and
    // indexes out of range cover nothing.
    EXPECT_EQ(buildScheduleEntries(sessions, 2, 1, now).size(), 1);
    EXPECT_TRUE(buildScheduleEntries(sessions, 1, 1, now).isEmpty());
    EXPECT_TRUE(buildScheduleEntries(sessions, 4, 1, now).isEmpty());
    EXPECT_TRUE(buildScheduleEntries(sessions, -1, 1, now).isEmpty());
    EXPECT_TRUE(isTimerOnInSomeSession(sessions));
    EXPECT_FALSE(isTimerOnInSomeSession({sessions.at(1)}));
}

} // namespace
