#pragma once
// Timer rows, sessions and a fixed local time zone for the schedule tests.
#include "schedule/ScheduleEntry.h"
#include "schedule/TimerRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QVariantList>
#include <QVariantMap>

namespace qmtest {

// Sets TZ for the life of the object and puts the old value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char *zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone &) = delete;
    ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

private:
    bool m_hadValue;
    QByteArray m_saved;
};

QDateTime at(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

qm::TimerRow oneShot(const QDateTime &start);
qm::TimerRow repeating(const QDateTime &start, const qm::TimerStep &step);
qm::TimerStep hours(int n);
qm::TimerStep days(int n);
qm::TimerStep months(int n);

QVariantMap session(const QString &name, const QList<qm::TimerRow> &rows, bool timerOn = true);

// "yyyy-MM-dd HH:mm" of each entry, in schedule order.
QStringList dates(const QList<qm::ScheduleEntry> &entries);
QStringList dates(const QList<QDateTime> &dates);

} // namespace qmtest
