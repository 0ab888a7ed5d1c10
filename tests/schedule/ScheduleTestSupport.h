#pragma once
// Timer rows, sessions and a fixed local time zone for the schedule tests.
#include "schedule/ScheduleEntry.h"
#include "schedule/TimerRow.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantList>
#include <ctime>
#include <ostream>

// Readable texts in test failures.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace qmtest {

// Central European time as a POSIX rule (the Berlin zone from 2002 on:
// summer time from the last Sunday of March 02:00 to the last Sunday of
// October 03:00), so the tests need no time-zone database.
inline constexpr const char *kBerlin = "CET-1CEST,M3.5.0,M10.5.0/3";

// Sets TZ for the life of the object and puts the old value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone) : m_had(qEnvironmentVariableIsSet("TZ")), m_saved(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        m_had ? qputenv("TZ", m_saved) : qunsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    QByteArray m_saved;
};

inline QDateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

inline qm::TimerRow oneShot(const QDateTime &start)
{
    qm::TimerRow row;
    row.valid = true;
    row.start = row.end = start;
    return row;
}

inline qm::TimerRow repeating(const QDateTime &start, const qm::TimerStep &each)
{
    qm::TimerRow row = oneShot(start);
    row.intervalOn = true;
    row.step = each;
    return row;
}

// A session record as stored: 32 timer rows, the unused ones at their defaults.
inline QVariantMap session(const QString &name, const QList<qm::TimerRow> &rows, bool timerOn = true)
{
    QVariantList records;
    for (const qm::TimerRow &row : rows)
        records.append(row.toRecord());
    while (records.size() < 32)
        records.append(qm::TimerRow::defaultRecord(qm::TimerRow::defaultStart()));
    return {{"sessionName", name}, {"timerOn", qlonglong(timerOn)}, {"timerArray", records}};
}

// "yyyy-MM-dd HH:mm" of each entry, in schedule order.
inline QStringList dates(const QList<qm::ScheduleEntry> &entries)
{
    QStringList texts;
    for (const qm::ScheduleEntry &entry : entries)
        texts.append(entry.startDate.toLocalTime().toString("yyyy-MM-dd HH:mm"));
    return texts;
}

} // namespace qmtest
