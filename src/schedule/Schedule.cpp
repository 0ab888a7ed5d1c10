#include "schedule/Schedule.h"

#include "schedule/LocalZone.h"
#include "schedule/ScheduleBuilder.h"
#include "schedule/TimerRow.h"

#include <algorithm>

namespace qm {

void Schedule::rebuild(const QVariantList &sessions, int sessionIndex, int days, const QDateTime &now,
                       bool fullRebuild)
{
    if (fullRebuild) {
        m_entries.clear();
    } else {
        m_entries.removeIf([](const ScheduleEntry &entry) { return entry.state == EntryState::Wait; });
    }
    m_lastBuild = now;
    QList<ScheduleEntry> added = buildScheduleEntries(sessions, sessionIndex, days, now);
    dropKeptExecutions(added);
    if (!added.isEmpty()) {
        // One entry carries the mark; a kept entry cannot be the next one.
        for (ScheduleEntry &entry : m_entries)
            entry.nextExe = false;
        added.first().nextExe = true;
    }
    m_entries.append(added);
}

void Schedule::dropKeptExecutions(QList<ScheduleEntry> &added) const
{
    // A rebuild in the minute of an execution that has started or finished
    // builds that execution again; it would then be due at once and run a
    // second time. Each kept entry cancels one new twin. The new entries
    // are in date order, so the twin is found by a search.
    const auto earlier = [](const ScheduleEntry &entry, qint64 msecs) {
        return entry.startDate.toMSecsSinceEpoch() < msecs;
    };
    for (const ScheduleEntry &kept : m_entries) {
        const qint64 msecs = kept.startDate.toMSecsSinceEpoch();
        for (auto it = std::lower_bound(added.begin(), added.end(), msecs, earlier);
             it != added.end() && it->startDate.toMSecsSinceEpoch() == msecs; ++it) {
            if (it->session == kept.session) {
                added.erase(it);
                break;
            }
        }
    }
}

void Schedule::clear()
{
    m_entries.clear();
}

int Schedule::nextIndex() const
{
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).nextExe)
            return i;
    }
    return -1;
}

int Schedule::dueIndex(const QDateTime &now) const
{
    // Compared as instants rather than minutes of the day, so that in the
    // hour that repeats in autumn the second 2:00 waits for its own hour.
    // Today is the span from its first instant to now; the zone is read
    // once rather than for each entry.
    const LocalZone zone;
    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    const qint64 todayMsecs = zone.firstSecondOf(now.toLocalTime().date()) * 1000;
    for (int i = 0; i < m_entries.size(); ++i) {
        const ScheduleEntry &entry = m_entries.at(i);
        const qint64 msecs = entry.startDate.toMSecsSinceEpoch();
        if (entry.state != EntryState::Done && msecs >= todayMsecs && msecs <= nowMsecs)
            return i;
    }
    return -1;
}

bool Schedule::start(int index)
{
    if (index < 0 || index >= m_entries.size() || m_entries.at(index).state == EntryState::Done)
        return false;
    m_entries[index].state = EntryState::Run;
    return true;
}

bool Schedule::unstart(int index)
{
    if (index < 0 || index >= m_entries.size() || m_entries.at(index).state != EntryState::Run)
        return false;
    m_entries[index].state = EntryState::Wait;
    return true;
}

int Schedule::finish(int index, int errors, const QString &existingLogPath)
{
    if (index < 0 || index >= m_entries.size())
        return -1;
    ScheduleEntry &done = m_entries[index];
    done.state = EntryState::Done;
    done.errors = errors;
    done.nextExe = false;
    if (!existingLogPath.isEmpty())
        done.pathLogFile = existingLogPath;
    for (int i = index + 1; i < m_entries.size(); ++i) {
        if (m_entries.at(i).state == EntryState::Wait) {
            for (ScheduleEntry &entry : m_entries)
                entry.nextExe = false;
            m_entries[i].nextExe = true;
            return i;
        }
    }
    return -1;
}

bool Schedule::removeDone(const QList<int> &rows)
{
    if (rows.isEmpty() || rows.size() > m_entries.size())
        return false;
    for (int row : rows) {
        if (row < 0 || row >= m_entries.size() || m_entries.at(row).state != EntryState::Done)
            return false;
    }
    QList<int> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), std::greater<int>());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    bool removedNext = false;
    for (int row : sorted) {
        removedNext = removedNext || m_entries.at(row).nextExe;
        m_entries.removeAt(row);
    }
    if (removedNext) {
        for (ScheduleEntry &entry : m_entries) {
            if (entry.state == EntryState::Wait) {
                entry.nextExe = true;
                break;
            }
        }
    }
    return true;
}

} // namespace qm
