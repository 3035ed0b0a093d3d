#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora::office {

// Ends a hung office. Calls into the office block until it answers; while a call runs, the
// watchdog is armed, and when the call has not returned within its bound the watchdog runs
// its action (killing the office), which makes the blocked call fail. A call armed to be
// patient while the office works gets another bound whenever the office used the processor
// during the last one (`workDone`: the processor time it has used so far), so that a long
// call is never taken for a hung one.
class Watchdog {
public:
    // `givenUp`, when set, is asked while armed, a tenth of a second apart: once it holds,
    // the action runs at once.
    explicit Watchdog(std::function<void()> onExpiry,
                      std::function<std::chrono::milliseconds()> workDone = {},
                      std::function<bool()> givenUp = {});
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    class Armed {
    public:
        explicit Armed(Watchdog& dog) : dog_(dog) {}
        ~Armed() { dog_.disarm(); }
        Armed(const Armed&) = delete;
        Armed& operator=(const Armed&) = delete;

    private:
        Watchdog& dog_;
    };

    enum class Patience { Bound, WhileWorking };

    // Armed until the returned object goes.
    [[nodiscard]] Armed arm(std::chrono::milliseconds bound, Patience patience = Patience::Bound);

    // Whether the action ran.
    bool fired() const;

private:
    void disarm();
    void watch();

    std::function<void()> onExpiry_;
    std::function<std::chrono::milliseconds()> workDone_;
    std::function<bool()> givenUp_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::steady_clock::time_point deadline_{};
    std::chrono::milliseconds bound_{};
    Patience patience_ = Patience::Bound;
    std::chrono::milliseconds workAtLastLook_{};
    bool armed_ = false;
    bool fired_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace velmora::office
