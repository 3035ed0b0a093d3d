#include "OfficeJobs.h"

#include "WordEngine.h"
#include "shell/ProgramEnding.h"

#include <QCoreApplication>
#include <QPointer>
#include <atomic>

namespace velmora {
namespace {

std::atomic<OfficeJobs*>& installed() {
    static std::atomic<OfficeJobs*> jobs{nullptr};
    return jobs;
}

}  // namespace

OfficeJobs::OfficeJobs() : worker_(new QObject) {
    thread_.setObjectName(QStringLiteral("office jobs"));
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

OfficeJobs::~OfficeJobs() {
    if (pending_ > 0) abortWork();
    thread_.quit();
    thread_.wait();
}

OfficeJobs& OfficeJobs::shared() {
    if (OfficeJobs* jobs = installed()) return *jobs;
    // Made on the application's thread, and ended with the application object.
    static QPointer<OfficeJobs> fallback;
    if (!fallback) {
        fallback = new OfficeJobs;
        fallback->setParent(QCoreApplication::instance());
    }
    return *fallback;
}

Job* OfficeJobs::post(QObject* receiver, Work work, Done done) {
    if (++pending_ == 1) emit busyChanged(true);
    // The handle lives on this object's thread; the outcome is counted off there, whatever
    // became of the receiver.
    auto* job = new Job(this);
    {
        const std::lock_guard lock(liveMutex_);
        live_.insert(job);
    }
    const QPointer<QObject> to(receiver);
    QMetaObject::invokeMethod(
        worker_,
        [this, job, to, work = std::move(work), done = std::move(done)]() mutable {
            const std::exception_ptr failure = job->run([&] {
                // Giving the job up ends the offices it waits on.
                job->setCancelHook(EndOfficeWorkInUse);
                work();
            });
            QMetaObject::invokeMethod(
                this,
                [this, job, to, failure, done = std::move(done)] {
                    // The work is over: the outcome is taken with the worker idle (it may
                    // post more), and the windows' commands are back as it is handed over.
                    if (--pending_ == 0) emit busyChanged(false);
                    {
                        const std::lock_guard lock(liveMutex_);
                        live_.erase(job);
                    }
                    job->end(failure);
                    if (to && done) done(failure);
                    job->deleteLater();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return job;
}

void OfficeJobs::abortWork() {
    SetProgramEnding();
    {
        const std::lock_guard lock(liveMutex_);
        for (Job* job : live_) job->cancel();
    }
    AbortOfficeWork();
}

bool OfficeJobs::onWorker() const {
    return QThread::currentThread() == &thread_;
}

ScopedOfficeJobs::ScopedOfficeJobs(OfficeJobs& jobs) : ScopedAtomicOverride(installed(), &jobs) {}

}  // namespace velmora
