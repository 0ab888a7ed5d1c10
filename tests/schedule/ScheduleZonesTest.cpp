// Timers of hours and minutes are built from instants and the zone's
// offsets; here they must give what adding the same steps in local time
// gives, in zones with whole-hour, half-hour and midnight clock changes.
#include "ScheduleTestSupport.h"
#include "schedule/LocalZone.h"
#include "schedule/ScheduleBuilder.h"

#include <gtest/gtest.h>

using namespace qm;
using namespace qmtest;

namespace {

QString describe(const QDateTime &date)
{
    const QDateTime local = date.toLocalTime();
    return local.toString("yyyy-MM-dd HH:mm ") + QString::number(local.offsetFromUtc()) + " @"
           + QString::number(date.toSecsSinceEpoch());
}

// Every execution of `row` in the covered days, stepping through local time
// one step after another from the row's start.
QStringList steppedInLocalTime(const TimerRow &row, const QDateTime &now, int days)
{
    const QDateTime cursor = toLocalMinute(now);
    const QDate first = cursor.date();
    const QDate last = first.addDays(days - 1);
    const qint64 step = qint64(row.step.hours) * 3600 + qint64(row.step.minutes) * 60;
    QStringList out;
    QDate closedDay;
    for (qint64 count = 0;; ++count) {
        const QDateTime date = row.start.addSecs(count * step);
        const QDate day = date.date();
        const int minute = minuteOfDay(date);
        if (day > last)
            break;
        if (day < first || day == closedDay || !row.runsOnDayOfWeek(day.dayOfWeek())
            || minute < minuteOfDay(row.start))
            continue;
        if ((row.endDateOn && day > row.end.date()) || (row.endOn && minute > minuteOfDay(row.end))) {
            closedDay = day; // the day's window has ended
            continue;
        }
        if (date >= cursor)
            out.append(describe(date));
    }
    return out;
}

struct ZoneCase {
    const char *zone;
    QDate startDay;
    QTime startTime;
    TimerStep step;
    QDate nowDay;
    QTime nowTime;
    int days;
    QTime endTime = QTime(); // daily end of the window, if any
    QDate endDay = QDate();  // last day, if any
    QList<int> weekDays = {};
    qint64 nowUtc = 0; // the instant of now, where the local time of now repeats
};

TEST(ScheduleZones, ElapsedStepsMatchLocalTimeArithmetic)
{
    const ZoneCase cases[] = {
        {"Europe/Berlin", {2026, 10, 1}, {0, 0}, {0, 0, 0, 0, 1}, {2026, 10, 10}, {13, 17, 42}, 31},
        {"Europe/Berlin", {2026, 3, 1}, {0, 15}, {0, 0, 0, 1, 30}, {2026, 3, 20}, {8, 0}, 14, {3, 30}},
        {"America/New_York", {2026, 10, 20}, {0, 3}, {0, 0, 0, 0, 7}, {2026, 11, 1}, {0, 0}, 3, {1, 30}},
        {"America/New_York", {2026, 2, 1}, {0, 0}, {0, 0, 0, 1, 1}, {2026, 3, 1}, {0, 0}, 31},
        {"Australia/Lord_Howe", {2026, 3, 20}, {0, 5}, {0, 0, 0, 0, 13}, {2026, 3, 25}, {10, 0}, 31},
        {"Australia/Lord_Howe", {2026, 9, 1}, {1, 10}, {0, 0, 0, 0, 20}, {2026, 9, 28}, {0, 0}, 20, {2, 50},
         {2026, 10, 10}},
        {"America/Santiago", {2026, 9, 1}, {0, 0}, {0, 0, 0, 0, 10}, {2026, 9, 1}, {12, 0}, 14, {}, {}, {1, 7}},
        {"UTC", {2026, 12, 1}, {0, 0}, {0, 0, 0, 0, 1}, {2026, 12, 8}, {10, 0}, 10, {}, {}, {1}},
        // Built during the first and during the second 2:30 of the hour that repeats.
        {"Europe/Berlin", {2026, 10, 1}, {0, 0}, {0, 0, 0, 0, 1}, {2026, 10, 25}, {2, 30}, 1, {}, {}, {}, 1792888200},
        {"Europe/Berlin", {2026, 10, 1}, {0, 0}, {0, 0, 0, 0, 1}, {2026, 10, 25}, {2, 30}, 1, {}, {}, {}, 1792891800},
    };
    for (const ZoneCase &c : cases) {
        ScopedTimeZone zone(c.zone);
        TimerRow row = repeating(QDateTime(c.startDay, c.startTime), c.step);
        row.endOn = c.endTime.isValid();
        row.endDateOn = c.endDay.isValid();
        row.end = QDateTime(c.endDay.isValid() ? c.endDay : c.startDay, c.endTime.isValid() ? c.endTime : QTime(0, 0));
        if (!c.weekDays.isEmpty()) {
            row.weekDays.fill(false);
            for (int day : c.weekDays)
                row.weekDays[size_t(day - 1)] = true;
        }
        const QDateTime now = c.nowUtc ? QDateTime::fromSecsSinceEpoch(c.nowUtc) : QDateTime(c.nowDay, c.nowTime);
        QStringList built;
        for (const ScheduleEntry &entry : buildScheduleEntries({session("S", {row})}, 0, c.days, now))
            built.append(describe(entry.startDate));
        const QStringList expected = steppedInLocalTime(row, now, c.days);
        EXPECT_FALSE(expected.isEmpty()) << c.zone;
        EXPECT_EQ(built, expected) << c.zone << " " << c.startDay.toString(Qt::ISODate).toStdString();
    }
}

TEST(ScheduleZones, FirstInstantOfADay)
{
    // Midnight, or the end of the jump where the clocks skip it.
    const struct {
        const char *zone;
        QDate day;
        const char *utc;
    } cases[] = {
        {"Europe/Berlin", {2026, 3, 29}, "2026-03-28T23:00:00Z"},
        {"Australia/Lord_Howe", {2026, 4, 5}, "2026-04-04T13:00:00Z"},
        {"America/Santiago", {2026, 9, 6}, "2026-09-06T04:00:00Z"},
        {"America/Havana", {2026, 11, 1}, "2026-11-01T04:00:00Z"}, // midnight comes twice
        {"UTC", {2026, 12, 8}, "2026-12-08T00:00:00Z"},
    };
    for (const auto &c : cases) {
        ScopedTimeZone zone(c.zone);
        const qint64 first = LocalZone().firstSecondOf(c.day);
        EXPECT_EQ(QDateTime::fromSecsSinceEpoch(first, Qt::UTC).toString(Qt::ISODate), c.utc) << c.zone;
    }
}

} // namespace
