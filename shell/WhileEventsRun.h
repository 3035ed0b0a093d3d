#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>
#include <type_traits>

namespace velmora {

// Runs `work`, which blocks while another process works (the office), without freezing the
// windows. Called on the user-interface thread, `work` runs on a thread of its own while the
// calling thread goes on handling events: windows repaint, and clicks arrive, which the busy
// flag of the procedure that waits drops. The call returns, or throws, what `work` did. On
// any other thread, or once the application is quitting, `work` simply runs to its end.
template <class Work>
auto WhileEventsRun(Work&& work) -> decltype(work()) {
    using Result = decltype(work());
    const QCoreApplication* const app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) return work();

    std::conditional_t<std::is_void_v<Result>, bool, std::optional<Result>> result{};
    std::exception_ptr failure;
    std::atomic<bool> done{false};
    QEventLoop loop;
    std::thread worker([&] {
        try {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // A loop that cannot run (the application is quitting) answers -1; the work is then
    // waited for plainly.
    while (!done && loop.exec() == 0) {
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<Result>) return std::move(*result);
}

}  // namespace velmora
