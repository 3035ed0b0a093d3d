#pragma once

#include <QString>
#include <optional>

namespace velmora {

// A HylaFAX server as the user names it, "host[:port]" ("[::1]:4559" for an IPv6 address), and
// the login name used there.
struct FaxServerAddress {
    static constexpr quint16 kDefaultPort = 4559;

    QString host;
    quint16 port = kDefaultPort;
    QString user;

    // "host:port", as shown and recorded (the port always named, so that the record of a fax
    // says exactly which server has it).
    QString text() const;
    // Parses "host[:port]"; empty when `text` names no server (empty, a port that is none).
    // `user` empty: the login name of this process.
    static std::optional<FaxServerAddress> parse(const QString& text, const QString& user = {});
    // The server used when the user named none: $FAXSERVER (host[:port]) where it is set and
    // valid, else localhost.
    static FaxServerAddress fallback();
    // This process's login name.
    static QString loginName();

    friend bool operator==(const FaxServerAddress&, const FaxServerAddress&) = default;
};

}  // namespace velmora
