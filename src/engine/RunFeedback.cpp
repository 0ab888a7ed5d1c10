#include "engine/RunFeedback.h"

namespace qm {

RunFeedback::RunFeedback(QObject *parent) : QObject(parent)
{
    m_flushTimer.setSingleShot(true);
    // A coarse timer may fire up to 5% early, which would break the promise
    // of at most one update per interval.
    m_flushTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_flushTimer, &QTimer::timeout, this, &RunFeedback::flush);
}

void RunFeedback::markDirty(const std::function<void(Pending &)> &change)
{
    bool arm = false;
    {
        QMutexLocker lock(&m_mutex);
        change(m_pending);
        arm = !std::exchange(m_armed, true);
    }
    if (arm)
        QMetaObject::invokeMethod(this, &RunFeedback::armFlush, Qt::QueuedConnection);
}

void RunFeedback::postStatus(const QString &text)
{
    markDirty([&text](Pending &p) {
        p.status = true;
        p.statusText = text;
    });
}

void RunFeedback::postProgress(int done, int total)
{
    markDirty([=](Pending &p) {
        p.progress = true;
        p.done = done;
        p.total = total;
    });
}

void RunFeedback::postBytes(const QString &item, qint64 copied, qint64 total)
{
    {
        QMutexLocker lock(&m_mutex);
        if (item != m_latestItem)
            return;
    }
    markDirty([=](Pending &p) {
        p.bytes = true;
        p.bytesCopied = copied;
        p.bytesTotal = total;
    });
}

void RunFeedback::postCurrentItem(int copyMode, const QString &source, const QString &dest)
{
    markDirty([&](Pending &p) {
        p.item = true;
        p.currentItem = Item{copyMode, source, dest};
        if (m_latestItem != source)
            p.bytes = false; // the last item's, told no more
        m_latestItem = source;
    });
}

void RunFeedback::armFlush()
{
    // The first update after a quiet spell goes out at once; later ones wait
    // for the rest of the interval.
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : kIntervalMs;
    if (!m_flushTimer.isActive())
        m_flushTimer.start(int(qMax<qint64>(0, kIntervalMs - since)));
}

RunFeedback::Pending RunFeedback::takePending()
{
    Pending p = std::move(m_pending);
    m_pending = Pending{};
    return p;
}

void RunFeedback::flush()
{
    Pending p;
    {
        QMutexLocker lock(&m_mutex);
        m_armed = false;
        // An event still on its way re-arms the flush once it is told.
        if (m_eventsQueued > 0)
            return;
        p = takePending();
    }
    emitPending(p);
}

void RunFeedback::emitPending(const Pending &p)
{
    if (!isDirty(p))
        return;
    m_sinceFlush.start();
    if (p.status && p.statusText != m_shownStatus) {
        m_shownStatus = p.statusText;
        Q_EMIT statusChanged(m_shownStatus);
    }
    if (p.progress && (p.done != m_shownDone || p.total != m_shownTotal)) {
        m_shownDone = p.done;
        m_shownTotal = p.total;
        Q_EMIT progressChanged(p.done, p.total);
    }
    if (p.item && !(p.currentItem == m_shownItem)) {
        m_shownItem = p.currentItem;
        Q_EMIT currentItemChanged(m_shownItem.copyMode, m_shownItem.source, m_shownItem.dest);
    }
    // After the item they belong to.
    if (p.bytes)
        Q_EMIT bytesChanged(p.bytesCopied, p.bytesTotal);
}

void RunFeedback::inOrder(std::function<void()> event)
{
    // The updates posted before the event travel with it; those posted after
    // wait until it has been told.
    Pending before;
    {
        QMutexLocker lock(&m_mutex);
        before = takePending();
        ++m_eventsQueued;
    }
    QMetaObject::invokeMethod(
        this,
        [this, before = std::move(before), event = std::move(event)] {
            emitPending(before);
            event();
            bool arm = false;
            {
                QMutexLocker lock(&m_mutex);
                --m_eventsQueued;
                arm = m_eventsQueued == 0 && isDirty(m_pending) && !std::exchange(m_armed, true);
            }
            if (arm)
                armFlush();
        },
        Qt::QueuedConnection);
}

void RunFeedback::postPhase(Phase phase)
{
    inOrder([this, phase] {
        if (m_phase == phase)
            return;
        m_phase = phase;
        Q_EMIT phaseChanged(phase);
    });
}

void RunFeedback::postTask(int sessionIndex, const QString &source, const QString &dest)
{
    inOrder([this, sessionIndex, source, dest] { Q_EMIT taskChanged(sessionIndex, source, dest); });
}

void RunFeedback::runBegins(RunTrigger trigger)
{
    m_shownStatus.clear();
    m_shownDone = m_shownTotal = 0;
    m_shownItem = Item{};
    Q_EMIT runStarted(trigger);
}

void RunFeedback::runEnds()
{
    drain();
    if (m_phase != Phase::Idle) {
        m_phase = Phase::Idle;
        Q_EMIT phaseChanged(m_phase);
    }
    Q_EMIT runEnded();
}

void RunFeedback::drain()
{
    Pending p;
    {
        QMutexLocker lock(&m_mutex);
        p = takePending();
    }
    emitPending(p);
}

void RunFeedback::countdownTick(int secondsLeft)
{
    Q_EMIT countdownTicked(secondsLeft);
}

void RunFeedback::countdownStopped()
{
    Q_EMIT countdownCancelled();
}

void RunFeedback::moveToSession(int sessionIndex)
{
    drain();
    Q_EMIT sessionMoved(sessionIndex);
}

} // namespace qm
