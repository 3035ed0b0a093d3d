#pragma once

#include <QString>

namespace velmora {

// Where the program's reports to the user go. The numbered steps (Procedure) report a failed
// step through it, and the few plain notices the core gives (settings that cannot be written,
// a missing office) go there too. The windows' side (shell/ui/ErrorBox.h) shows them as boxes;
// without a sink set they are written to standard error.
class ErrorSink {
public:
    virtual ~ErrorSink() = default;

    // A step failed: `location` ends in a space, `step` is the step's number (the "Application
    // Error" report, see ComposeErrorReport).
    virtual void reportError(const QString& location, int step, const QString& description) = 0;

    // A plain message for the user, under the application's title, with OK only.
    virtual void tellUser(const QString& text) = 0;
};

// The sink set last, or the one writing to standard error when none is set. Any thread.
ErrorSink& CurrentErrorSink();

// Makes `sink` the current one (null: standard error again) and returns the one it replaces.
// The sink must outlive its use.
ErrorSink* SetErrorSink(ErrorSink* sink);

// Makes `sink` the current one for as long as the object lives.
class ScopedErrorSink {
public:
    explicit ScopedErrorSink(ErrorSink* sink) : previous_(SetErrorSink(sink)) {}
    ~ScopedErrorSink() { SetErrorSink(previous_); }
    ScopedErrorSink(const ScopedErrorSink&) = delete;
    ScopedErrorSink& operator=(const ScopedErrorSink&) = delete;

private:
    ErrorSink* previous_;
};

}  // namespace velmora
