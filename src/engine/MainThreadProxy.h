#pragma once
// Calls made by the worker that must run on the main thread: each call
// blocks the worker until the main thread has answered. A call made on the
// main thread itself runs at once (blocking would deadlock).
#include <QObject>
#include <QThread>

#include <type_traits>
#include <utility>

namespace qm {

class MainThreadProxy : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    template <class F>
    auto call(F &&f) -> std::invoke_result_t<F>
    {
        using R = std::invoke_result_t<F>;
        if (QThread::currentThread() == thread()) {
            return f();
        } else if constexpr (std::is_void_v<R>) {
            QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::BlockingQueuedConnection);
        } else {
            R result{};
            QMetaObject::invokeMethod(
                this, [&result, &f] { result = f(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }
};

} // namespace qm
