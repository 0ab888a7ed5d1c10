#include "schedule/ScheduleEntry.h"

namespace qm {

QVariantMap ScheduleEntry::toRecord() const
{
    QVariantMap record;
    record.insert("startDate", startDate);
    record.insert("session", qlonglong(session));
    record.insert("sessionName", sessionName);
    record.insert("state", qlonglong(int(state)));
    record.insert("nextExe", qlonglong(nextExe ? 1 : 0));
    record.insert("errors", qlonglong(errors));
    if (!pathLogFile.isEmpty())
        record.insert("pathLogFile", pathLogFile);
    return record;
}

ScheduleEntry ScheduleEntry::fromRecord(const QVariantMap &record)
{
    ScheduleEntry entry;
    entry.startDate = record.value("startDate").toDateTime().toLocalTime();
    entry.session = int(record.value("session", -1).toLongLong());
    entry.sessionName = record.value("sessionName").toString();
    const qlonglong state = record.value("state").toLongLong();
    entry.state = state == 0 ? EntryState::Wait : state < 0 ? EntryState::Run : EntryState::Done;
    entry.nextExe = record.value("nextExe").toLongLong() != 0;
    entry.errors = int(record.value("errors").toLongLong());
    entry.pathLogFile = record.value("pathLogFile").toString();
    return entry;
}

} // namespace qm
