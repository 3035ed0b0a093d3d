#pragma once

#include "shell/Failure.h"

#include <QString>
#include <chrono>
#include <optional>
#include <vector>

namespace velmora {

// Where the company directory is and how this program logs in to it, from the settings
// "DirectoryUri" ("ldap://directory.example.com", "ldap://127.0.0.1:3890"), "DirectoryBase"
// (where searches begin, "dc=example,dc=com") and "DirectoryBindDn" (empty: anonymously).
struct DirectorySettings {
    QString uri;
    QString base;
    QString bindDn;

    // Whether a directory is set up at all.
    bool configured() const { return !uri.trimmed().isEmpty(); }

    static DirectorySettings load();
    void save() const;

    friend bool operator==(const DirectorySettings&, const DirectorySettings&) = default;
};

// One person or company found, in the fields a phone book's recipient has.
struct DirectoryEntry {
    QString dn;       // the entry's name in the directory
    QString name;     // cn
    QString company;  // o
    QString fax;      // facsimileTelephoneNumber
    QString phone;    // telephoneNumber
    QString email;    // mail
};

// The directory asks for the bind DN's password and this program was not given one for the run,
// or it refused the one given (refused(); it is forgotten then). The window asks the user,
// gives it to DirectoryPasswords, and searches again.
class DirectoryPasswordNeeded : public Failure {
public:
    DirectoryPasswordNeeded(const DirectorySettings& settings, bool refused);
    const DirectorySettings& settings() const { return settings_; }
    bool refused() const { return refused_; }

private:
    DirectorySettings settings_;
    bool refused_;
};

// The passwords the user gave for the directory's bind DN, kept for the program's run only
// (RunPasswords) and never written anywhere. Any thread.
namespace DirectoryPasswords {
void remember(const DirectorySettings& settings, const QString& password);
std::optional<QString> find(const DirectorySettings& settings);
void forget(const DirectorySettings& settings);
}  // namespace DirectoryPasswords

// How long the directory may take to be reached, and to answer each step, before it is given
// up; the server is asked to spend no longer on a search either.
inline constexpr std::chrono::seconds kDirectoryBound{15};

// `value` with the characters that mean something in an LDAP search filter escaped (RFC 4515:
// "*", "(", ")", "\" and NUL as \2a, \28, \29, \5c, \00).
QString EscapeFilterValue(const QString& value);

// The people and companies whose name, surname or company holds `text` (all where it is
// empty), at most `limit` of them, in the server's order. Read-only; a blocking call for a
// job on a worker: it waits at most `bound` for each step, and stops at once when its job is
// given up (JobGivenUp). Throws DirectoryPasswordNeeded, or Failure in plain words with the
// server's own.
std::vector<DirectoryEntry> SearchDirectory(const DirectorySettings& settings, const QString& text,
                                            int limit,
                                            std::chrono::milliseconds bound = kDirectoryBound);

}  // namespace velmora
