#include "ScheduleTestSupport.h"
#include "schedule/ScheduleBuilder.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

const TimerStep kDaily{0, 0, 1, 0, 0};
const TimerStep kHourly{0, 0, 0, 1, 0};

class ScheduleBuilder : public ::testing::Test {
protected:
    ScopedTimeZone zone{kBerlin};

    static QStringList build(const QList<TimerRow> &rows, const QDateTime &now, int days = 1)
    {
        return dates(buildScheduleEntries({session("S", rows)}, 0, days, now));
    }
};

TEST_F(ScheduleBuilder, OneShotRunsOnItsDayFromTheCurrentMinuteOn)
{
    TimerRow row = oneShot(at(2026, 12, 7, 14, 0, 59)); // seconds are dropped
    EXPECT_EQ(build({row}, at(2026, 12, 7, 9, 0)), QStringList{"2026-12-07 14:00"});
    EXPECT_EQ(build({row}, at(2026, 12, 7, 14, 0, 45)), QStringList{"2026-12-07 14:00"});
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 14, 1)).isEmpty());
    EXPECT_TRUE(build({row}, at(2026, 12, 8, 9, 0)).isEmpty());
    EXPECT_EQ(build({row}, at(2026, 12, 6, 23, 0), 2), QStringList{"2026-12-07 14:00"});
    // Week days and end settings belong to repeating timers only.
    row.weekDays.fill(false);
    row.endOn = row.endDateOn = true;
    row.end = at(2026, 1, 1, 1, 0);
    EXPECT_EQ(build({row}, at(2026, 12, 7, 9, 0)).size(), 1);
    row.onOff = false;
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 9, 0)).isEmpty());
}

TEST_F(ScheduleBuilder, DailyTimerMissesTodayOnceItsMinuteHasPassed)
{
    const TimerRow row = repeating(at(2003, 5, 1, 8, 0), kDaily);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 9, 0)).isEmpty());
    EXPECT_EQ(build({row}, at(2026, 12, 7, 7, 59)), QStringList{"2026-12-07 08:00"});
    EXPECT_EQ(build({row}, at(2026, 12, 7, 9, 0), 3), (QStringList{"2026-12-08 08:00", "2026-12-09 08:00"}));
}

TEST_F(ScheduleBuilder, TwoHourStepStaysInsideTheDailyWindow)
{
    TimerRow row = repeating(at(2026, 1, 1, 8, 0), TimerStep{0, 0, 0, 2, 0});
    row.endOn = true;
    row.end = at(2026, 1, 1, 18, 0);
    QStringList expected;
    for (int day : {7, 8})
        for (int hour = 8; hour <= 18; hour += 2)
            expected.append(at(2026, 12, day, hour).toString("yyyy-MM-dd HH:mm"));
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 2), expected);
    EXPECT_EQ(build({row}, at(2026, 12, 7, 12, 30), 2), expected.mid(3));
    EXPECT_EQ(build({row}, at(2026, 12, 7, 12, 0, 30)), expected.mid(2, 4));
    EXPECT_EQ(build({row}, at(2026, 12, 7, 18, 1), 2), expected.mid(6));
    // Without the end time the window runs to midnight.
    row.endOn = false;
    EXPECT_EQ(build({row}, at(2026, 12, 7, 19, 0)), (QStringList{"2026-12-07 20:00", "2026-12-07 22:00"}));
    // An end time before the start time leaves no window at all.
    row.endOn = true;
    row.start = at(2026, 12, 1, 22, 0);
    row.end = at(2026, 12, 1, 2, 0);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 0, 0), 3).isEmpty());
}

