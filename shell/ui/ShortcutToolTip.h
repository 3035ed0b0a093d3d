#pragma once

#include <QString>

class QAction;

namespace velmora {

// A command's tooltip that names its keys: "Zoom In (+, Ctrl+=)". A command without keys
// gets its text alone.
QString ShortcutToolTip(const QAction& action);

}  // namespace velmora
