#pragma once

#include <QEventLoop>
#include <QGuiApplication>
#include <QThread>
#include <QWindow>
#include <algorithm>
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
// any other thread, while no window is shown yet (start-up keeps its order), or once the
// application is quitting, `work` simply runs to its end.
template <class Work>
auto WhileEventsRun(Work&& work) -> decltype(work()) {
    using Result = decltype(work());
    const auto* const app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    const auto windows = app ? QGuiApplication::topLevelWindows() : QWindowList();
    if (!app || QThread::currentThread() != app->thread() ||
        std::none_of(windows.begin(), windows.end(), [](QWindow* w) { return w->isVisible(); }))
        return work();

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
