#pragma once

#include "ProgramEnding.h"
#include "Trace.h"

#include <QString>
#include <exception>
#include <utility>

namespace velmora {

// The numbered-step convention of every procedure that works on the user's behalf: each
// step runs under the procedure's handler; a failing step is reported with its number and
// its description, and the procedure carries on with the next step. Nothing propagates.
//
//     Procedure proc(location::Form1_PushButton2_Click);
//     proc.step(100, [&] { ... });
//     if (proc.test(124, [&] { return !FileExists(path); }, true)) ...
class Procedure {
public:
    explicit Procedure(const char* location) : location_(QString::fromLatin1(location)) {}

    // For work the program does not wait for as it ends (the office work of a run): once the
    // program is ending (ProgramEnding), or the user gave the work up (WorkGivenUp), no
    // further step runs, quietly; step() returns false and test() its `whenFailed`.
    void endWithTheProgram() { endsWithProgram_ = true; }

    // Runs one step; returns whether it completed.
    template <class Action>
    bool step(int line, Action&& action) {
        if (ended()) return false;
        marker_ = line;
        const TraceScope trace(traceName(line));
        try {
            std::forward<Action>(action)();
            return true;
        } catch (...) {
            // A step cut short because the user gave the work up is no failure to tell.
            if (!(endsWithProgram_ && WorkGivenUp())) report(std::current_exception());
            return false;
        }
    }

    // Runs a step that decides something. When deciding fails, the failure is reported and
    // `whenFailed` is the answer, so that each caller states how it carries on.
    template <class Test>
    bool test(int line, Test&& decide, bool whenFailed) {
        if (ended()) return whenFailed;
        marker_ = line;
        const TraceScope trace(traceName(line));
        try {
            return std::forward<Test>(decide)();
        } catch (...) {
            report(std::current_exception());
            return whenFailed;
        }
    }

    // The number of the step that runs, or ran last; 0 before the first.
    int marker() const { return marker_; }
    const QString& location() const { return location_; }

private:
    bool ended() const { return endsWithProgram_ && (ProgramEnding() || WorkGivenUp()); }
    void report(const std::exception_ptr& failure) const;
    // "Form1.PushButton6_Click 128" while tracing (Trace.h), else empty.
    std::string traceName(int line) const;

    QString location_;
    int marker_ = 0;
    bool endsWithProgram_ = false;
};

// The human-readable text of a failure.
QString DescribeFailure(const std::exception_ptr& failure);

}  // namespace velmora
