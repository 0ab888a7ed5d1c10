#include "ScheduleTestSupport.h"

#include <QStringList>
#include <ctime>

namespace qmtest {

ScopedTimeZone::ScopedTimeZone(const char *zone)
    : m_hadValue(qEnvironmentVariableIsSet("TZ")), m_saved(qgetenv("TZ"))
{
    qputenv("TZ", zone);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_hadValue)
        qputenv("TZ", m_saved);
    else
        qunsetenv("TZ");
    tzset();
}

QDateTime at(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

qm::TimerRow oneShot(const QDateTime &start)
{
    qm::TimerRow row;
    row.valid = true;
    row.start = start;
    row.end = start;
    return row;
}

qm::TimerRow repeating(const QDateTime &start, const qm::TimerStep &step)
{
    qm::TimerRow row = oneShot(start);
    row.intervalOn = true;
    row.step = step;
    return row;
}

qm::TimerStep hours(int n)
{
    qm::TimerStep step;
    step.hours = n;
    return step;
}

qm::TimerStep days(int n)
{
    qm::TimerStep step;
    step.days = n;
    return step;
}

qm::TimerStep months(int n)
{
    qm::TimerStep step;
    step.months = n;
    return step;
}

QVariantMap session(const QString &name, const QList<qm::TimerRow> &rows, bool timerOn)
{
    QVariantList records;
    for (const qm::TimerRow &row : rows)
        records.append(row.toRecord());
    // The stored list always has 32 rows; the rest are empty ones.
    while (records.size() < 32)
        records.append(qm::TimerRow::defaultRecord(qm::TimerRow::defaultStart()));
    QVariantMap record;
    record.insert("sessionName", name);
    record.insert("timerOn", qlonglong(timerOn ? 1 : 0));
    record.insert("timerArray", records);
    return record;
}

QStringList dates(const QList<qm::ScheduleEntry> &entries)
{
    QStringList texts;
    for (const qm::ScheduleEntry &entry : entries)
        texts.append(entry.startDate.toLocalTime().toString("yyyy-MM-dd HH:mm"));
    return texts;
}

QStringList dates(const QList<QDateTime> &list)
{
    QStringList texts;
    for (const QDateTime &date : list)
        texts.append(date.toLocalTime().toString("yyyy-MM-dd HH:mm"));
    return texts;
}

} // namespace qmtest
