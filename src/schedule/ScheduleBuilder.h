#pragma once
// Turns timer rows into dated executions: every execution of the covered
// sessions from the current minute of today on, and of each further day
// covered from its midnight on.
#include "schedule/ScheduleEntry.h"
#include "schedule/TimerRow.h"

#include <QList>
#include <QVariantList>

namespace qm {

// The session index that stands for "All Sessions": one past the separator
// that follows the last session.
inline bool isAllSessions(int sessionIndex, int sessionCount)
{
    return sessionIndex == sessionCount + 1;
}

// The new entries of a build, sorted by date (ties keep day, session and row
// order), none marked next yet. Their dates carry the offset from UTC in
// force at each instant. `sessions` is the document's sessionsArray;
// `days` at least 1.
QList<ScheduleEntry> buildScheduleEntries(const QVariantList &sessions, int sessionIndex, int days,
                                          const QDateTime &now);

// Whether any session, in order, has its timers on.
bool isTimerOnInSomeSession(const QVariantList &sessions);

} // namespace qm
