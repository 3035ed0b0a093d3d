#pragma once

#include <QString>

namespace velmora {

// Per-user strings of application "Brindlework", section "Velmora". Every write is on disk
// before it returns and every read sees the last write; nothing is cached.
void SaveSetting(const QString& key, const QString& value);
QString GetSetting(const QString& key, const QString& defaultValue = QString());

}  // namespace velmora
