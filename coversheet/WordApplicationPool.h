#pragma once

#include "coversheet/office/WordConnection.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// Office instances started ahead of need, so that the user does not wait for an office to
// start. Each instance still serves one connection and ends at its quit(); the pool only
// starts it earlier, on a thread of its own, and hands it over connected. An idle instance
// has no document open, so it holds no file of the user's; like every instance, it ends
// with the program however the program ends.
class WordApplicationPool {
public:
    using StartFunction = std::function<std::unique_ptr<WordConnection>()>;

    struct Options {
        // Starts one instance; throws WordError when it cannot. Given by whoever makes the pool:
        // the program gives the real office's start (StartWordApplication, WordEngine.h).
        StartFunction start;
        // How long the pool waits after the last hand-over or quit before it starts
        // replacements, so that they do not compete with the task that is running.
        std::chrono::milliseconds replaceDelay{1500};
        // Quits handed-out instances in the background: the caller's quit() returns at
        // once, the instance ends on the pool's thread (its document is closed by then).
        bool quitInBackground = true;
        // How often idle instances are asked whether they still answer; one that does not
        // is ended and replaced before anybody needs it.
        std::chrono::milliseconds checkInterval{5000};
    };

    // Throws std::invalid_argument when the options have no start function.
    explicit WordApplicationPool(Options options);
    ~WordApplicationPool();  // waits for starts under way, then ends every idle instance
    WordApplicationPool(const WordApplicationPool&) = delete;
    WordApplicationPool& operator=(const WordApplicationPool&) = delete;

    // How far an instance is readied before it waits: Started is enough for the start-up
    // check; Warmed has also loaded what a cover sheet needs (WordConnection::warmUp).
    enum class Readiness { Started, Warmed };

    // Keeps `count` instances ready: starts the missing ones now, and replaces handed-out
    // ones after replaceDelay. A background start that fails stops replacing until the next
    // start succeeds, so a missing office is not started over and over.
    void keepReady(int count, Readiness readiness = Readiness::Warmed);

    // A ready instance if there is one that still runs (dead and hung ones are ended and
    // dropped); else the one already starting, once it is up, and its error when it could
    // not start; else a fresh start, whose failure is the caller's WordError. The thread that
    // takes it waits meanwhile (the program's office worker; the start-up check's, the
    // application's thread). Throws WordError once abortAll() was called.
    std::unique_ptr<WordConnection> take();

    // Ends the instances in use and the idle ones at once (their calls fail) and hands out
    // none from now on: for a program on its way out. The destructor drops what is left.
    void abortAll();
    // Ends the instances in use at once (their calls fail); the pool goes on handing out
    // others: for work the user gave up.
    void endInUse();

    // Counts, for tests and the benchmark.
    int readyCount() const;
    int startingCount() const;

    // Waits until no start is under way and no quit is pending (tests).
    void waitUntilSettled() const;

private:
    class Handed;
    struct Shared;

    void checkIdle(std::unique_lock<std::mutex>& lock);
    void startMissing(std::unique_lock<std::mutex>& lock);
    void startOne(std::unique_lock<std::mutex>& lock);
    void replacerLoop();
    std::unique_ptr<WordConnection> handOver(std::unique_ptr<WordConnection> connection,
                                             std::unique_lock<std::mutex>& lock);

    const Options options_;
    std::shared_ptr<Shared> shared_;
    std::thread replacer_;
};

}  // namespace velmora
