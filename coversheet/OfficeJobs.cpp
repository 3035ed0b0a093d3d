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

OfficeJobs::OfficeJobs()
    : JobWorker(QStringLiteral("office jobs"),
                // Giving a job up ends the offices it waits on.
                EndOfficeWorkInUse, [] {
                    SetProgramEnding();
                    AbortOfficeWork();
                }) {}

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

ScopedOfficeJobs::ScopedOfficeJobs(OfficeJobs& jobs) : ScopedAtomicOverride(installed(), &jobs) {}

}  // namespace velmora