TEST_F(ScheduleBuilder, MonthlyStepKeepsToTheMonthEnd)
{
    const TimerRow row = repeating(at(2026, 1, 31, 10, 0), TimerStep{0, 1, 0, 0, 0});
    // 31 January plus one month is the last day of February, and the timer
    // returns to the 31st where a month has one.
    EXPECT_EQ(build({row}, at(2026, 2, 28, 0, 0)), QStringList{"2026-02-28 10:00"});
    EXPECT_EQ(build({row}, at(2026, 3, 28, 0, 0), 4), QStringList{"2026-03-31 10:00"});
    EXPECT_EQ(build({row}, at(2026, 4, 30, 0, 0)), QStringList{"2026-04-30 10:00"});
    EXPECT_EQ(build({row}, at(2026, 5, 1, 0, 0), 31), QStringList{"2026-05-31 10:00"});
    EXPECT_EQ(build({row}, at(2028, 2, 29, 0, 0)), QStringList{"2028-02-29 10:00"});
    // A leap day plus a year; all five values in one step.
    EXPECT_EQ(build({repeating(at(2024, 2, 29, 6, 0), TimerStep{1, 0, 0, 0, 0})}, at(2025, 2, 27, 0, 0), 3),
              QStringList{"2025-02-28 06:00"});
    EXPECT_EQ(build({repeating(at(2026, 1, 31, 10, 0), TimerStep{0, 1, 1, 1, 1})}, at(2026, 3, 1, 0, 0)),
              QStringList{"2026-03-01 11:01"});
}

TEST_F(ScheduleBuilder, WeekDayFlagsLimitRepeatingTimers)
{
    TimerRow row = repeating(at(2026, 11, 1, 9, 0), kDaily);
    row.weekDays.fill(false);
    row.weekDays[0] = row.weekDays[6] = true; // Monday and Sunday
    // 7 December 2026 is a Monday.
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 7), (QStringList{"2026-12-07 09:00", "2026-12-13 09:00"}));
    row.weekDays.fill(false);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 0, 0), 7).isEmpty());
}

TEST_F(ScheduleBuilder, EndDateAndEndTime)
{
    TimerRow row = repeating(at(2026, 12, 1, 9, 0), TimerStep{0, 0, 0, 12, 0});
    row.endDateOn = true;
    row.end = at(2026, 12, 8, 20, 0);
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 3),
              (QStringList{"2026-12-07 09:00", "2026-12-07 21:00", "2026-12-08 09:00", "2026-12-08 21:00"}));
    EXPECT_TRUE(build({row}, at(2026, 12, 9, 0, 0), 3).isEmpty());
    row.endOn = true; // the same `end` gives the daily end time
    EXPECT_EQ(build({row}, at(2026, 12, 7, 0, 0), 3), (QStringList{"2026-12-07 09:00", "2026-12-08 09:00"}));
    row.endOn = row.endDateOn = false;
    EXPECT_EQ(build({row}, at(2026, 12, 9, 0, 0)).size(), 2);
    row.endDateOn = true;
    row.end = at(2001, 12, 31, 23, 0);
    EXPECT_TRUE(build({row}, at(2026, 12, 7, 0, 0)).isEmpty());
}

TEST_F(ScheduleBuilder, RowsThatCannotRunYieldNothing)
{
    const QDateTime now = at(2026, 12, 7, 0, 0);
    EXPECT_TRUE(build({repeating(at(2001, 12, 31, 9, 0), kDaily)}, now, 3).isEmpty());
    EXPECT_TRUE(build({oneShot(at(2001, 12, 7, 9, 0))}, at(2001, 12, 7, 0, 0)).isEmpty());
    EXPECT_TRUE(build({repeating(at(2026, 12, 1, 9, 0), TimerStep{})}, now).isEmpty());
    EXPECT_TRUE(build({repeating(at(2026, 12, 8, 9, 0), kDaily)}, now).isEmpty());
    // A step that runs backwards would never leave the day.
    EXPECT_TRUE(build({repeating(at(2026, 12, 1, 9, 0), TimerStep{0, 0, -1, 0, 2})}, now).isEmpty());
    // A step too large for the calendar ends the walk.
    EXPECT_EQ(build({repeating(at(2026, 12, 7, 9, 0), TimerStep{2000000000, 0, 0, 0, 1})}, now, 2).size(), 1);
    // Rows at their defaults (a one-shot in 2004) stay quiet.
    EXPECT_TRUE(build({}, now, 7).isEmpty());
}

