#include "engine/WorkerPool.h"

namespace qm {

WorkerPool::WorkerPool(int threads) : m_threadCount(threads < 1 ? 1 : threads) {}

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

std::future<OSStatus> WorkerPool::submit(std::function<OSStatus(int worker)> job)
{
    std::packaged_task<OSStatus(int)> task(std::move(job));
    std::future<OSStatus> result = task.get_future();
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(task));
        if (m_threads.empty()) {
            for (int i = 0; i < m_threadCount; ++i)
                m_threads.emplace_back([this, i] { work(i); });
        }
    }
    m_wake.notify_one();
    return result;
}

void WorkerPool::work(int index)
{
    for (;;) {
        std::packaged_task<OSStatus(int)> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return; // stopping, and nothing is left to run
            task = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        task(index);
    }
}

} // namespace qm
