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

void OfficeJobs::post(QObject* receiver, Work work, Done done) {
    if (++pending_ == 1) emit busyChanged(true);
    // The outcome is counted off on this object's thread, whatever became of the receiver.
    const QPointer<QObject> to(receiver);
    QMetaObject::invokeMethod(
        worker_,
        [this, to, work = std::move(work), done = std::move(done)]() mutable {
            std::exception_ptr failure;
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            QMetaObject::invokeMethod(
                this,
                [this, to, failure, done = std::move(done)] {
                    // The work is over: the outcome is taken with the worker idle (it may
                    // post more), and the windows' commands are back as it is handed over.
                    if (--pending_ == 0) {
                        SetWorkGivenUp(false);
                        emit busyChanged(false);
                    }
                    if (to && done) done(failure);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void OfficeJobs::giveUpWork() {
    SetWorkGivenUp(true);
    EndOfficeWorkInUse();
}

void OfficeJobs::abortWork() {
    SetProgramEnding();
    AbortOfficeWork();
}

bool OfficeJobs::onWorker() const {
    return QThread::currentThread() == &thread_;
}

ScopedOfficeJobs::ScopedOfficeJobs(OfficeJobs& jobs) : ScopedAtomicOverride(installed(), &jobs) {}

}  // namespace velmora
