#pragma once

#include "Job.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <exception>
#include <functional>
#include <mutex>
#include <set>

namespace velmora {

// Work that waits, off the windows' thread: one worker thread runs the jobs, one after another
// in the order they were posted. Each job has its handle (Job.h): its progress and its outcome
// come back by signal on the thread that posted it (the outcome also to the `done` of the
// object that posted it, as a queued call on that object's thread), and cancelling it gives up
// that job alone. The window that waits keeps painting and takes no part in the work.
//
// The program has one for the office (coversheet/OfficeJobs) and one for the fax server, so
// that a poll of the server never waits behind a long conversion, nor the other way round.
class JobWorker : public QObject {
    Q_OBJECT
public:
    // `name`: the thread's, for debuggers. `cancelHook`: set on every job as it begins (what
    // ends the waiting of this worker's kind of work). `onAbort`: run by abortWork() after the
    // jobs were given up.
    explicit JobWorker(const QString& name, std::function<void()> cancelHook = {},
                       std::function<void()> onAbort = {});
    // Ends the work under way (abortWork) and waits for the worker; jobs not yet started are
    // dropped, and no outcome is delivered any more.
    ~JobWorker() override;
    JobWorker(const JobWorker&) = delete;
    JobWorker& operator=(const JobWorker&) = delete;

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

    // Gives up every job posted and not ended yet, then runs the worker's `onAbort`. For a
    // program on its way out; any thread.
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
    const std::function<void()> cancelHook_;
    const std::function<void()> onAbort_;
    int pending_ = 0;  // the posting thread's count
    std::mutex liveMutex_;
    std::set<Job*> live_;  // posted and not ended; abortWork gives them up from any thread
};

}  // namespace velmora
