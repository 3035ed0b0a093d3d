#include "TempFolder.h"

#include <QDir>

namespace velmora {

QString TempFolder() {
    const QString temp = qEnvironmentVariable("TEMP");
    return temp.isEmpty() ? QDir::tempPath() : temp;
}

QString TempPath(const QString& fileName) {
    return TempFolder() + QLatin1Char('/') + fileName;
}

}  // namespace velmora