TEST_F(ScheduleBuilder, DaylightSavingChanges)
{
    // Summer time starts on 29 March 2026 and ends on 25 October 2026 in Berlin.
    const TimerRow daily = repeating(at(2026, 1, 1, 8, 0), kDaily);
    EXPECT_EQ(build({daily}, at(2026, 3, 28, 0, 0), 3),
              (QStringList{"2026-03-28 08:00", "2026-03-29 08:00", "2026-03-30 08:00"}));
    EXPECT_EQ(build({daily}, at(2026, 10, 25, 0, 0), 2), (QStringList{"2026-10-25 08:00", "2026-10-26 08:00"}));

    const TimerRow hourly = repeating(at(2026, 1, 1, 0, 0), kHourly);
    const QStringList spring = build({hourly}, at(2026, 3, 29, 0, 0));
    EXPECT_EQ(spring.size(), 23);
    EXPECT_FALSE(spring.contains("2026-03-29 02:00"));
    const QList<ScheduleEntry> autumn = buildScheduleEntries({session("S", {hourly})}, 0, 1, at(2026, 10, 25));
    ASSERT_EQ(autumn.size(), 25);
    EXPECT_EQ(dates(autumn).count("2026-10-25 02:00"), 2);
    for (int i = 1; i < autumn.size(); ++i)
        EXPECT_EQ(autumn.at(i - 1).startDate.secsTo(autumn.at(i).startDate), 3600);

    // A daily time inside the skipped hour still runs once that day.
    EXPECT_EQ(build({repeating(at(2026, 3, 1, 2, 30), kDaily)}, at(2026, 3, 29, 0, 0)).size(), 1);
}

TEST_F(ScheduleBuilder, OldMinuteTimerIsBuiltQuickly)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const QStringList list = build({repeating(at(2002, 1, 1, 0, 0), TimerStep{0, 0, 0, 0, 1})}, at(2026, 12, 7), 7);
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_EQ(list.size(), 7 * 1440);
    EXPECT_EQ(list.first(), "2026-12-07 00:00");
    EXPECT_EQ(list.last(), "2026-12-13 23:59");
}

TEST(ScheduleSessions, AllSessionsCoversEverySessionInDateOrder)
{
    ScopedTimeZone zone(kBerlin);
    const QVariantList sessions = {
        session("First", {oneShot(at(2026, 12, 7, 15, 0)), oneShot(at(2026, 12, 7, 9, 0))}),
        session("Off", {oneShot(at(2026, 12, 7, 10, 0))}, false),
        session("Third", {oneShot(at(2026, 12, 7, 12, 0))}),
        QVariantMap{{"sessionName", "No list"}, {"timerOn", 1}},
    };
    const QDateTime now = at(2026, 12, 7, 8, 0);
    const QList<ScheduleEntry> all = buildScheduleEntries(sessions, 5, 1, now);
    EXPECT_EQ(dates(all), (QStringList{"2026-12-07 09:00", "2026-12-07 12:00", "2026-12-07 15:00"}));
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all.at(1).session, 2);
    EXPECT_EQ(all.at(1).sessionName, "Third");
    EXPECT_EQ(all.at(1).state, EntryState::Wait);
    // One session current covers only it; the separator index and indexes
    // out of range cover nothing.
    EXPECT_EQ(buildScheduleEntries(sessions, 2, 1, now).size(), 1);
    for (int index : {1, 4, -1})
        EXPECT_TRUE(buildScheduleEntries(sessions, index, 1, now).isEmpty()) << index;
    EXPECT_TRUE(isTimerOnInSomeSession(sessions));
    EXPECT_FALSE(isTimerOnInSomeSession({sessions.at(1)}));
}

} // namespace
