#pragma once

#include <QString>

namespace velmora {

// Per-user strings of application "Brindlework", section "Velmora". Every write is on disk
// before it returns and every read sees the last write, also one made by another process.
//
// A write that fails (a read-only settings file or folder, a full disk) is told to the user
// once per run, in a plain box saying that entries cannot be remembered and why; the box comes
// once the event that wrote is done, and the program goes on working.
void SaveSetting(const QString& key, const QString& value);
QString GetSetting(const QString& key, const QString& defaultValue = QString());

// The settings file.
QString SettingsFile();

// Why the settings file cannot be written, as the user is told; empty when it can.
QString SettingsWriteProblem();

}  // namespace velmora
