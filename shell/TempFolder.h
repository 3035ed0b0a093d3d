#pragma once

#include <QString>

namespace velmora {

// The temporary folder: the value of TEMP, used unchanged; the system's temporary folder
// where TEMP is unset or empty.
QString TempFolder();

// A file name in the temporary folder.
QString TempPath(const QString& fileName);

}  // namespace velmora
