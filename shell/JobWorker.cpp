#include "JobWorker.h"

#include <QPointer>

namespace velmora {

JobWorker::JobWorker(const QString& name, std::function<void()> cancelHook,
                     std::function<void()> onAbort)
    : worker_(new QObject), cancelHook_(std::move(cancelHook)), onAbort_(std::move(onAbort)) {
    thread_.setObjectName(name);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

JobWorker::~JobWorker() {
    if (pending_ > 0) abortWork();
    thread_.quit();
    thread_.wait();
}

Job* JobWorker::post(QObject* receiver, Work work, Done done) {
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
                if (cancelHook_) job->setCancelHook(cancelHook_);
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

void JobWorker::abortWork() {
    {
        const std::lock_guard lock(liveMutex_);
        for (Job* job : live_) job->cancel();
    }
    if (onAbort_) onAbort_();
}

bool JobWorker::onWorker() const {
    return QThread::currentThread() == &thread_;
}

}  // namespace velmora
