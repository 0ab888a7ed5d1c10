#pragma once
// Where the schedule gets "now" from. The check and the builder never read
// the system clock directly, so tests can drive whole days and
// daylight-saving changes without waiting.
#include <QDateTime>

namespace qm {

class Clock {
public:
    virtual ~Clock() = default;
    // Local date and time.
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that shows whatever it was last set to.
class TestClock final : public Clock {
public:
    explicit TestClock(const QDateTime &start = QDateTime()) : m_now(start) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime &now) { m_now = now; }
    void advanceSecs(qint64 secs) { m_now = m_now.addSecs(secs); }

private:
    QDateTime m_now;
};

} // namespace qm
