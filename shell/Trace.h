#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace velmora {

// With VELMORA_TRACE=1 in the environment, timed parts of the work print one line each on
// standard error: "velmora-trace: <what> <milliseconds> ms". Header-only, so that the office
// module, which links nothing of the program's, traces its own parts the same way.
inline bool TraceEnabled() {
    static const bool enabled = [] {
        const char* value = std::getenv("VELMORA_TRACE");
        return value && std::strcmp(value, "1") == 0;
    }();
    return enabled;
}

inline void TraceLine(const std::string& what, double milliseconds) {
    std::fprintf(stderr, "velmora-trace: %s %.2f ms\n", what.c_str(), milliseconds);
    std::fflush(stderr);
}

// Times its own lifetime and prints it as one trace line when it ends; costs nothing but a
// flag test when tracing is off.
class TraceScope {
public:
    explicit TraceScope(std::string what) {
        if (TraceEnabled()) {
            what_ = std::move(what);
            start_ = std::chrono::steady_clock::now();
        }
    }
    ~TraceScope() {
        if (!what_.empty())
            TraceLine(what_, std::chrono::duration<double, std::milli>(
                                 std::chrono::steady_clock::now() - start_)
                                 .count());
    }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    std::string what_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace velmora
