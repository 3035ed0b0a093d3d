#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <chrono>
#include <functional>
#include <set>

// Looking at processes from outside: which offices run, and waiting for something to happen.
namespace velmora::test {

// The office processes (soffice*) descending from `ancestor`, zombies left out.
std::set<pid_t> OfficesUnder(pid_t ancestor);

// The processes (other than this one, zombies left out) whose environment holds `entry`
// ("NAME=value"): a mark given to a process is inherited by everything it starts.
std::set<pid_t> ProcessesCarrying(const QByteArray& entry);

// A process that runs (not a zombie).
bool ProcessRuns(pid_t pid);

// Stops a process (SIGSTOP) and waits until every thread of it has stopped: the signal takes
// effect only when the process is next scheduled, and until then it may still answer.
bool Stop(pid_t pid);

// A process's resident memory in KiB; 0 when it is gone.
long ResidentKb(pid_t pid);

// Asks `condition` until it holds or `bound` has passed; returns its last answer.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds bound = std::chrono::seconds(20));

}  // namespace velmora::test
