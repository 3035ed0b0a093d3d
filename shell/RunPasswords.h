#pragma once

#include <QString>
#include <optional>

namespace velmora {

// Passwords the user gave for servers (the fax server, the company directory), kept in memory
// for the program's run only and never written anywhere. Each is filed under a key its user
// makes of the server and the login ("fax:user@host:port"). Any thread.
namespace RunPasswords {
void remember(const QString& key, const QString& password);
std::optional<QString> find(const QString& key);
void forget(const QString& key);
}  // namespace RunPasswords

}  // namespace velmora
