#include "schedule/ScheduleMonitor.h"

#include "platform/Messages.h"
#include "schedule/Clock.h"
#include "schedule/ScheduleBuilder.h"
#include "schedule/ScheduleHost.h"

#include <QFileInfo>
#include <QLocale>

namespace qm {

QString nextTimerToolTip(const ScheduleEntry &entry, bool allSessions, const QLocale &locale)
{
    QString text = GLS("Next Timer: ") + locale.toString(entry.startDate.toLocalTime(), "dd MMM yyyy - HH:mm");
    if (allSessions)
        text += " (" + entry.sessionName + ")";
    return text;
}

ScheduleMonitor::ScheduleMonitor(const Clock &clock, const ScheduleHost &host, QObject *parent)
    : QObject(parent), m_clock(clock), m_host(host)
{
    m_timer.setInterval(kCheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &ScheduleMonitor::checkIfTimeToSync);
}

void ScheduleMonitor::rebuild(bool fullRebuild)
{
    if (m_host.syncAndQuit()) {
        setCheckEnabled(false);
        m_currentIndex = -1;
        m_schedule.clear();
        Q_EMIT scheduleChanged();
        return;
    }
    const bool wasEnabled = setCheckEnabled(false);
    m_schedule.rebuild(m_host.sessions(), m_host.sessionIndex(), m_days, m_clock.now(), fullRebuild);
    // A timer run under way keeps its (possibly moved) entry, so that its
    // end still finds it and the monitor is unlocked.
    m_currentIndex = -1;
    if (m_blocked) {
        for (int i = 0; i < m_schedule.size(); ++i) {
            if (m_schedule.entries().at(i).state == EntryState::Run) {
                m_currentIndex = i;
                break;
            }
        }
    }
    const int next = m_schedule.nextIndex();
    if (next >= 0)
        showNextInToolTip(next);
    Q_EMIT scheduleChanged();
    if (next >= 0)
        Q_EMIT showEntry(next);
    if (wasEnabled)
        setCheckEnabled(true);
}

bool ScheduleMonitor::setCheckEnabled(bool on)
{
    const bool was = m_enabled;
    m_enabled = on;
    // Turning it on starts a fresh 10-second period.
    m_timer.stop();
    updateTimer();
    return was;
}

void ScheduleMonitor::pause()
{
    ++m_pauseDepth;
    updateTimer();
}

void ScheduleMonitor::resume()
{
    if (m_pauseDepth > 0)
        --m_pauseDepth;
    updateTimer();
}

void ScheduleMonitor::updateTimer()
{
    if (m_enabled && m_pauseDepth == 0) {
        if (!m_timer.isActive())
            m_timer.start();
    } else {
        m_timer.stop();
    }
}

void ScheduleMonitor::consolePanelShown()
{
    const QVariantList sessions = m_host.sessions();
    const bool syncAndQuit = m_host.syncAndQuit();
    if (coversAllSessions()) {
        if (syncAndQuit) {
            setCheckEnabled(false);
            m_currentIndex = -1;
            m_schedule.clear();
            Q_EMIT scheduleChanged();
        } else if (isTimerOnInSomeSession(sessions)) {
            rebuild(false);
            setCheckEnabled(true);
        }
        return;
    }
    const int index = m_host.sessionIndex();
    const bool timerOn = index >= 0 && index < sessions.size()
                         && sessions.at(index).toMap().value("timerOn").toLongLong() != 0;
    if (timerOn && !syncAndQuit) {
        rebuild(false);
        setCheckEnabled(true);
        return;
    }
    setCheckEnabled(false);
    rebuild(false);
    setToolTip(syncAndQuit ? GLS("Temporary off because of the SyncAndQuit") : GLS("Go to the Timer panel"));
}

void ScheduleMonitor::checkIfTimeToSync()
{
    if (m_host.isRunUnderway() || m_blocked)
        return;
    m_currentIndex = -1;
    const QDateTime now = m_clock.now();
    if (!m_schedule.lastBuild().isValid() || now.date() != m_schedule.lastBuild().date())
        rebuild(false);
    setToolTip(GLS("Go to the Timer panel"));
    if (m_schedule.isEmpty() || !m_host.consoleShown())
        return;
    const int due = m_schedule.dueIndex(now);
    if (due < 0)
        return;

    m_currentIndex = due;
    m_schedule.start(due);
    setBlocked(true);
    Q_EMIT scheduleChanged();
    Q_EMIT showEntry(due);
    const int session = m_schedule.entries().at(due).session;
    const bool started = m_runStarter && m_runStarter(session, due, kTimerTrigger);
    if (!started && m_schedule.unstart(due)) {
        // Nothing runs, so the entry waits for the next check.
        m_currentIndex = -1;
        setBlocked(false);
        Q_EMIT scheduleChanged();
    }
}

bool ScheduleMonitor::markDone(int errors, const QString &logPath)
{
    if (m_currentIndex < 0 || m_currentIndex >= m_schedule.size()) {
        m_currentIndex = -1;
        setBlocked(false);
        return false;
    }
    const QString existing = !logPath.isEmpty() && QFileInfo::exists(logPath) ? logPath : QString();
    const int next = m_schedule.finish(m_currentIndex, errors, existing);
    if (next >= 0) {
        showNextInToolTip(next);
        Q_EMIT showEntry(next);
    } else {
        setToolTip(GLS("Next Timer: undefined"));
    }
    m_currentIndex = -1;
    Q_EMIT scheduleChanged();
    setBlocked(false);
    return true;
}

void ScheduleMonitor::setDaysToCover(int days)
{
    if (m_blocked)
        return;
    m_days = std::max(days, 1);
    rebuild(false);
}

bool ScheduleMonitor::deleteEntries(const QList<int> &rows)
{
    if (m_blocked || !m_schedule.removeDone(rows))
        return false;
    Q_EMIT scheduleChanged();
    return true;
}

void ScheduleMonitor::setBlocked(bool blocked)
{
    if (m_blocked == blocked)
        return;
    m_blocked = blocked;
    Q_EMIT blockedChanged(blocked);
}

void ScheduleMonitor::setToolTip(const QString &toolTip)
{
    if (m_toolTip == toolTip)
        return;
    m_toolTip = toolTip;
    Q_EMIT toolTipChanged(toolTip);
}

void ScheduleMonitor::showNextInToolTip(int index)
{
    setToolTip(nextTimerToolTip(m_schedule.entries().at(index), coversAllSessions(), QLocale::system()));
}

bool ScheduleMonitor::coversAllSessions() const
{
    return isAllSessions(m_host.sessionIndex(), int(m_host.sessions().size()));
}

} // namespace qm
