#pragma once

#include "coversheet/office/OfficeModule.h"

#include <QString>

// What an office of ours starts with besides its arguments: the settings put into its
// profile, the font set-up and the locale it inherits.

namespace velmora::office {

// The office's version as its installation states it ("7.4"); empty when it cannot be read.
QString InstalledVersion(const QString& program);

// Puts the settings every start needs into the profile in `profileFolder`.
void WriteProfileSettings(const QString& profileFolder, const QString& version);

// Whether the locale the environment names is installed and uses UTF-8.
bool InheritedLocaleIsUtf8();

// The fontconfig file the office gets: the one the options name, else a built-in one.
QString FontConfigFile(const StartOptions& options);

}  // namespace velmora::office
