#pragma once

#include "shell/Job.h"
#include "shell/ScopedOverride.h"

#include <QObject>
#include <QThread>
#include <exception>
#include <functional>
#include <mutex>
#include <set>

namespace velmora {

// Work that waits, off the windows' thread: one worker thread runs the jobs, one after another
// in the order they were posted. Each job has its handle (shell/Job.h): its progress and its
// outcome come back by signal on the thread that posted it (the outcome also to the `done` of
// the object that posted it, as a queued call on that object's thread), and cancelling it gives
// up that job alone. The window that waits keeps painting and takes no part in the work; what
// it may do meanwhile is its own business (see busyChanged).
//
// A job is plain code that may block on the office (its call bounds keep it from blocking for
// ever; cancelling the job ends the offices it uses at once), on a process or on a long write
// (which ask JobCancelled() as they go); abortWork() ends all of it as the program goes.
class OfficeJobs : public QObject {
    Q_OBJECT
public:
    OfficeJobs();
    // Ends the work under way (abortWork) and waits for the worker; jobs not yet started are
    // dropped, and no outcome is delivered any more.
    ~OfficeJobs() override;
    OfficeJobs(const OfficeJobs&) = delete;
    OfficeJobs& operator=(const OfficeJobs&) = delete;

    // The program's worker: the one made by a ScopedOfficeJobs, else one made on first use
    // that lives as long as the application object.
    static OfficeJobs& shared();

    using Work = std::function<void()>;
    // The job's failure, or null when it completed.
    using Done = std::function<void(std::exception_ptr failure)>;

    // Runs `work` on the worker, then `done` on `receiver`'s thread, unless `receiver` is gone
    // by then. Returns the job's handle, which lives until its outcome has been delivered.
    Job* post(QObject* receiver, Work work, Done done);

    // Whether a job was posted that has not ended yet (its outcome is delivered with the
    // worker no longer busy).
    bool busy() const { return pending_ > 0; }
    // How many jobs were posted that have not ended yet.
    int pending() const { return pending_; }

    // Ends what the worker waits on: every job posted and not ended yet is given up (a send's
    // sendfax killed before it hands the fax over, a long write stopped), the office instances
    // are ended, so that the call under way and every later call of the job fail at once, and
    // message boxes the job would show are given up (shell/ProgramEnding.h). For a program on
    // its way out; any thread.
    void abortWork();

    // Whether the current thread is the worker's.
    bool onWorker() const;

signals:
    // Posted work began (true), or the last job ended, just before its outcome is delivered
    // (false).
    void busyChanged(bool busy);

private:
    QThread thread_;
    QObject* worker_;  // lives on thread_; deleted there when it ends
    int pending_ = 0;  // the posting thread's count
    std::mutex liveMutex_;
    std::set<Job*> live_;  // posted and not ended; abortWork gives them up from any thread
};

// Makes OfficeJobs::shared() answer `jobs` while the object lives (the program's own worker).
class ScopedOfficeJobs : public ScopedAtomicOverride<OfficeJobs> {
public:
    explicit ScopedOfficeJobs(OfficeJobs& jobs);
};

}  // namespace velmora
