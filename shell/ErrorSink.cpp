#include "ErrorSink.h"

#include "ErrorReport.h"

#include <atomic>
#include <cstdio>

namespace velmora {
namespace {

// Without windows: the same text, on standard error.
class StandardErrorSink final : public ErrorSink {
public:
    void reportError(const QString& location, int step, const QString& description) override {
        write(ComposeErrorReport(location, step, description));
    }
    void tellUser(const QString& text) override { write(text); }

private:
    static void write(const QString& text) {
        std::fprintf(stderr, "velmora: %s\n", qPrintable(text));
        std::fflush(stderr);
    }
};

std::atomic<ErrorSink*>& currentSink() {
    static std::atomic<ErrorSink*> sink{nullptr};
    return sink;
}

}  // namespace

ErrorSink& CurrentErrorSink() {
    static StandardErrorSink standardError;
    ErrorSink* sink = currentSink().load();
    return sink ? *sink : standardError;
}

ErrorSink* SetErrorSink(ErrorSink* sink) {
    return currentSink().exchange(sink);
}

}  // namespace velmora
