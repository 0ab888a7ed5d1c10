#pragma once
// What a run tells the windows while it goes on, as signals emitted on the
// thread this object lives in (the main thread). The desktop console and
// the command-line display both listen to the same signals.
//
// The worker posts from its own thread without waiting. Values that change
// per item (status text, items done, bytes of the current file, the current
// item) are throttled: the latest value wins and each signal is emitted at
// most once per kIntervalMs; the current item only when it changed. Events
// (run started and ended, phase, task, countdown, session moved) are
// emitted in order, after every update posted before them.
#include "engine/RunState.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace qm {

class RunFeedback : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 100;

    enum class Phase {
        Idle,         // no run, or the run has ended
        Scanning,     // the progress bar is indeterminate
        Preview,      // the plan is shown for review
        Copying,      // items done of items to do
        WritingIndex, // "Creating Exact Sync Index…", indeterminate
        Finishing,    // log, report
    };
    Q_ENUM(Phase)

    // The item being processed, for the information drawer.
    struct Item {
        int copyMode = 0;
        QString source; // the item's path
        QString dest;   // where it goes; "" for a removal
        bool operator==(const Item &) const = default;
    };

    explicit RunFeedback(QObject *parent = nullptr);

    // Any thread, throttled.
    void postStatus(const QString &text);
    void postProgress(int done, int total);
    // Bytes of `item`'s data copied so far: told only while it is the
    // current item (copies of several files may run side by side).
    void postBytes(const QString &item, qint64 copied, qint64 total);
    void postCurrentItem(int copyMode, const QString &source, const QString &dest);

    // Any thread, in order.
    void postPhase(Phase phase);
    void postTask(int sessionIndex, const QString &source, const QString &dest);

    // Main thread (the run driver).
    void runBegins(RunTrigger trigger);
    void runEnds();
    void countdownTick(int secondsLeft);
    void countdownStopped();
    void moveToSession(int sessionIndex);

    // The latest delivered values, for a window shown during a run.
    Phase phase() const { return m_phase; }
    const QString &status() const { return m_shownStatus; }
    int itemsDone() const { return m_shownDone; }
    int itemsTotal() const { return m_shownTotal; }
    const Item &currentItem() const { return m_shownItem; }

Q_SIGNALS:
    void runStarted(qm::RunTrigger trigger);
    // After the run's conclusion (report, log saved, timers back on).
    void runEnded();
    void phaseChanged(qm::RunFeedback::Phase phase);
    void statusChanged(const QString &text);
    // Items done of items to do during the copy ("Items to do:" = total - done).
    void progressChanged(int done, int total);
    void bytesChanged(qint64 copied, qint64 total);
    void currentItemChanged(int copyMode, const QString &source, const QString &dest);
    // The copy moves to a task: mark its session, show its folders.
    void taskChanged(int sessionIndex, const QString &source, const QString &dest);
    // The Sync And Quit countdown: 10, 9 ... 1, then 0 as the run starts.
    void countdownTicked(int secondsLeft);
    void countdownCancelled();
    // A timer run shows the session it runs, and the console's session again
    // when it has ended.
    void sessionMoved(int sessionIndex);

private:
    struct Pending {
        bool status = false, progress = false, bytes = false, item = false;
        QString statusText;
        int done = 0, total = 0;
        qint64 bytesCopied = 0, bytesTotal = 0;
        Item currentItem;
    };

    static bool isDirty(const Pending &p) { return p.status || p.progress || p.bytes || p.item; }
    Pending takePending(); // with m_mutex held
    void markDirty(const std::function<void(Pending &)> &change);
    void armFlush();
    void flush();
    // Main thread, when every event posted before has been told: tells
    // what is pending now, whatever the interval.
    void drain();
    void emitPending(const Pending &p);
    void inOrder(std::function<void()> event);

    QMutex m_mutex;
    // Guarded by m_mutex: the updates not yet told; whether a flush is asked
    // for or waiting; events posted and not yet told (updates wait for them,
    // so that nothing posted after an event is told before it).
    Pending m_pending;
    QString m_latestItem; // the source of the current item last posted
    bool m_armed = false;
    int m_eventsQueued = 0;
    QTimer m_flushTimer;
    QElapsedTimer m_sinceFlush;
    Phase m_phase = Phase::Idle;
    QString m_shownStatus;
    int m_shownDone = 0, m_shownTotal = 0;
    Item m_shownItem;
};

} // namespace qm
