#pragma once

namespace velmora {

// The program is on its way out (closed during office work, or ended by a signal): from now on
// nothing waits for the user's answer. A box asked for is given up, its text written to
// standard error, also one that another thread is waiting for. Safe from any thread.
void SetProgramEnding();
bool ProgramEnding();

// Whether the user gave up the work the current thread does (its job's handle was cancelled:
// shell/Job.h): its remaining steps stop quietly, as when the program ends, but the program
// goes on. False off a worker.
bool WorkGivenUp();

}  // namespace velmora
