#pragma once
// The system's local time zone, read once. Each local-time conversion of
// QDateTime asks the C library to check the zone again (a file status call
// when TZ is unset); a schedule of a month of minutes needs tens of
// thousands of conversions, so it reads the zone once per build and
// converts instants itself. A zone changed meanwhile is seen by the next
// object.
#include <QDate>
#include <QDateTime>

namespace qm {

class LocalZone {
public:
    LocalZone();

    struct Local {
        QDate date;          // invalid when the instant is out of the calendar's range
        int minuteOfDay = 0; // hour x 60 + minute
        int offset = 0;      // seconds ahead of UTC
    };
    // The wall clock at `secs` seconds since 1970 UTC.
    Local at(qint64 secs) const;

    // The first instant whose local date is `day` or later: midnight, or
    // the end of the jump when the clocks skip midnight.
    qint64 firstSecondOf(const QDate &day) const;

    // The instant with its offset fixed, so that reading its date and time
    // later asks the zone nothing.
    QDateTime dateTime(qint64 secs) const;
};

} // namespace qm
