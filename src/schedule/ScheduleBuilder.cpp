#include "schedule/ScheduleBuilder.h"

#include <algorithm>

namespace qm {

namespace {

constexpr int kFirstYear = 2002;

bool isOn(const QVariantMap &record, const char *key)
{
    return record.value(QLatin1String(key)).toLongLong() != 0;
}

QList<QDateTime> oneShotExecutions(const TimerRow &row, const QDate &day, int fromMinute)
{
    if (row.start.date() == day && fromMinute <= minuteOfDay(row.start))
        return {row.start};
    return {};
}

bool repeatingRowSkipsDay(const TimerRow &row, const QDate &day, int fromMinute)
{
    if (row.endDateOn && (row.end.date() < day || row.end.date().year() < kFirstYear))
        return true;
    if (row.endOn && fromMinute > minuteOfDay(row.end))
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
// range). Dates grow with the count, so this is a search rather than a walk
// from a start date that may be years back.
qint64 firstCountReaching(const TimerRow &row, const QDate &day)
{
    if (reachesDay(row.step.addTo(row.start, 0), day))
        return 0;
    qint64 below = 0;
    qint64 above = 1;
    while (!reachesDay(row.step.addTo(row.start, above), day)) {
        below = above;
        above *= 2;
    }
    while (above - below > 1) {
        const qint64 middle = below + (above - below) / 2;
        if (reachesDay(row.step.addTo(row.start, middle), day))
            above = middle;
        else
            below = middle;
    }
    return above;
}

QList<QDateTime> repeatingExecutions(const TimerRow &row, const QDate &day, int fromMinute)
{
    QList<QDateTime> dates;
    if (repeatingRowSkipsDay(row, day, fromMinute))
        return dates;
    const int startMinute = minuteOfDay(row.start);
    const int endMinute = minuteOfDay(row.end);
    for (qint64 count = firstCountReaching(row, day);; ++count) {
        const QDateTime date = row.step.addTo(row.start, count);
        if (!date.isValid() || date.date() > day)
            break;
        const int minute = minuteOfDay(date);
        if (date.date() < day || minute < startMinute)
            continue;
        if ((row.endDateOn && date.date() > row.end.date()) || (row.endOn && minute > endMinute))
            break;
        if (fromMinute <= minute)
            dates.append(date);
    }
    return dates;
}

void addSessionEntries(const QVariantMap &session, int sessionIndex, const QDate &day, int fromMinute,
                       QList<ScheduleEntry> &entries)
{
    if (!isOn(session, "timerOn") || !session.contains("timerArray"))
        return;
    const QString name = session.value("sessionName").toString();
    const QVariantList rows = session.value("timerArray").toList();
    for (const QVariant &record : rows) {
        const TimerRow row = TimerRow::fromRecord(record.toMap());
        for (const QDateTime &date : rowExecutionsOnDay(row, day, fromMinute)) {
            ScheduleEntry entry;
            entry.startDate = date;
            entry.session = sessionIndex;
            entry.sessionName = name;
            entries.append(entry);
        }
    }
}

} // namespace

QList<QDateTime> rowExecutionsOnDay(const TimerRow &row, const QDate &day, int fromMinute)
{
    if (!row.onOff || !row.start.isValid())
        return {};
    if (row.start.date() > day || row.start.date().year() < kFirstYear)
        return {};
    return row.intervalOn ? repeatingExecutions(row, day, fromMinute) : oneShotExecutions(row, day, fromMinute);
}

QList<ScheduleEntry> buildScheduleEntries(const QVariantList &sessions, int sessionIndex, int days,
                                          const QDateTime &now)
{
    QList<int> covered;
    if (isAllSessions(sessionIndex, int(sessions.size()))) {
        for (int i = 0; i < sessions.size(); ++i)
            covered.append(i);
    } else if (sessionIndex >= 0 && sessionIndex < sessions.size()) {
        covered.append(sessionIndex);
    }

    const QDateTime cursor = toLocalMinute(now);
    QList<ScheduleEntry> entries;
    QDate day = cursor.date();
    int fromMinute = minuteOfDay(cursor);
    for (int d = 0; d < std::max(days, 1); ++d) {
        for (int index : covered)
            addSessionEntries(sessions.at(index).toMap(), index, day, fromMinute, entries);
        day = day.addDays(1);
        fromMinute = 0;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const ScheduleEntry &a, const ScheduleEntry &b) {
        return a.startDate < b.startDate;
    });
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
