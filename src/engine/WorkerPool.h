#pragma once
// A few worker threads for file work that runs beside the engine thread (file
// copies, one side of a folder read). Jobs start in the order they were given;
// their results come through futures, in whatever order the caller chooses.
// Each job is told the place of the worker running it, from 0.
#include "platform/Status.h"
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace qm {

class WorkerPool {
public:
    explicit WorkerPool(int threads);
    // Runs every job already given, then stops the workers.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    std::future<OSStatus> submit(std::function<OSStatus(int worker)> job);

private:
    void work(int index);

    const int m_threadCount;
    std::vector<std::thread> m_threads; // started with the first job
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<OSStatus(int)>> m_jobs;
    bool m_stopping = false;
};

} // namespace qm
