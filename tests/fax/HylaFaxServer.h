#pragma once

// The machine's HylaFAX server as the tests drive it (as root): programs run and what they
// said, the server started and stopped with its init script (or systemd).

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

namespace velmora::test {

// What a program says (both channels) and how it ended; -1 when it did not end within 60 s.
struct Said {
    int exitCode;
    QString text;
};

// Runs a program as `user` (this process's when empty, else through runuser), with `input` as
// its standard input.
Said RunAs(const QString& user, const QString& program, const QStringList& arguments,
           const QString& input = QProcess::nullDevice());

// Whether the server answers faxstat (which ends with 0 also when it cannot reach one).
bool FaxStatAnswers();

// Starts or stops the server ("start", "stop").
Said ControlServer(const QString& action);

// Starts (on) or stops the server and waits until `answers` says it does, or no longer does,
// answer; fails the test otherwise. What matters on stopping is that it no longer answers (the
// init script also waits for its daemons to be gone from the process table, which a system that
// is slow to reap them fails).
void SwitchServer(bool on, const std::function<bool()>& answers = FaxStatAnswers);

}  // namespace velmora::test
