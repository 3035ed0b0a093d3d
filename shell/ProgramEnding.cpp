#include "ProgramEnding.h"

#include "Job.h"

#include <atomic>

namespace velmora {
namespace {

std::atomic<bool> ending{false};

}  // namespace

void SetProgramEnding() {
    ending = true;
}

bool ProgramEnding() {
    return ending;
}

bool WorkGivenUp() {
    return JobCancelled();
}

}  // namespace velmora
