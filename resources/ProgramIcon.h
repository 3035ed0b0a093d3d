#pragma once

#include <QIcon>

namespace velmora {

// The program's icon, used by both windows.
QIcon ProgramIcon();

}  // namespace velmora
