#pragma once

#include <QObject>
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

}  // namespace velmora
