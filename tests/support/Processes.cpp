#include "Processes.h"

#include <unistd.h>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QThread>
#include <csignal>
#include <map>

namespace velmora::test {
namespace {

struct ProcessStat {
    QByteArray name;
    char state = '?';
    pid_t parent = 0;
};

// /proc/<pid>/stat (or a thread's, /proc/<pid>/task/<tid>/stat): "pid (name) state ppid ...",
// where the name may hold spaces and brackets.
bool ReadStat(const QString& path, ProcessStat& stat) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray text = file.readAll();
    const qsizetype open = text.indexOf('('), close = text.lastIndexOf(')');
    if (open < 0 || close < 0) return false;
    const QList<QByteArray> rest = text.mid(close + 2).split(' ');
    const QByteArray state = rest.value(0);
    stat.name = text.mid(open + 1, close - open - 1);
    stat.state = state.isEmpty() ? '?' : state.at(0);
    stat.parent = pid_t(rest.value(1).toInt());
    return true;
}

bool ReadStat(pid_t pid, ProcessStat& stat) {
    return ReadStat(QStringLiteral("/proc/%1/stat").arg(pid), stat);
}

}  // namespace

std::set<pid_t> OfficesUnder(pid_t ancestor) {
    std::map<pid_t, ProcessStat> processes;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = entry.toInt(&numeric);
        ProcessStat stat;
        if (numeric && ReadStat(pid, stat) && stat.state != 'Z') processes[pid] = stat;
    }
    std::set<pid_t> offices;
    for (const auto& [pid, stat] : processes) {
        if (!stat.name.startsWith("soffice")) continue;
        for (pid_t up = stat.parent; up > 1;) {
            if (up == ancestor) {
                offices.insert(pid);
                break;
            }
            const auto parent = processes.find(up);
            up = parent == processes.end() ? 0 : parent->second.parent;
        }
    }
    return offices;
}

std::set<pid_t> ProcessesCarrying(const QByteArray& entry) {
    std::set<pid_t> found;
    for (const QString& name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool numeric = false;
        const pid_t pid = name.toInt(&numeric);
        if (!numeric || pid == ::getpid() || !ProcessRuns(pid)) continue;
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!environ.open(QIODevice::ReadOnly)) continue;
        if (environ.readAll().split('\0').contains(entry)) found.insert(pid);
    }
    return found;
}

bool ProcessRuns(pid_t pid) {
    ProcessStat stat;
    return pid > 0 && ::kill(pid, 0) == 0 && ReadStat(pid, stat) && stat.state != 'Z';
}

bool Stop(pid_t pid) {
    if (::kill(pid, SIGSTOP) != 0) return false;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    return Eventually([&] {
        for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            ProcessStat stat;
            // A thread that has just ended has no stat to read.
            if (ReadStat(tasks + QLatin1Char('/') + task + QStringLiteral("/stat"), stat) &&
                stat.state != 'T' && stat.state != 't')
                return false;
        }
        return true;
    });
}

long ResidentKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return condition();
        QThread::msleep(50);
    }
    return true;
}

}  // namespace velmora::test
