#pragma once

#include <atomic>
#include <utility>

namespace velmora {

// Puts a replacement into a slot for as long as the object lives, then puts back what was
// there: the way tests swap a real service (message boxes, the office, the clipboard) for
// a scripted one.
template <class T>
class ScopedOverride {
public:
    ScopedOverride(T& slot, T replacement)
        : slot_(slot), previous_(std::exchange(slot, std::move(replacement))) {}
    ~ScopedOverride() { slot_ = std::move(previous_); }
    ScopedOverride(const ScopedOverride&) = delete;
    ScopedOverride& operator=(const ScopedOverride&) = delete;

private:
    T& slot_;
    T previous_;
};

// The same for a service other threads read at any time: a pointer in an atomic slot.
template <class T>
class ScopedAtomicOverride {
public:
    ScopedAtomicOverride(std::atomic<T*>& slot, T* replacement)
        : slot_(slot), previous_(slot.exchange(replacement)) {}
    ~ScopedAtomicOverride() { slot_ = previous_; }
    ScopedAtomicOverride(const ScopedAtomicOverride&) = delete;
    ScopedAtomicOverride& operator=(const ScopedAtomicOverride&) = delete;

private:
    std::atomic<T*>& slot_;
    T* previous_;
};

}  // namespace velmora
