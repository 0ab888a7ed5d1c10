#pragma once
// One dated execution of a timer.
#include <QDateTime>
#include <QString>
#include <QVariantMap>

namespace qm {

enum class EntryState { Wait = 0, Run = -1, Done = 1 };

struct ScheduleEntry {
    QDateTime startDate; // seconds 0; its local date and time through toLocalTime()
    int session = -1;    // index in sessionsArray
    QString sessionName;
    EntryState state = EntryState::Wait;
    bool nextExe = false;
    int errors = 0;
    QString pathLogFile; // empty unless the run's log file existed when it ended

    // The dictionary form, keys "startDate", "session", "sessionName",
    // "state", "nextExe", "errors" and, when set, "pathLogFile".
    QVariantMap toRecord() const;
    static ScheduleEntry fromRecord(const QVariantMap &record);

    bool operator==(const ScheduleEntry &) const = default;
};

} // namespace qm
