#include "engine/WorkerPool.h"

namespace qm {

struct WorkerPool::Slot {
    std::atomic<bool> done = false; // set under the pool's mutex
    OSStatus status = Status::noErr;
};

WorkerPool::WorkerPool(int threads, int wakeAfter, int queuedPerAwake)
    : m_threadCount(threads < 1 ? 1 : threads), m_wakeAfter(wakeAfter < 1 ? 1 : size_t(wakeAfter)),
      m_queuedPerAwake(queuedPerAwake < 1 ? 1 : size_t(queuedPerAwake))
{
}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &t : m_threads)
        t.join();
}

WorkerPool::Result WorkerPool::submit(std::function<OSStatus(int worker)> job)
{
    auto slot = std::make_shared<Slot>();
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(Job{std::move(job), slot});
        if (m_threads.empty()) {
            m_awake = m_threadCount;
            for (int i = 0; i < m_threadCount; ++i)
                m_threads.emplace_back([this, i] { work(i); });
        } else if (needsAnotherWorker(false)) {
            wakeOne();
            wake = true;
        }
    }
    if (wake)
        m_wake.notify_one();
    return Result(this, std::move(slot));
}

// A queued job never waits forever: some worker is awake whenever the queue
// has reached `wakeAfter` or a caller waits, and an awake worker sleeps only
// after finding the queue empty, under the lock jobs are queued under.
bool WorkerPool::needsAnotherWorker(bool waited) const
{
    if (m_jobs.empty())
        return false;
    if (m_awake == 0)
        return waited || m_jobs.size() >= m_wakeAfter;
    return m_awake < m_threadCount && m_jobs.size() > m_queuedPerAwake * size_t(m_awake);
}

void WorkerPool::wakeOne()
{
    ++m_awake;
    ++m_wakeTokens;
    ++m_wakes;
}

int WorkerPool::wakeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_wakes;
}

void WorkerPool::waitFor(const Slot &slot, bool help)
{
    if (slot.done.load(std::memory_order_acquire))
        return; // without the pool, which may be gone once every job ran
    std::unique_lock lock(m_mutex);
    while (help && !slot.done && !m_jobs.empty()) {
        Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        run(job, m_threadCount, lock);
    }
    if (slot.done)
        return;
    if (needsAnotherWorker(true)) {
        wakeOne();
        m_wake.notify_one();
    }
    ++m_waiters;
    m_done.wait(lock, [&slot] { return slot.done.load(); });
    --m_waiters;
}

void WorkerPool::work(int index)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_jobs.empty()) {
            Job job = std::move(m_jobs.front());
            m_jobs.pop_front();
            run(job, index, lock);
            continue;
        }
        if (m_stopping)
            return; // nothing is left to run
        --m_awake;
        m_wake.wait(lock, [this] { return m_stopping || m_wakeTokens > 0; });
        if (m_wakeTokens > 0)
            --m_wakeTokens; // the waker counted this worker awake
        else
            ++m_awake;
    }
}

void WorkerPool::run(Job &job, int index, std::unique_lock<std::mutex> &lock)
{
    lock.unlock();
    OSStatus status = Status::noErr;
    try {
        status = job.run(index);
    } catch (...) {
        // Out of memory, as jobs throw nothing else: the job failed,
        // and its caller hears so rather than the worker dying.
        status = Status::memFullErr;
    }
    job.run = nullptr; // what the job holds goes with it, outside the lock
    lock.lock();
    job.slot->status = status;
    job.slot->done = true;
    if (m_waiters > 0)
        m_done.notify_all();
}

void WorkerPool::Result::wait()
{
    if (m_pool)
        m_pool->waitFor(*m_slot, false);
}

void WorkerPool::Result::waitHelping()
{
    if (m_pool)
        m_pool->waitFor(*m_slot, true);
}

OSStatus WorkerPool::Result::get()
{
    wait();
    const OSStatus status = m_slot ? m_slot->status : Status::noErr;
    m_pool = nullptr;
    m_slot.reset();
    return status;
}

} // namespace qm
