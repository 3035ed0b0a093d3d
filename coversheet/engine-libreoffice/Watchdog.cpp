#include "Watchdog.h"

#include <algorithm>

namespace velmora::office {

Watchdog::Watchdog(std::function<void()> onExpiry,
                   std::function<std::chrono::milliseconds()> workDone,
                   std::function<bool()> givenUp)
    : onExpiry_(std::move(onExpiry)),
      workDone_(std::move(workDone)),
      givenUp_(std::move(givenUp)),
      thread_([this] { watch(); }) {}

Watchdog::~Watchdog() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

Watchdog::Armed Watchdog::arm(std::chrono::milliseconds bound, Patience patience) {
    const auto work = workDone_ && patience == Patience::WhileWorking
                          ? workDone_()
                          : std::chrono::milliseconds(0);
    {
        const std::lock_guard lock(mutex_);
        deadline_ = std::chrono::steady_clock::now() + bound;
        bound_ = bound;
        patience_ = patience;
        workAtLastLook_ = work;
        armed_ = true;
    }
    changed_.notify_all();
    return Armed(*this);
}

void Watchdog::disarm() {
    {
        const std::lock_guard lock(mutex_);
        armed_ = false;
    }
    changed_.notify_all();
}

bool Watchdog::fired() const {
    const std::lock_guard lock(mutex_);
    return fired_;
}

void Watchdog::watch() {
    std::unique_lock lock(mutex_);
    const auto fire = [&] {
        // Run under the lock, so that whoever disarms waits until the action is done.
        fired_ = true;
        armed_ = false;
        onExpiry_();
    };
    while (!stopping_) {
        if (!armed_) {
            changed_.wait(lock);
            continue;
        }
        const auto until = givenUp_ ? std::min(deadline_, std::chrono::steady_clock::now() +
                                                              std::chrono::milliseconds(100))
                                    : deadline_;
        changed_.wait_until(lock, until);
        if (!armed_ || stopping_) continue;
        if (givenUp_ && givenUp_()) {
            fire();
            continue;
        }
        if (std::chrono::steady_clock::now() < deadline_) continue;
        if (patience_ == Patience::WhileWorking && workDone_) {
            // Working means a hundredth of the bound's time on the processor, at least.
            const auto work = workDone_();
            if (work - workAtLastLook_ >= std::max(bound_ / 100, std::chrono::milliseconds(10))) {
                workAtLastLook_ = work;
                deadline_ = std::chrono::steady_clock::now() + bound_;
                continue;
            }
        }
        fire();
    }
}

}  // namespace velmora::office
