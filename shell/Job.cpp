#include "Job.h"

#include <QMetaObject>
#include <utility>

namespace velmora {
namespace {

thread_local Job* currentJob = nullptr;

}  // namespace

Job::Job(QObject* parent) : QObject(parent) {}

Job::~Job() = default;

void Job::cancel() {
    if (cancelled_.exchange(true)) return;
    // Called under the lock: once the work has ended and its hook is cleared, no hook of its
    // reaches what the worker does next.
    const std::lock_guard lock(hookMutex_);
    if (hook_) hook_();
}

void Job::setCancelHook(std::function<void()> hook) {
    exchangeCancelHook(std::move(hook));
}

std::function<void()> Job::exchangeCancelHook(std::function<void()> hook) {
    const std::lock_guard lock(hookMutex_);
    std::function<void()> previous = std::exchange(hook_, std::move(hook));
    if (cancelled_ && hook_) hook_();
    return previous;
}

void Job::reportProgress(int done, int total, const QString& text) {
    // Told on the handle's thread, in the order the work told it.
    QMetaObject::invokeMethod(
        this, [this, done, total, text] { emit progress(done, total, text); },
        Qt::QueuedConnection);
}

Job* Job::current() {
    return currentJob;
}

std::exception_ptr Job::run(const std::function<void()>& work) {
    if (cancelled_) return {};
    Job* const outer = std::exchange(currentJob, this);
    std::exception_ptr failure;
    try {
        work();
    } catch (...) {
        failure = std::current_exception();
    }
    currentJob = outer;
    setCancelHook({});
    return failure;
}

void Job::end(std::exception_ptr failure) {
    if (ended_) return;
    ended_ = true;
    emit finished(failure);
}

bool JobCancelled() {
    return currentJob && currentJob->cancelled();
}

void ThrowIfJobCancelled() {
    if (JobCancelled()) throw JobGivenUp();
}

ScopedCancelHook::ScopedCancelHook(std::function<void()> hook) : job_(Job::current()) {
    if (job_) previous_ = job_->exchangeCancelHook(std::move(hook));
}

ScopedCancelHook::~ScopedCancelHook() {
    if (job_) job_->exchangeCancelHook(std::move(previous_));
}

}  // namespace velmora
