#include "FaxServerAddress.h"

#include "fax/HylaFaxFiles.h"

#include <QRegularExpression>

#include <pwd.h>
#include <unistd.h>

namespace velmora {

QString FaxServerAddress::text() const {
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return shownHost + QLatin1Char(':') + QString::number(port);
}

std::optional<FaxServerAddress> FaxServerAddress::parse(const QString& text, const QString& user) {
    // host, [v6 address] or host:port, [v6 address]:port
    static const QRegularExpression form(
        QStringLiteral("^(?:\\[([0-9A-Fa-f:.]+)\\]|([^\\s:\\[\\]/@]+))(?::(\\d{1,5}))?$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    FaxServerAddress address;
    address.host = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (match.hasCaptured(3) && !match.captured(3).isEmpty()) {
        const uint port = match.captured(3).toUInt();
        if (port == 0 || port > 65535) return std::nullopt;
        address.port = quint16(port);
    }
    address.user = user.trimmed().isEmpty() ? loginName() : user.trimmed();
    return address;
}

FaxServerAddress FaxServerAddress::fallback() {
    if (const auto named = parse(qEnvironmentVariable(hylafax::kServerVariable))) return *named;
    return *parse(QLatin1String(hylafax::kDefaultServer));
}

QString FaxServerAddress::loginName() {
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return {};
}

}  // namespace velmora
