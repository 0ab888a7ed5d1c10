#pragma once
// Catalog dates: 48.16 fixed-point seconds since 1904-01-01 00:00:00 UTC, and
// their 8-byte big-endian stored form (16-bit high seconds, 32-bit low
// seconds, 16-bit fraction) used in the extended attributes.
#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <ctime>

namespace qm {

struct UTCDateTime {
    uint16_t highSeconds = 0;
    uint32_t lowSeconds = 0;
    uint16_t fraction = 0;

    bool isNull() const { return highSeconds == 0 && lowSeconds == 0 && fraction == 0; }
    uint64_t wholeSeconds() const { return (uint64_t(highSeconds) << 32) | lowSeconds; }
    // The whole 48.16 value.
    uint64_t fixedPoint() const { return (wholeSeconds() << 16) | fraction; }
    static UTCDateTime fromFixedPoint(uint64_t v);

    // Seconds between 1904-01-01 and 1970-01-01.
    static constexpr int64_t kUnixEpochOffset = 2082844800;

    // A time on the Unix clock; times before 1904 give the null date.
    static UTCDateTime fromTimespec(const timespec &ts);
    // Null gives {0, 0}, the Unix epoch, only when asked for: callers test isNull first.
    timespec toTimespec() const;

    // Invalid gives the null date.
    static UTCDateTime fromDateTime(const QDateTime &dt);
    // Null gives an invalid QDateTime. The fraction is kept to the millisecond.
    QDateTime toDateTime() const;

    QByteArray encode() const;
    // False (and *out untouched) unless the bytes are exactly 8.
    static bool decode(const QByteArray &bytes, UTCDateTime *out);

    // 0x4F3AFDB0 seconds after 1904-01-01 00:00:00 local time, as UTC: the
    // creation date that marks an object being written.
    static UTCDateTime magicBusyDate();

    friend bool operator==(const UTCDateTime &a, const UTCDateTime &b)
    {
        return a.fixedPoint() == b.fixedPoint();
    }
};

} // namespace qm
