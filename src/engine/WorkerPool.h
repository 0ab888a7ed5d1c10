#pragma once
// A few worker threads for file work that runs beside the engine thread (file
// copies, one side of a folder read). Jobs start in the order they were given;
// their results are taken in whatever order the caller chooses.
// Each job is told the place of the worker running it, from 0.
//
// Sleeping workers are woken by demand, not one per job: waking a thread
// costs about as much as copying a small file, and on a busy machine every
// extra awake worker takes time from the thread that feeds them.
// - A job given while a worker is awake waits for it.
// - With every worker asleep, jobs gather until `wakeAfter` are queued, or
//   until someone waits for a result.
// - Another worker is woken when the queue outgrows the awake ones: workers
//   waiting on the disk stay awake, so the queue grows and more join.
#include "platform/Status.h"
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qm {

class WorkerPool {
    struct Slot;

public:
    // One job's outcome. Waiting for it makes sure a worker is on its way.
    class Result {
    public:
        Result() = default;
        bool valid() const { return m_pool != nullptr; }
        void wait();
        // Waits, running the pool's queued jobs here meanwhile, each as
        // worker number `threads`: for a caller whose own work waits on
        // jobs it could as well run itself.
        void waitHelping();
        // Waits, then answers the job's status; once only.
        OSStatus get();

    private:
        friend class WorkerPool;
        Result(WorkerPool *pool, std::shared_ptr<Slot> slot) : m_pool(pool), m_slot(std::move(slot)) {}
        WorkerPool *m_pool = nullptr;
        std::shared_ptr<Slot> m_slot;
    };

    // `wakeAfter`: how many jobs may gather before a sleeping worker is woken.
    // `queuedPerAwake`: how many jobs may wait for each awake worker before
    // another is woken.
    explicit WorkerPool(int threads, int wakeAfter = 1, int queuedPerAwake = kQueuedPerAwakeWorker);
    // Runs every job already given, then stops the workers.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    Result submit(std::function<OSStatus(int worker)> job);

    // How many times a sleeping worker was woken for a job: for tests and
    // measurements.
    int wakeCount() const;

    // Jobs waiting per awake worker before another one is woken, unless told.
    static constexpr int kQueuedPerAwakeWorker = 8;

private:
    struct Job {
        std::function<OSStatus(int)> run;
        std::shared_ptr<Slot> slot;
    };

    void work(int index);
    void wakeOne(); // with m_mutex held
    // Whether the jobs queued need another worker awake; `waited` when a
    // caller waits for one of them.
    bool needsAnotherWorker(bool waited) const;
    void waitFor(const Slot &slot, bool help);
    // Runs `job` outside the lock, then marks it done (the lock held again).
    void run(Job &job, int index, std::unique_lock<std::mutex> &lock);

    const int m_threadCount;
    const size_t m_wakeAfter;
    const size_t m_queuedPerAwake;
    std::vector<std::thread> m_threads; // started with the first job
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<Job> m_jobs;
    // Workers that will look at the queue again before they sleep,
    // including those told to wake that have not run yet.
    int m_awake = 0;
    // Wakes told and not yet taken by a worker: a worker that wakes without
    // one (a spurious wake) goes back to sleep.
    int m_wakeTokens = 0;
    int m_wakes = 0;
    int m_waiters = 0; // callers waiting for a result
    bool m_stopping = false;
};

} // namespace qm
