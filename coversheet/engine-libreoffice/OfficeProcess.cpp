#include "OfficeProcess.h"

#include "coversheet/office/OfficeFiles.h"
#include "coversheet/office/WordConnection.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>

namespace velmora::office {
namespace {

enum class ReportKind : std::int32_t { Started = 1, ExecFailed = 2, Exited = 3 };

struct Report {
    ReportKind kind;
    std::int32_t value;
};

// A null-terminated array of C strings that owns its strings.
class CStringArray {
public:
    explicit CStringArray(const QStringList& items) {
        for (const QString& item : items) strings_.push_back(QFile::encodeName(item));
        for (QByteArray& s : strings_) pointers_.push_back(s.data());
        pointers_.push_back(nullptr);
    }
    char* const* get() const { return pointers_.data(); }

private:
    std::vector<QByteArray> strings_;
    std::vector<char*> pointers_;
};

// The keeper's descriptors, at fixed numbers once it has tidied up: the lowest above the
// standard three.
constexpr int kKeeperSocket = 3;
constexpr int kInheritedFd = 4;
constexpr int kNullInput = 5;
constexpr int kOutput = 6;
constexpr int kKept = 4;

// Everything from here to the exec runs in a fork of a multi-threaded process: system calls
// only, nothing that allocates or locks.
void sendReport(int socket, ReportKind kind, std::int32_t value) {
    const Report report{kind, value};
    while (::send(socket, &report, sizeof report, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
}

void sendReport(ReportKind kind, std::int32_t value) {
    sendReport(kKeeperSocket, kind, value);
}

void resetSignals() {
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &standard, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

void closeFrom(int first, int last) {
    if (first > last) return;
    if (::close_range(unsigned(first), unsigned(last), 0) == 0) return;
    for (int fd = first; fd <= last && fd < 65536; ++fd) ::close(fd);
}

// Moves `fds` (ours, some of them possibly the same) to 3, 4, 5, 6 and closes every other
// descriptor above 2. The program's own descriptors go first, so that the moves take the
// lowest free numbers whatever the descriptor limit. When a move fails, the keeper reports
// why through its socket (`fds[0]`, or its copy) and ends: nothing is written anywhere else.
void keepOnly(const int (&fds)[kKept]) {
    // Every descriptor above 2 that is not one of ours.
    int sorted[kKept];
    for (int i = 0; i < kKept; ++i) sorted[i] = fds[i];
    for (int i = 1; i < kKept; ++i)
        for (int j = i; j > 0 && sorted[j - 1] > sorted[j]; --j)
            std::swap(sorted[j - 1], sorted[j]);
    int next = 3;
    for (const int fd : sorted) {
        if (fd < next) continue;
        closeFrom(next, fd - 1);
        next = fd + 1;
    }
    closeFrom(next, INT32_MAX);
    // Above the four places, then into them: a move never lands on a descriptor not yet moved.
    int moved[kKept];
    for (int i = 0; i < kKept; ++i) {
        moved[i] = ::fcntl(fds[i], F_DUPFD, 3 + kKept);
        if (moved[i] < 0) {
            // Beyond the limit is what a limit too low for the four says.
            sendReport(fds[0], ReportKind::ExecFailed, errno == EINVAL ? EMFILE : errno);
            ::_exit(1);
        }
    }
    for (int i = 0; i < kKept; ++i) {
        if (::dup2(moved[i], 3 + i) != 3 + i) {
            sendReport(moved[0], ReportKind::ExecFailed, errno);
            ::_exit(1);
        }
    }
    closeFrom(3 + kKept, INT32_MAX);
}

// Files to remove once the office has ended, one path a line, as the connection sent them.
struct Leftovers {
    char paths[8192];
    size_t used = 0;
};

bool startsWith(const char* text, const char* prefix) {
    while (*prefix && *text == *prefix) ++text, ++prefix;
    return *prefix == 0;
}

// Only the office's pipes in /tmp are ever removed here.
void removeLeftovers(Leftovers& leftovers) {
    char* line = leftovers.paths;
    for (size_t i = 0; i < leftovers.used; ++i) {
        if (leftovers.paths[i] != '\n') continue;
        leftovers.paths[i] = 0;
        if (startsWith(line, kPipePrefix)) ::unlink(line);
        line = leftovers.paths + i + 1;
    }
}

[[noreturn]] void endOffice(pid_t office, Leftovers& leftovers) {
    ::kill(-office, SIGKILL);
    ::kill(office, SIGKILL);
    int status = 0;
    while (::waitpid(office, &status, 0) < 0 && errno == EINTR) {
    }
    removeLeftovers(leftovers);
    sendReport(ReportKind::Exited, status);
    ::_exit(0);
}

[[noreturn]] void runKeeper(int socket, int inheritedFd, int nullInput, int output,
                            char* const* argv, char* const* envp) {
    resetSignals();
    keepOnly({socket, inheritedFd >= 0 ? inheritedFd : nullInput, nullInput, output});
    const pid_t keeper = ::getpid();

    int execError[2];
    if (::pipe2(execError, O_CLOEXEC) != 0) {
        sendReport(ReportKind::ExecFailed, errno);
        ::_exit(1);
    }
    const pid_t office = ::fork();
    if (office == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != keeper) ::_exit(127);
        if (::dup2(kNullInput, 0) != 0 || ::dup2(kOutput, 1) != 1 || ::dup2(kOutput, 2) != 2) {
            const int error = errno;
            [[maybe_unused]] auto written = ::write(execError[1], &error, sizeof error);
            ::_exit(127);
        }
        ::close(kKeeperSocket);
        ::close(kNullInput);
        ::close(kOutput);
        if (inheritedFd < 0) ::close(kInheritedFd);
        // The office's pipes (whose owner may drive it), profile and working files are the
        // user's alone, whatever umask the program was started with.
        ::umask(077);
        ::execve(argv[0], argv, envp);
        const int error = errno;
        [[maybe_unused]] auto written = ::write(execError[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(execError[1]);
    if (office < 0) {
        sendReport(ReportKind::ExecFailed, errno);
        ::_exit(1);
    }
    ::setpgid(office, office);

    int error = 0;
    ssize_t got;
    while ((got = ::read(execError[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (got == sizeof error) {
        ::waitpid(office, nullptr, 0);
        sendReport(ReportKind::ExecFailed, error);
        ::_exit(1);
    }
    ::close(execError[0]);
    sendReport(ReportKind::Started, office);

    Leftovers leftovers;
    const int officeFd = static_cast<int>(::syscall(SYS_pidfd_open, office, 0));
    for (;;) {
        pollfd watched[2] = {{kKeeperSocket, POLLIN, 0}, {officeFd, POLLIN, 0}};
        const int ready = ::poll(watched, officeFd >= 0 ? 2 : 1, officeFd >= 0 ? -1 : 100);
        if (ready < 0 && errno != EINTR) endOffice(office, leftovers);
        if (watched[0].revents != 0) {
            char scratch[256];
            const size_t room = sizeof leftovers.paths - leftovers.used;
            char* const into = room > 0 ? leftovers.paths + leftovers.used : scratch;
            const ssize_t n = ::recv(kKeeperSocket, into, room > 0 ? room : sizeof scratch, 0);
            if (n > 0 && room > 0) leftovers.used += size_t(n);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                endOffice(office, leftovers);
        }
        bool ended = officeFd >= 0 && watched[1].revents != 0;
        if (officeFd < 0) {
            siginfo_t info{};
            ended = ::waitid(P_PID, office, &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                    info.si_pid == office;
        }
        // The office is a zombie until reaped, so its group's number cannot be reused while
        // the rest of the group is killed.
        if (ended) endOffice(office, leftovers);
    }
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

OfficeProcess::OfficeProcess(const OfficeCommand& command) {
    QStringList argv{command.program};
    argv += command.arguments;
    const CStringArray arguments(argv);
    const CStringArray environment(command.environment);

    const int nullInput = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    int output = -1;
    if (!command.logFile.isEmpty())
        output = ::open(QFile::encodeName(command.logFile).constData(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (output < 0) output = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    int sockets[2];
    if (nullInput < 0 || output < 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        const int error = errno;
        if (nullInput >= 0) ::close(nullInput);
        if (output >= 0) ::close(output);
        throw WordError(
            QStringLiteral("Cannot prepare the office process: %1").arg(systemError(error)));
    }

    keeper_ = ::fork();
    if (keeper_ == 0)
        runKeeper(sockets[1], command.inheritedFd, nullInput, output, arguments.get(),
                  environment.get());
    const int forkError = errno;
    ::close(sockets[1]);
    ::close(nullInput);
    ::close(output);
    socket_ = sockets[0];
    if (keeper_ < 0) {
        ::close(socket_);
        throw WordError(QStringLiteral("Cannot start a process: %1").arg(systemError(forkError)));
    }

    pollfd watched{socket_, POLLIN, 0};
    Report report{};
    const bool answered = ::poll(&watched, 1, 10000) == 1 &&
                          ::recv(socket_, &report, sizeof report, MSG_WAITALL) == sizeof report;
    if (answered && report.kind == ReportKind::Started) {
        pid_ = report.value;
        return;
    }
    kill();
    reapKeeper();
    ::close(socket_);
    if (answered && report.kind == ReportKind::ExecFailed)
        throw WordError(QStringLiteral("The office program '%1' cannot be run: %2")
                            .arg(command.program, systemError(report.value)));
    throw WordError(QStringLiteral("The office program '%1' did not start.").arg(command.program));
}

OfficeProcess::~OfficeProcess() {
    if (!exitStatus_) {
        kill();
        waitForExit(std::chrono::seconds(10));
    }
    if (exitStatus_) reapKeeper();
    ::close(socket_);
}

std::optional<int> OfficeProcess::waitForExit(std::chrono::milliseconds bound) {
    if (exitStatus_) return exitStatus_;
    pollfd watched{socket_, POLLIN, 0};
    int ready;
    while ((ready = ::poll(&watched, 1, int(bound.count()))) < 0 && errno == EINTR) {
    }
    if (ready <= 0) return std::nullopt;
    Report report{};
    const ssize_t got = ::recv(socket_, &report, sizeof report, MSG_WAITALL);
    // A keeper that ends without a report has lost its office as well.
    exitStatus_ = got == sizeof report && report.kind == ReportKind::Exited ? report.value : -1;
    reapKeeper();
    return exitStatus_;
}

std::chrono::milliseconds OfficeProcess::processorTime() const {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid_));
    if (!stat.open(QIODevice::ReadOnly)) return {};
    // pid (name) state ppid ...: utime and stime are the 12th and 13th fields after the name.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return {};
    static const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    const qint64 ticks = fields[11].toLongLong() + fields[12].toLongLong();
    return std::chrono::milliseconds(ticks * 1000 / std::max(ticksPerSecond, 1L));
}

qint64 OfficeProcess::residentBytes() const {
    // The group is the office's own (its pid): a launcher's office and its helpers count too.
    static const long pageSize = ::sysconf(_SC_PAGESIZE);
    qint64 pages = 0;
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString folder = processes.next();
        QFile stat(folder + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // pid (name) state ppid pgrp ...; rss is the 22nd field after the name.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 22 || fields[2].toLongLong() != pid_) continue;
        pages += fields[21].toLongLong();
    }
    return pages * pageSize;
}

void OfficeProcess::kill() {
    ::shutdown(socket_, SHUT_WR);
}

void OfficeProcess::removeOnExit(const QStringList& paths) {
    QByteArray lines;
    for (const QString& path : paths) lines += QFile::encodeName(path) + '\n';
    ::send(socket_, lines.constData(), size_t(lines.size()), MSG_NOSIGNAL);
}

void OfficeProcess::reapKeeper() {
    if (keeper_ <= 0) return;
    while (::waitpid(keeper_, nullptr, 0) < 0 && errno == EINTR) {
    }
    keeper_ = -1;
}

QStringList OfficeProcess::listeningSockets(pid_t pid) {
    QSet<QByteArray> inodes;
    const QString fdFolder = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fdFolder).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const QByteArray link = QFile::encodeName(fdFolder + QLatin1Char('/') + fd);
        const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
        const QByteArray name(target, length > 0 ? length : 0);
        if (name.startsWith("socket:[")) inodes.insert(name.mid(8, name.size() - 9));
    }
    // Num RefCount Protocol Flags Type St Inode Path
    QStringList paths;
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly)) return paths;
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> columns = line.simplified().split(' ');
        if (columns.size() >= 8 && inodes.contains(columns[6]) && columns[7].startsWith('/'))
            paths << QFile::decodeName(columns[7]);
    }
    return paths;
}

QString OfficeProcess::describeWaitStatus(int status) {
    if (status < 0) return QStringLiteral("ended");
    if (WIFEXITED(status)) return QStringLiteral("exit status %1").arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return QStringLiteral("killed by signal %1").arg(WTERMSIG(status));
    return QStringLiteral("ended");
}

}  // namespace velmora::office
