#pragma once
// Work that may block for seconds (a mount attempt, a script) runs on a
// thread of its own; its result is handed to `done` on the main thread,
// unless `receiver` is gone by then. The work must not touch `receiver`.
#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <functional>
#include <memory>

namespace qm {

template <typename Result>
void runInBackground(QObject *receiver, std::function<Result()> work, std::function<void(const Result &)> done)
{
    QPointer<QObject> guard(receiver);
    QThread *worker = QThread::create([guard, work = std::move(work), done = std::move(done)] {
        auto result = std::make_shared<Result>(work());
        // Delivered through the application object, which outlives the receiver.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, result] {
                if (guard)
                    done(*result);
            },
            Qt::QueuedConnection);
    });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

} // namespace qm
