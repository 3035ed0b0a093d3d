#include "Watchdog.h"

namespace velmora::office {

Watchdog::Watchdog(std::function<void()> onExpiry)
    : onExpiry_(std::move(onExpiry)), thread_([this] { watch(); }) {}

Watchdog::~Watchdog() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

Watchdog::Armed Watchdog::arm(std::chrono::milliseconds bound) {
    {
        const std::lock_guard lock(mutex_);
        deadline_ = std::chrono::steady_clock::now() + bound;
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
    while (!stopping_) {
        if (!armed_) {
            changed_.wait(lock);
        } else if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
                   std::chrono::steady_clock::now() >= deadline_) {
            // Run under the lock, so that whoever disarms waits until the action is done.
            fired_ = true;
            armed_ = false;
            onExpiry_();
        }
    }
}

}  // namespace velmora::office
