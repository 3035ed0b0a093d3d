#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>

namespace velmora {

// The handle of one piece of work that waits (the office, the fax server, a long write), done
// on a worker (coversheet/OfficeJobs) while the windows go on. Whoever started the work holds
// the handle: it hears the work's progress and its end by signal on its own thread, and gives
// the work up through it. Every job has its own handle: giving one up touches no other.
//
// The handle lives on the thread that started the work and goes (deleteLater) once its end
// is told; hold it in a QPointer.
class Job : public QObject {
    Q_OBJECT
public:
    explicit Job(QObject* parent = nullptr);
    ~Job() override;

    // Gives the work up, from any thread. Work not begun yet never begins; work under way
    // stops at its next check (JobCancelled) and what it waits on is ended at once (the
    // cancel hook: its offices, its process). Its end is still told, with cancelled() true.
    void cancel();
    bool cancelled() const { return cancelled_; }
    // Whether its end has been told.
    bool ended() const { return ended_; }

    // What ends the waiting of the work under way when it is given up. Set by the worker or by
    // the work itself, on any thread; a job given up already runs it at once.
    void setCancelHook(std::function<void()> hook);
    // Sets the hook and returns the one it replaces (ScopedCancelHook).
    std::function<void()> exchangeCancelHook(std::function<void()> hook);

    // For the work, on the worker: how far it has come, told to the holder by `progress`.
    void reportProgress(int done, int total, const QString& text = {});

    // The job the current thread works for, while a worker runs it; null elsewhere.
    static Job* current();

    // The worker's side: runs `work` as this job's on the current thread (current(), hooks),
    // unless the job was given up before it began. Returns the work's failure, null when it
    // completed or never began.
    std::exception_ptr run(const std::function<void()>& work);
    // The worker's side, on the handle's thread: tells the end (finished) once.
    void end(std::exception_ptr failure);

signals:
    void progress(int done, int total, const QString& text);
    // The work's end: its failure, or null when it completed (or was given up before it
    // began: see cancelled()).
    void finished(std::exception_ptr failure);

private:
    std::atomic<bool> cancelled_{false};
    bool ended_ = false;
    std::mutex hookMutex_;
    std::function<void()> hook_;
};

// Whether the job the current thread works for was given up (never, off a worker). Work that
// loops or waits asks it between steps.
bool JobCancelled();

// What work throws when it stops because its job was given up; no failure to tell the user.
class JobGivenUp : public std::exception {
public:
    const char* what() const noexcept override { return "The work was stopped."; }
};

// Throws JobGivenUp when the current thread's job was given up.
void ThrowIfJobCancelled();

// While it lives, giving up the current thread's job (if any) runs `hook` instead of the job's
// own hook, which comes back with the object's end (and runs then if the job was given up
// meanwhile): for work that waits on something of its own for a while (a process it started,
// which the hook kills at once). Run at once when the job was given up already.
class ScopedCancelHook {
public:
    explicit ScopedCancelHook(std::function<void()> hook);
    ~ScopedCancelHook();
    ScopedCancelHook(const ScopedCancelHook&) = delete;
    ScopedCancelHook& operator=(const ScopedCancelHook&) = delete;

private:
    Job* const job_;
    std::function<void()> previous_;
};

}  // namespace velmora

Q_DECLARE_METATYPE(std::exception_ptr)
