#pragma once
// The schedule and its 10-second check.
//
// The check is a QTimer on the main thread. Qt delivers timer events from
// every event loop of the thread, including the nested loops of modal
// dialogs (QDialog::exec, QMessageBox) and of menus being tracked, so the
// check keeps firing while one is open without any extra registration.
//
// It runs only while it is enabled (setCheckEnabled) and not paused. The
// run driver pauses it for the duration of every run, and the console
// pauses it while another panel is shown; resume() lets it go on when it is
// still enabled. Showing the console panel again decides anew
// (consolePanelShown).
//
// When an entry is due the check marks it running, locks the monitor and
// hands the entry to the run starter with trigger 2 (timer); the run driver
// calls markDone when that run has ended.
#include "schedule/Schedule.h"

#include <QObject>
#include <QTimer>
#include <functional>

namespace qm {

class Clock;
class ScheduleHost;

class ScheduleMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kCheckIntervalMs = 10000;
    static constexpr int kTimerTrigger = 2;

    // Starts the run of a due entry; answers whether the run was started.
    // The starter makes `sessionIndex` the current session (remembering the
    // old one) and runs it with `trigger`.
    using RunStarter = std::function<bool(int sessionIndex, int entryIndex, int trigger)>;

    ScheduleMonitor(const Clock &clock, const ScheduleHost &host, QObject *parent = nullptr);

    void setRunStarter(RunStarter starter) { m_runStarter = std::move(starter); }

    // Builds the schedule: replaces it whole with fullRebuild (after the
    // timer list is applied), otherwise keeps the running and done entries
    // (session change, console shown, days changed, change of day).
    void rebuild(bool fullRebuild);

    // Turns the check on or off; answers whether it was on before.
    bool setCheckEnabled(bool on);
    bool isCheckEnabled() const { return m_enabled; }
    // The QTimer is actually counting: enabled and not paused.
    bool isCheckRunning() const { return m_timer.isActive(); }
    void pause();
    void resume();
    bool isPaused() const { return m_pauseDepth > 0; }

    // The console panel is shown again: rebuild and decide whether the
    // check runs.
    void consolePanelShown();

    // One check; the timer calls it every 10 seconds.
    void checkIfTimeToSync();

    // On the main thread: the run that the check started has ended with `errors` run errors and
    // its log saved at `logPath` (empty or missing: no log file). False when
    // no entry was running.
    bool markDone(int errors, const QString &logPath);

    // Days the schedule covers, 1 (today only) or more; changing it rebuilds.
    void setDaysToCover(int days);
    int daysToCover() const { return m_days; }

    // A timer run is under way: the monitor refuses changes.
    bool isBlocked() const { return m_blocked; }
    int currentEntryIndex() const { return m_currentIndex; }
    const Schedule &schedule() const { return m_schedule; }

    // The monitor's delete: only done entries, only while not blocked.
    bool deleteEntries(const QList<int> &rows);

    // The timer button's tool tip.
    QString toolTip() const { return m_toolTip; }

Q_SIGNALS:
    void scheduleChanged();
    void showEntry(int index);
    void blockedChanged(bool blocked);
    void toolTipChanged(const QString &toolTip);

private:
    void updateTimer();
    void setBlocked(bool blocked);
    void setToolTip(const QString &toolTip);
    void showNextInToolTip(int index);
    bool coversAllSessions() const;

    const Clock &m_clock;
    const ScheduleHost &m_host;
    RunStarter m_runStarter;
    Schedule m_schedule;
    QTimer m_timer;
    bool m_enabled = false;
    int m_pauseDepth = 0;
    int m_currentIndex = -1;
    int m_days = 1;
    bool m_blocked = false;
    QString m_toolTip;
};

// "Next Timer: 07 Dec 2026 - 08:00", with " (session)" for All Sessions.
QString nextTimerToolTip(const ScheduleEntry &entry, bool allSessions, const QLocale &locale);

} // namespace qm
