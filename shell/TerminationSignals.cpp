#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace velmora {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
int pipeEnds[2] = {-1, -1};
struct sigaction previous[3];

// Only what is safe in a signal handler: one byte down the pipe.
extern "C" void onSignal(int number) {
    const int savedErrno = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t ignored = ::write(pipeEnds[0], &byte, 1);
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> end, QObject* parent)
    : QObject(parent), end_(std::move(end)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeEnds) != 0) return;
    notifier_ = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(pipeEnds[1], &byte, 1) != 1) return;
        // Handled once: what else arrived meanwhile is dropped.
        while (::read(pipeEnds[1], &byte, 1) == 1) {
        }
        if (end_) end_(int(byte));
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

KeepSignalHandling::KeepSignalHandling() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], nullptr, &kept_[size_t(i)]);
}

KeepSignalHandling::~KeepSignalHandling() {
    for (int i = 0; i < 3; ++i) ::sigaction(kSignals[i], &kept_[size_t(i)], nullptr);
}

}  // namespace velmora
