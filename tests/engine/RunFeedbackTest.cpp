#include "engine/RunFeedback.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace qm;

namespace {

// Serves the main thread's events for `ms`, or until `done` holds.
void serveEvents(int ms, const std::function<bool()> &done = [] { return false; })
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms && !done())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Delivery {
    qint64 at = 0;
    bool onMainThread = false;
};

} // namespace

TEST(RunFeedback, AFloodOfUpdatesFromTheWorkerArrivesThrottledOnTheMainThreadEndingWithTheLatest)
{
    RunFeedback feedback;
    QElapsedTimer clock;
    clock.start();
    QList<Delivery> progress, items;
    QList<QPair<int, int>> values;
    QStringList itemSources;
    QThread *main = QThread::currentThread();
    QObject::connect(&feedback, &RunFeedback::progressChanged, [&](int done, int total) {
        progress.append({clock.elapsed(), QThread::currentThread() == main});
        values.append({done, total});
    });
    QObject::connect(&feedback, &RunFeedback::currentItemChanged, [&](int, const QString &source, const QString &) {
        items.append({clock.elapsed(), QThread::currentThread() == main});
        itemSources << source;
    });

    constexpr int kItems = 20000;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 1; i <= kItems; ++i) {
            feedback.postProgress(i, kItems);
            // The same item is posted many times over before it changes.
            feedback.postCurrentItem(2, QStringLiteral("/a/%1").arg(i / 2000), QStringLiteral("/b"));
            if (i % 500 == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
        }
        finished = true;
    });
    serveEvents(10000, [&] { return finished.load(); });
    worker.join();
    const qint64 postingTime = clock.elapsed();
    serveEvents(3 * RunFeedback::kIntervalMs);

    ASSERT_FALSE(values.isEmpty());
    EXPECT_EQ(values.last(), qMakePair(kItems, kItems)) << "the latest value is never lost";
    EXPECT_LE(progress.size(), postingTime / RunFeedback::kIntervalMs + 3);
    EXPECT_GE(progress.size(), 2);
    for (int i = 1; i < progress.size(); ++i)
        EXPECT_GE(progress[i].at - progress[i - 1].at, RunFeedback::kIntervalMs - 5) << "update " << i;
    for (const Delivery &d : progress + items)
        EXPECT_TRUE(d.onMainThread);
    // Only changes of the current item are told, never the same one twice in a row.
    EXPECT_LE(itemSources.size(), kItems / 2000 + 1);
    for (int i = 1; i < itemSources.size(); ++i)
        EXPECT_NE(itemSources[i], itemSources[i - 1]);
    EXPECT_EQ(itemSources.last(), QStringLiteral("/a/%1").arg(kItems / 2000));
}

TEST(RunFeedback, EventsComeAfterTheUpdatesPostedBeforeThem)
{
    RunFeedback feedback;
    QStringList order;
    QObject::connect(&feedback, &RunFeedback::statusChanged, [&](const QString &s) { order << "status " + s; });
    QObject::connect(&feedback, &RunFeedback::progressChanged,
                     [&](int done, int total) { order << QStringLiteral("progress %1/%2").arg(done).arg(total); });
    QObject::connect(&feedback, &RunFeedback::phaseChanged, [&](RunFeedback::Phase p) {
        order << QStringLiteral("phase %1").arg(int(p));
    });
    QObject::connect(&feedback, &RunFeedback::taskChanged,
                     [&](int session, const QString &source, const QString &) {
                         order << QStringLiteral("task %1 %2").arg(session).arg(source);
                     });
    QObject::connect(&feedback, &RunFeedback::runEnded, [&] { order << "ended"; });

    std::thread worker([&] {
        feedback.postStatus("Scanning");
        feedback.postPhase(RunFeedback::Phase::Copying);
        feedback.postProgress(0, 4);
        feedback.postTask(1, "/src", "/dst");
        feedback.postProgress(4, 4);
    });
    worker.join();
    serveEvents(3 * RunFeedback::kIntervalMs);
    feedback.postStatus("Done"); // pending when the run ends: flushed first
    feedback.runEnds();
    EXPECT_EQ(order, (QStringList{"status Scanning", "phase 3", "progress 0/4", "task 1 /src", "progress 4/4",
                                  "status Done", "phase 0", "ended"}));
    EXPECT_EQ(feedback.phase(), RunFeedback::Phase::Idle);
}

TEST(RunFeedback, BytesAreToldOnlyForTheCurrentItemAndAfterIt)
{
    RunFeedback feedback;
    QStringList told;
    QObject::connect(&feedback, &RunFeedback::currentItemChanged,
                     [&](int, const QString &source, const QString &) { told << "item " + source; });
    QObject::connect(&feedback, &RunFeedback::bytesChanged,
                     [&](qint64 copied, qint64 total) { told << QStringLiteral("bytes %1/%2").arg(copied).arg(total); });
    feedback.postBytes("/a/f", 1, 10); // nothing is current yet
    feedback.postCurrentItem(2, "/a/f", "/b/f");
    feedback.postBytes("/a/g", 7, 9); // a copy running beside it
    feedback.postBytes("/a/f", 5, 10);
    serveEvents(3 * RunFeedback::kIntervalMs);
    feedback.postBytes("/a/f", 10, 10);
    feedback.postCurrentItem(2, "/a/g", "/b/g"); // the last bytes of f are stale now
    serveEvents(3 * RunFeedback::kIntervalMs);
    EXPECT_EQ(told, (QStringList{"item /a/f", "bytes 5/10", "item /a/g"}));
}
