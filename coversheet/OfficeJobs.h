#pragma once

#include "shell/Job.h"
#include "shell/JobWorker.h"
#include "shell/ScopedOverride.h"

namespace velmora {

// The office's worker (shell/JobWorker.h). A job is plain code that may block on the office (its
// call bounds keep it from blocking for ever; cancelling the job ends the offices it uses at once),
// on a process or on a long write (which ask JobCancelled() as they go); abortWork() ends all of it
// as the program goes.
class OfficeJobs : public JobWorker {
    Q_OBJECT
public:
    OfficeJobs();

    // The program's worker: the one made by a ScopedOfficeJobs, else one made on first use
    // that lives as long as the application object.
    static OfficeJobs& shared();

    // Ends what the worker waits on: every job posted and not ended yet is given up (a send
    // stopped before it hands the fax over, a long write stopped), the office instances are
    // ended, so that the call under way and every later call of the job fail at once, and
    // message boxes the job would show are given up (shell/ProgramEnding.h). For a program on
    // its way out; any thread.
    void abortWork() { JobWorker::abortWork(); }
};

// Makes OfficeJobs::shared() answer `jobs` while the object lives (the program's own worker).
class ScopedOfficeJobs : public ScopedAtomicOverride<OfficeJobs> {
public:
    explicit ScopedOfficeJobs(OfficeJobs& jobs);
};

}  // namespace velmora
