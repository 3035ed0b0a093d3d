#include "ProgramIcon.h"

namespace velmora {

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/velmora/icons/velmora-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace velmora
