#pragma once

#include <sys/types.h>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>

namespace velmora::office {

struct OfficeCommand {
    QString program;
    QStringList arguments;
    QStringList environment;  // the whole environment, NAME=value
    int inheritedFd = -1;     // stays open in the office (the profile slot's lock)
    QString logFile;          // receives the office's console output; /dev/null when empty
};

// An office process that cannot outlive us.
//
// The office is started by a small keeper process, a fork of ours that runs nothing but
// system calls. The keeper puts the office in a process group of its own and watches two
// things: the office, and a socket whose other end only we hold. When the office ends, the
// keeper reports its exit status and ends; when our end closes, because we asked for it or
// because our process died in whatever way, the keeper kills the office's whole process
// group. This covers a killed Velmora, and offices started through a launcher script, whose
// real office process is a grandchild. The office also gets a parent-death signal tied to
// the single-threaded keeper.
class OfficeProcess {
public:
    // Starts the office. Throws WordError when the program cannot be run.
    explicit OfficeProcess(const OfficeCommand& command);
    ~OfficeProcess();  // kills the office if it still runs, and reaps the keeper
    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    pid_t pid() const { return pid_; }

    // The office's wait status once it has ended; waits up to `bound` for that.
    std::optional<int> waitForExit(std::chrono::milliseconds bound);
    bool hasExited() { return waitForExit(std::chrono::milliseconds(0)).has_value(); }

    // Has the keeper remove these files (the office's pipes in /tmp) once the office has
    // ended, also when we are no longer there to do it.
    void removeOnExit(const QStringList& paths);

    // The processor time the office has used so far; 0 once it has gone. Any thread.
    std::chrono::milliseconds processorTime() const;

    // The memory the office's process group holds now (its resident pages); 0 once it has
    // gone. Any thread.
    qint64 residentBytes() const;

    // Kills the office's process group now. Safe to call from any thread, any number of times.
    void kill();

    // The paths of the named sockets a running process listens on.
    static QStringList listeningSockets(pid_t pid);

    // "exit status 81", "killed by signal 9".
    static QString describeWaitStatus(int status);

private:
    void reapKeeper();

    pid_t keeper_ = -1;
    pid_t pid_ = -1;
    int socket_ = -1;
    std::optional<int> exitStatus_;
};

}  // namespace velmora::office
