#include "schedule/TimerRow.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace qm {

namespace {

int intValue(const QVariantMap &record, const char *key, int fallback)
{
    const auto it = record.constFind(QLatin1String(key));
    if (it == record.constEnd())
        return fallback;
    bool ok = false;
    const qlonglong value = it->toLongLong(&ok);
    if (!ok)
        return fallback;
    return int(std::clamp<qlonglong>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool flagValue(const QVariantMap &record, const char *key, bool fallback)
{
    return intValue(record, key, fallback ? 1 : 0) != 0;
}

QDateTime dateValue(const QVariantMap &record, const char *key, const QDateTime &fallback)
{
    const QDateTime value = record.value(QLatin1String(key)).toDateTime();
    return value.isValid() ? toLocalMinute(value) : fallback;
}

bool fitsInt(qint64 value)
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

} // namespace

QDateTime TimerStep::addTo(const QDateTime &start, qint64 count) const
{
    // Counts and values are bounded far below overflow of the products:
    // any step is at least a minute, and the count is chosen by a search
    // that gives up past the range of dates.
    const qint64 monthCount = count * (qint64(years) * 12 + months);
    const qint64 dayCount = count * qint64(days);
    const qint64 secCount = count * (qint64(hours) * 3600 + qint64(minutes) * 60);
    if (!fitsInt(monthCount) || std::abs(dayCount) > 100000000 || std::abs(secCount) > 8640000000000LL)
        return QDateTime();
    // Each local-time addition asks the C library for the zone, which may
    // read the zone file again: parts that are zero are not added at all.
    QDateTime date = start;
    if (monthCount != 0)
        date = date.addMonths(int(monthCount));
    if (dayCount != 0)
        date = date.addDays(dayCount);
    if (secCount != 0)
        date = date.addSecs(secCount);
    return date;
}

TimerRow TimerRow::fromRecord(const QVariantMap &record)
{
    TimerRow row;
    const QDateTime fallback = defaultStart();
    row.valid = flagValue(record, TimerKey::valid, false);
    row.onOff = flagValue(record, TimerKey::onOff, true);
    row.start = dateValue(record, TimerKey::start, fallback);
    row.intervalOn = flagValue(record, TimerKey::intervalOn, false);
    row.step.hours = intValue(record, TimerKey::intervalHours, 0);
    row.step.minutes = intValue(record, TimerKey::intervalMinutes, 0);
    row.step.days = intValue(record, TimerKey::intervalDays, 0);
    row.step.months = intValue(record, TimerKey::intervalMonths, 0);
    row.step.years = intValue(record, TimerKey::intervalYears, 0);
    row.endOn = flagValue(record, TimerKey::endOn, false);
    row.endDateOn = flagValue(record, TimerKey::endDateOn, false);
    row.end = dateValue(record, TimerKey::end, row.start);
    for (size_t i = 0; i < row.weekDays.size(); ++i)
        row.weekDays[i] = flagValue(record, TimerKey::weekDays[i], true);
    return row;
}

QVariantMap TimerRow::toRecord() const
{
    QVariantMap record;
    record.insert(TimerKey::valid, qlonglong(valid));
    record.insert(TimerKey::onOff, qlonglong(onOff));
    record.insert(TimerKey::start, start);
    record.insert(TimerKey::intervalOn, qlonglong(intervalOn));
    record.insert(TimerKey::intervalHours, qlonglong(step.hours));
    record.insert(TimerKey::intervalMinutes, qlonglong(step.minutes));
    record.insert(TimerKey::intervalDays, qlonglong(step.days));
    record.insert(TimerKey::intervalMonths, qlonglong(step.months));
    record.insert(TimerKey::intervalYears, qlonglong(step.years));
    record.insert(TimerKey::endOn, qlonglong(endOn));
    record.insert(TimerKey::endDateOn, qlonglong(endDateOn));
    record.insert(TimerKey::end, end);
    for (size_t i = 0; i < weekDays.size(); ++i)
        record.insert(TimerKey::weekDays[i], qlonglong(weekDays[i]));
    return record;
}

QVariantMap TimerRow::defaultRecord(const QDateTime &startAndEnd)
{
    TimerRow row;
    row.start = startAndEnd;
    row.end = startAndEnd;
    return row.toRecord();
}

QDateTime TimerRow::defaultStart()
{
    return localDateTime(QDate(2004, 1, 1), QTime(0, 0));
}

bool TimerRow::runsOnDayOfWeek(int qtDayOfWeek) const
{
    if (qtDayOfWeek < 1 || qtDayOfWeek > 7)
        return false;
    return weekDays[size_t(qtDayOfWeek - 1)];
}

QDateTime localDateTime(const QDate &date, const QTime &time)
{
    const QDateTime direct(date, time);
    if (direct.isValid() || !date.isValid() || !time.isValid())
        return direct;
    // Read the wall-clock time with the offset in force before the jump: in
    // the lost hour of spring 2:30 becomes 3:30.
    const int offsetBefore = QDateTime(date.addDays(-1), time).offsetFromUtc();
    return QDateTime(date, time, Qt::UTC).addSecs(-offsetBefore).toLocalTime();
}

QDateTime toLocalMinute(const QDateTime &dateTime)
{
    const QDateTime local = dateTime.toLocalTime();
    // Subtracting keeps the offset of an hour that occurs twice in autumn,
    // where rebuilding from date and time could pick the other one.
    const QTime time = local.time();
    return local.addMSecs(-qint64(time.second()) * 1000 - time.msec());
}

int minuteOfDay(const QDateTime &local)
{
    const QTime time = local.time();
    return time.hour() * 60 + time.minute();
}

} // namespace qm
