#pragma once

#include <QObject>
#include <array>
#include <csignal>
#include <functional>

class QSocketNotifier;

namespace velmora {

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C, a plain kill) become a
// call of `end` on the event loop, with the number of the signal; the program then ends as
// its own close does. While the object lives, a second signal of these that arrives before
// the first was handled is dropped. The signals' earlier handling comes back at destruction.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int)> end, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    std::function<void(int)> end_;
    QSocketNotifier* notifier_ = nullptr;
};

// While it lives, what a library does to the handling of those signals is undone at its end:
// the handling in place when it was made comes back. For calls into code that installs handlers
// of its own for the process (a scanner's backend does, for its reading), which would otherwise
// let a plain kill end the program without its tidying.
class KeepSignalHandling {
public:
    KeepSignalHandling();
    ~KeepSignalHandling();
    KeepSignalHandling(const KeepSignalHandling&) = delete;
    KeepSignalHandling& operator=(const KeepSignalHandling&) = delete;

private:
    std::array<struct sigaction, 3> kept_{};
};

}  // namespace velmora
