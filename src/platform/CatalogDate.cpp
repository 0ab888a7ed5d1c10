#include "platform/CatalogDate.h"

#include <QTimeZone>

namespace qm {

UTCDateTime UTCDateTime::fromFixedPoint(uint64_t v)
{
    UTCDateTime d;
    d.highSeconds = uint16_t(v >> 48);
    d.lowSeconds = uint32_t(v >> 16);
    d.fraction = uint16_t(v);
    return d;
}

UTCDateTime UTCDateTime::fromTimespec(const timespec &ts)
{
    const int64_t secs = int64_t(ts.tv_sec) + kUnixEpochOffset;
    if (secs < 0 || uint64_t(secs) >= (uint64_t(1) << 48))
        return {};
    const uint64_t frac = (uint64_t(ts.tv_nsec) << 16) / 1000000000u;
    return fromFixedPoint((uint64_t(secs) << 16) | (frac & 0xFFFF));
}

timespec UTCDateTime::toTimespec() const
{
    timespec ts;
    ts.tv_sec = time_t(int64_t(wholeSeconds()) - kUnixEpochOffset);
    ts.tv_nsec = long((uint64_t(fraction) * 1000000000u) >> 16);
    return ts;
}

UTCDateTime UTCDateTime::fromDateTime(const QDateTime &dt)
{
    if (!dt.isValid())
        return {};
    const int64_t ms = dt.toMSecsSinceEpoch() + kUnixEpochOffset * 1000;
    if (ms < 0)
        return {};
    // Seconds as a floating-point number times 65536, truncated.
    const double v = double(ms) / 1000.0 * 65536.0;
    if (v >= 18446744073709551616.0)
        return {};
    return fromFixedPoint(uint64_t(v));
}

QDateTime UTCDateTime::toDateTime() const
{
    if (isNull())
        return {};
    const int64_t ms = (int64_t(wholeSeconds()) - kUnixEpochOffset) * 1000
                       + int64_t((uint64_t(fraction) * 1000) >> 16);
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

QByteArray UTCDateTime::encode() const
{
    QByteArray b(8, '\0');
    auto *p = reinterpret_cast<unsigned char *>(b.data());
    p[0] = uint8_t(highSeconds >> 8);
    p[1] = uint8_t(highSeconds);
    for (int i = 0; i < 4; ++i)
        p[2 + i] = uint8_t(lowSeconds >> (24 - 8 * i));
    p[6] = uint8_t(fraction >> 8);
    p[7] = uint8_t(fraction);
    return b;
}

bool UTCDateTime::decode(const QByteArray &bytes, UTCDateTime *out)
{
    if (bytes.size() != 8)
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    UTCDateTime d;
    d.highSeconds = uint16_t((p[0] << 8) | p[1]);
    d.lowSeconds = (uint32_t(p[2]) << 24) | (uint32_t(p[3]) << 16) | (uint32_t(p[4]) << 8) | p[5];
    d.fraction = uint16_t((p[6] << 8) | p[7]);
    *out = d;
    return true;
}

UTCDateTime UTCDateTime::magicBusyDate()
{
    // Local wall-clock time 1946-02-14 00:34:56, turned into UTC by the
    // zone rules in force here. Worked out once: every copy asks for it,
    // and each local-time conversion reads the zone file again.
    static const UTCDateTime busy = [] {
        const QDateTime wall =
            QDateTime(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC).addSecs(0x4F3AFDB0);
        UTCDateTime d = fromDateTime(QDateTime(wall.date(), wall.time(), Qt::LocalTime));
        d.fraction = 0;
        return d;
    }();
    return busy;
}

} // namespace qm
