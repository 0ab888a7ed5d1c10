#include "schedule/LocalZone.h"

#include <ctime>

namespace qm {

namespace {

// No zone is ahead of or behind UTC by more than this.
constexpr qint64 kWidestOffset = 26 * 3600;

} // namespace

LocalZone::LocalZone()
{
    // localtime_r uses the zone of the last tzset and never checks it again.
    tzset();
}

LocalZone::Local LocalZone::at(qint64 secs) const
{
    const time_t t = time_t(secs);
    struct tm parts = {};
    if (qint64(t) != secs || !localtime_r(&t, &parts))
        return {};
    return {QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday), parts.tm_hour * 60 + parts.tm_min,
            int(parts.tm_gmtoff)};
}

qint64 LocalZone::firstSecondOf(const QDate &day) const
{
    // Local dates grow with the instant: search the day's midnight in UTC
    // widened by the largest offset either way.
    const qint64 midnightUtc = QDateTime(day, QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    qint64 below = midnightUtc - kWidestOffset; // before the day everywhere
    qint64 above = midnightUtc + kWidestOffset; // on the day or later everywhere
    while (above - below > 1) {
        const qint64 middle = below + (above - below) / 2;
        const Local local = at(middle);
        if (!local.date.isValid() || local.date >= day)
            above = middle;
        else
            below = middle;
    }
    return above;
}

QDateTime LocalZone::dateTime(qint64 secs) const
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::OffsetFromUTC, at(secs).offset);
}

} // namespace qm
