#pragma once

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

}  // namespace velmora
