#include "ProgramEnding.h"

#include <atomic>

namespace velmora {
namespace {

std::atomic<bool> ending{false};
std::atomic<bool> givenUp{false};

}  // namespace

void SetProgramEnding() {
    ending = true;
}

bool ProgramEnding() {
    return ending;
}

void SetWorkGivenUp(bool value) {
    givenUp = value;
}

bool WorkGivenUp() {
    return givenUp;
}

}  // namespace velmora
