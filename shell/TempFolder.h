#pragma once

#include <QString>

namespace velmora {

// The temporary folder: the value of TEMP, used unchanged. Where TEMP is unset or empty it is
// PrivateTempFolder(), never the shared system folder itself.
QString TempFolder();

// A file name in the temporary folder.
QString TempPath(const QString& fileName);

// "velmora-<user id>" in the system's temporary folder: a folder of this user's alone (mode
// 0700, owned by the user, not a link), created when missing and its mode mended when it is
// ours. When that name is taken by anything else, a fresh private folder of this run
// ("velmora-<user id>-XXXXXX") is used instead, and the reason goes to standard error.
QString PrivateTempFolder();

}  // namespace velmora
