#pragma once
// The schedule: entries kept from earlier builds (running and done, in their
// old order) followed by the waiting entries of the latest build in date
// order. Lives in memory only.
#include "schedule/ScheduleEntry.h"

#include <QList>
#include <QVariantList>

namespace qm {

class Schedule {
public:
    // Replaces the schedule (fullRebuild) or only its waiting entries with
    // the executions from `now` on, and marks the first new one as next.
    void rebuild(const QVariantList &sessions, int sessionIndex, int days, const QDateTime &now,
                 bool fullRebuild);
    void clear();

    const QList<ScheduleEntry> &entries() const { return m_entries; }
    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    // Local date and time of the last build; invalid before the first.
    QDateTime lastBuild() const { return m_lastBuild; }

    // The entry marked next, or -1.
    int nextIndex() const;
    // The first entry not done that falls on today at or before the current
    // minute, or -1. A missed execution stays due for the rest of its day.
    int dueIndex(const QDateTime &now) const;

    // Wait -> Run. False for an index out of range or an entry done.
    bool start(int index);
    // Back to Wait when a run could not be started after all.
    bool unstart(int index);
    // Run -> Done with the run's results; the next waiting entry after it
    // becomes the next execution. Returns that entry's index, or -1.
    int finish(int index, int errors, const QString &existingLogPath);

    // Removes the given rows when every one of them is done; when the next
    // execution was among them, the first waiting entry inherits the mark.
    // False (nothing removed) otherwise.
    bool removeDone(const QList<int> &rows);

private:
    void dropKeptExecutions(QList<ScheduleEntry> &added) const;

    QList<ScheduleEntry> m_entries;
    QDateTime m_lastBuild;
};

} // namespace qm
