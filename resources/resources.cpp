#include "ProgramIcon.h"

namespace velmora {

QIcon ProgramIcon() { return {}; }

}  // namespace velmora
