#pragma once

namespace velmora {

// The program is on its way out (closed during office work, or ended by a signal): from now on
// nothing waits for the user's answer. A box asked for is given up, its text written to
// standard error, also one that another thread is waiting for. Safe from any thread.
void SetProgramEnding();
bool ProgramEnding();

// The user gave up the office work under way (its office hung): its remaining steps stop
// quietly, as when the program ends, but the program goes on. Cleared once the work's outcome
// is handed back. Safe from any thread.
void SetWorkGivenUp(bool givenUp);
bool WorkGivenUp();

}  // namespace velmora
