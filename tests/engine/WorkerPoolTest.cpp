#include "engine/WorkerPool.h"
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <future>

using namespace qm;
using namespace std::chrono_literals;

namespace {

// Waits for a job's result without hanging the suite when a job is never
// run (a lost wake-up): the wait runs on a thread of its own.
bool finishes(WorkerPool::Result &r, bool helping = false)
{
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> f = done->get_future();
    std::thread([&r, done, helping] {
        if (helping)
            r.waitHelping();
        else
            r.wait();
        done->set_value();
    }).detach();
    return f.wait_for(10s) == std::future_status::ready;
}

// Polls until `cond` holds, for jobs nobody waits for.
template<class Cond>
bool becomes(Cond cond)
{
    for (auto until = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < until;) {
        if (cond())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return cond();
}

// Gives a pool its threads and lets them all fall asleep.
void settle(WorkerPool &pool)
{
    WorkerPool::Result first = pool.submit([](int) { return 0; });
    ASSERT_TRUE(finishes(first));
    std::this_thread::sleep_for(20ms);
}

} // namespace

// Every job runs once, whatever the mix of quick and slow jobs, with the
// submitter now waiting and now racing ahead; jobs left at destruction run.
TEST(WorkerPool, EveryJobRunsOnceWhateverTheirPace)
{
    struct Case {
        int threads;
        int wakeAfter;
        int jobs;
        int slowEvery; // every n-th job sleeps (0: none)
        int waitEvery; // the submitter waits on every n-th job (0: never)
    } cases[] = {{1, 1, 300, 0, 0}, {4, 1, 2000, 0, 0}, {4, 4, 2000, 0, 0}, {4, 4, 400, 3, 0},
                 {4, 4, 400, 7, 5}, {2, 1, 400, 2, 1}, {4, 4, 400, 0, 1}, {4, 8, 401, 0, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.threads << " threads, " << c.wakeAfter << " gathered, "
                                          << c.jobs << " jobs, wait every " << c.waitEvery);
        std::vector<std::atomic<int>> runs(size_t(c.jobs));
        std::vector<WorkerPool::Result> results;
        {
            WorkerPool pool(c.threads, c.wakeAfter);
            for (int i = 0; i < c.jobs; ++i) {
                const bool slow = c.slowEvery && i % c.slowEvery == 0;
                results.push_back(pool.submit([&runs, i, slow](int worker) {
                    if (slow)
                        std::this_thread::sleep_for(200us);
                    runs[size_t(i)]++;
                    return OSStatus(worker);
                }));
                if (c.waitEvery && i % c.waitEvery == 0) {
                    ASSERT_TRUE(finishes(results.back())) << "job " << i;
                }
            }
        }
        for (int i = 0; i < c.jobs; ++i) {
            EXPECT_EQ(runs[size_t(i)].load(), 1) << "job " << i;
            const OSStatus worker = results[size_t(i)].get();
            EXPECT_TRUE(worker >= 0 && worker < c.threads) << worker;
        }
    }
}

// Jobs that wait on something outside (the disk) keep their workers awake:
// the queue grows and the other workers must join, or jobs that can only
// finish together would never finish. Nobody waits for a result meanwhile.
// A pool told to wake another worker sooner does so with a shorter queue.
TEST(WorkerPool, BlockedWorkersBringTheOthersIn)
{
    for (const int perAwake : {WorkerPool::kQueuedPerAwakeWorker, 1}) {
        WorkerPool pool(4, 4, perAwake);
        settle(pool);
        std::atomic<int> arrived{0}, succeeded{0}, finished{0};
        const int jobs = 4 + 4 * perAwake + 4;
        for (int i = 0; i < jobs; ++i) {
            pool.submit([&](int) {
                ++arrived;
                const auto until = std::chrono::steady_clock::now() + 5s;
                while (arrived.load() < 4 && std::chrono::steady_clock::now() < until)
                    std::this_thread::sleep_for(1ms);
                succeeded += arrived.load() >= 4;
                ++finished;
                return 0;
            });
        }
        ASSERT_TRUE(becomes([&] { return finished.load() == jobs; }));
        EXPECT_EQ(succeeded.load(), jobs) << "four jobs never ran at once, " << perAwake << " per awake worker";
    }
}

// With every worker asleep, jobs gather until enough are queued or someone
// waits; a short queue behind a busy worker wakes no one.
TEST(WorkerPool, SleepingWorkersWakeForEnoughJobsOrAWaiter)
{
    WorkerPool pool(4, 3);
    settle(pool);
    std::atomic<int> ran{0};
    auto job = [&ran](int) {
        ++ran;
        return 0;
    };
    pool.submit(job);
    pool.submit(job);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(ran.load(), 0) << "two jobs woke a worker";
    pool.submit(job);
    EXPECT_TRUE(becomes([&] { return ran.load() == 3; }));
    EXPECT_EQ(pool.wakeCount(), 1);

    std::this_thread::sleep_for(20ms);
    WorkerPool::Result lone = pool.submit(job);
    ASSERT_TRUE(finishes(lone));
    EXPECT_EQ(ran.load(), 4);

}

TEST(WorkerPool, AShortQueueBehindABusyWorkerWakesNoOne)
{
    WorkerPool pool(4);
    settle(pool);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> started{false};
    std::atomic<int> ran{0};
    pool.submit([released, &started](int) {
        started = true;
        released.wait();
        return 0;
    });
    ASSERT_TRUE(becomes([&] { return started.load(); }));
    const int wakes = pool.wakeCount();
    for (int i = 0; i < WorkerPool::kQueuedPerAwakeWorker; ++i)
        pool.submit([&ran](int) { return OSStatus(++ran * 0); });
    EXPECT_EQ(pool.wakeCount(), wakes) << "a short queue behind a busy worker woke another";
    release.set_value();
    EXPECT_TRUE(becomes([&] { return ran.load() == int(WorkerPool::kQueuedPerAwakeWorker); }));
}

// A job that throws (out of memory) fails alone: its result says so and
// the worker goes on with the next.
TEST(WorkerPool, AThrowingJobFailsAloneAndTheWorkerGoesOn)
{
    WorkerPool pool(1);
    WorkerPool::Result thrown = pool.submit([](int) -> OSStatus { throw std::bad_alloc(); });
    WorkerPool::Result next = pool.submit([](int) { return OSStatus(7); });
    ASSERT_TRUE(finishes(thrown));
    EXPECT_EQ(thrown.get(), Status::memFullErr);
    ASSERT_TRUE(finishes(next));
    EXPECT_EQ(next.get(), 7);
}

// A caller that waits helping runs the queued jobs itself, as the worker
// after the last, while the pool's only worker is held up; it stops when its
// own job is done, and a job it did not wait for is left to the worker.
TEST(WorkerPool, AHelpingWaiterRunsTheQueuedJobsWhileTheWorkersAreBusy)
{
    WorkerPool pool(1);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> started{false};
    WorkerPool::Result held = pool.submit([released, &started](int) {
        started = true;
        released.wait();
        return 0;
    });
    ASSERT_TRUE(becomes([&] { return started.load(); }));
    std::vector<int> ranAs(3, -1);
    std::vector<WorkerPool::Result> queued;
    for (int i = 0; i < 3; ++i)
        queued.push_back(pool.submit([&ranAs, i](int worker) {
            ranAs[size_t(i)] = worker;
            return OSStatus(i);
        }));
    // The wait ends only if the waiter runs jobs 0 and 1 itself.
    ASSERT_TRUE(finishes(queued[1], true));
    EXPECT_EQ(ranAs[0], 1);
    EXPECT_EQ(ranAs[1], 1);
    EXPECT_EQ(ranAs[2], -1) << "a job after the one waited for was run by the waiter";
    EXPECT_EQ(queued[1].get(), 1);
    release.set_value();
    ASSERT_TRUE(finishes(queued[2]));
    EXPECT_EQ(ranAs[2], 0);
    ASSERT_TRUE(finishes(held));
}
