#include "schedule/ScheduleBuilder.h"

#include "schedule/LocalZone.h"

#include <algorithm>
#include <vector>

namespace qm {

namespace {

constexpr int kFirstYear = 2002;
// The largest elapsed time a step adds before the date counts as out of
// range, as in TimerStep::addTo.
constexpr qint64 kMaxElapsedSecs = 8640000000000LL;

bool isOn(const QVariantMap &record, const char *key)
{
    return record.value(QLatin1String(key)).toLongLong() != 0;
}

bool repeatingRowSkipsDay(const TimerRow &row, const QDate &day)
{
    if (row.endDateOn && (row.end.date() < day || row.end.date().year() < kFirstYear))
        return true;
    if (!row.runsOnDayOfWeek(day.dayOfWeek()))
        return true;
    // A step with a negative part can run backwards and would never leave
    // the day; such a row yields nothing, like a zero step.
    return row.step.sum() <= 0 || row.step.hasNegative();
}

bool reachesDay(const QDateTime &date, const QDate &day)
{
    return !date.isValid() || date.date() >= day;
}

// The smallest step count whose date falls on `day` or later (or is out of
// range), knowing that no count below `from` gets there. Dates grow with
// the count, so this is a search rather than a walk from a start date that
// may be years back; from the count of the day before it takes a step or
// two.
qint64 firstCountReaching(const TimerRow &row, const QDate &day, qint64 from)
{
    if (reachesDay(row.step.addTo(row.start, from), day))
        return from;
    qint64 below = from;
    qint64 stride = 1;
    while (!reachesDay(row.step.addTo(row.start, from + stride), day)) {
        below = from + stride;
        stride *= 2;
    }
    qint64 above = from + stride;
    while (above - below > 1) {
        const qint64 middle = below + (above - below) / 2;
        if (reachesDay(row.step.addTo(row.start, middle), day))
            above = middle;
        else
            below = middle;
    }
    return above;
}

// A step of hours and minutes only: elapsed time, so the executions are
// plain arithmetic on instants. Zero for a step with calendar parts.
qint64 elapsedStepSecs(const TimerStep &step)
{
    if (step.years != 0 || step.months != 0 || step.days != 0)
        return 0;
    return qint64(step.hours) * 3600 + qint64(step.minutes) * 60;
}

// The walk of calendarExecutions on instants: the zone is asked only through
// `zone`, which converts without looking the zone up again.
void elapsedExecutions(const TimerRow &row, const QDate &day, const LocalZone &zone, QList<qint64> &instants)
{
    const qint64 step = elapsedStepSecs(row.step);
    const qint64 start = row.start.toSecsSinceEpoch();
    const qint64 dayStart = zone.firstSecondOf(day);
    const int startMinute = minuteOfDay(row.start);
    const int endMinute = minuteOfDay(row.end);
    const QDate endDate = row.end.date();
    for (qint64 count = dayStart > start ? (dayStart - start + step - 1) / step : 0;; ++count) {
        if (count * step > kMaxElapsedSecs)
            break;
        const qint64 instant = start + count * step;
        const LocalZone::Local local = zone.at(instant);
        if (!local.date.isValid() || local.date > day)
            break;
        if (local.date < day || local.minuteOfDay < startMinute)
            continue;
        if ((row.endDateOn && local.date > endDate) || (row.endOn && local.minuteOfDay > endMinute))
            break;
        instants.append(instant);
    }
}

// A step with calendar parts yields at most one execution a day: few
// enough to add in local time, as the step defines it. `firstCount` carries
// the search's answer from one day to the next.
void calendarExecutions(const TimerRow &row, const QDate &day, qint64 &firstCount, QList<qint64> &instants)
{
    const int startMinute = minuteOfDay(row.start);
    const int endMinute = minuteOfDay(row.end);
    firstCount = firstCountReaching(row, day, firstCount);
    for (qint64 count = firstCount;; ++count) {
        const QDateTime date = row.step.addTo(row.start, count);
        if (!date.isValid() || date.date() > day)
            break;
        const int minute = minuteOfDay(date);
        if (date.date() < day || minute < startMinute)
            continue;
        if ((row.endDateOn && date.date() > row.end.date()) || (row.endOn && minute > endMinute))
            break;
        instants.append(date.toSecsSinceEpoch());
    }
}

// The executions of one row on one day, in time order, as seconds since
// 1970 UTC.
void rowExecutionsOnDay(const TimerRow &row, const QDate &day, const LocalZone &zone, qint64 &firstCount,
                        QList<qint64> &instants)
{
    if (!row.onOff || !row.start.isValid())
        return;
    if (row.start.date() > day || row.start.date().year() < kFirstYear)
        return;
    if (!row.intervalOn) {
        if (row.start.date() == day)
            instants.append(row.start.toSecsSinceEpoch());
    } else if (!repeatingRowSkipsDay(row, day)) {
        if (elapsedStepSecs(row.step) > 0)
            elapsedExecutions(row, day, zone, instants);
        else
            calendarExecutions(row, day, firstCount, instants);
    }
}

struct CoveredSession {
    int index = -1;
    QString name;
    QList<TimerRow> rows;
    QList<qint64> firstCounts; // per row, for the days built so far
};

QList<CoveredSession> coveredSessions(const QVariantList &sessions, int sessionIndex)
{
    QList<int> indexes;
    if (isAllSessions(sessionIndex, int(sessions.size()))) {
        for (int i = 0; i < sessions.size(); ++i)
            indexes.append(i);
    } else if (sessionIndex >= 0 && sessionIndex < sessions.size()) {
        indexes.append(sessionIndex);
    }
    QList<CoveredSession> covered;
    for (int index : indexes) {
        const QVariantMap session = sessions.at(index).toMap();
        if (!isOn(session, "timerOn") || !session.contains("timerArray"))
            continue;
        CoveredSession entry{index, session.value("sessionName").toString(), {}, {}};
        for (const QVariant &record : session.value("timerArray").toList())
            entry.rows.append(TimerRow::fromRecord(record.toMap()));
        entry.firstCounts.fill(0, entry.rows.size());
        covered.append(entry);
    }
    return covered;
}

struct Execution {
    qint64 instant;
    int session; // position in the covered sessions
};

} // namespace

QList<ScheduleEntry> buildScheduleEntries(const QVariantList &sessions, int sessionIndex, int days,
                                          const QDateTime &now)
{
    QList<CoveredSession> covered = coveredSessions(sessions, sessionIndex);
    const LocalZone zone;
    const QDateTime cursor = toLocalMinute(now);
    std::vector<Execution> executions;
    QList<qint64> instants;
    // Executions before this minute are gone, told by their instants: in
    // the hour that repeats in autumn the minute of the day cannot tell
    // the first pass, already over, from the second, still to come.
    const qint64 from = cursor.toSecsSinceEpoch();
    QDate day = cursor.date();
    for (int d = 0; d < std::max(days, 1); ++d) {
        for (int c = 0; c < covered.size(); ++c) {
            CoveredSession &session = covered[c];
            for (int r = 0; r < session.rows.size(); ++r) {
                instants.clear();
                rowExecutionsOnDay(session.rows.at(r), day, zone, session.firstCounts[r], instants);
                for (qint64 instant : instants)
                    if (instant >= from)
                        executions.push_back({instant, c});
            }
        }
        day = day.addDays(1);
    }
    std::stable_sort(executions.begin(), executions.end(),
                     [](const Execution &a, const Execution &b) { return a.instant < b.instant; });
    QList<ScheduleEntry> entries;
    entries.reserve(qsizetype(executions.size()));
    for (const Execution &execution : executions) {
        ScheduleEntry entry;
        entry.startDate = zone.dateTime(execution.instant);
        entry.session = covered.at(execution.session).index;
        entry.sessionName = covered.at(execution.session).name;
        entries.append(entry);
    }
    return entries;
}

bool isTimerOnInSomeSession(const QVariantList &sessions)
{
    for (const QVariant &session : sessions) {
        if (isOn(session.toMap(), "timerOn"))
            return true;
    }
    return false;
}

} // namespace qm
