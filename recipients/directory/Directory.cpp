#include "Directory.h"

#include "shell/Job.h"
#include "shell/RunPasswords.h"
#include "shell/SettingsStore.h"

#include <ldap.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <memory>

namespace velmora {
namespace {

constexpr auto kUriKey = "DirectoryUri";
constexpr auto kBaseKey = "DirectoryBase";
constexpr auto kBindDnKey = "DirectoryBindDn";

// How often a wait looks whether its job was given up.
constexpr std::chrono::milliseconds kSlice{50};

QString Words(const char* text) {
    return QCoreApplication::translate("Directory", text);
}

QString PasswordKey(const DirectorySettings& settings) {
    return QStringLiteral("directory:") + settings.bindDn + QLatin1Char('@') +
           settings.uri.trimmed();
}

timeval TimeValue(std::chrono::milliseconds span) {
    timeval value{};
    value.tv_sec = span.count() / 1000;
    value.tv_usec = (span.count() % 1000) * 1000;
    return value;
}

struct Unbind {
    void operator()(LDAP* ld) const { ldap_unbind_ext_s(ld, nullptr, nullptr); }
};
struct FreeMessage {
    void operator()(LDAPMessage* message) const { ldap_msgfree(message); }
};
using Message = std::unique_ptr<LDAPMessage, FreeMessage>;

// One connection to the directory, for one search.
class Connection {
public:
    Connection(const DirectorySettings& settings, std::chrono::milliseconds bound)
        : settings_(settings), uri_(settings.uri.trimmed()), bound_(bound) {
        LDAP* ld = nullptr;
        if (ldap_initialize(&ld, uri_.toUtf8().constData()) != LDAP_SUCCESS || !ld)
            throw Failure(
                Words("\"%1\" is not the address of a directory (ldap://host:port).").arg(uri_));
        ld_.reset(ld);
        const int version = LDAP_VERSION3;
        ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
        ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
        const timeval network = TimeValue(bound_);
        ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &network);
        // What a synchronous call waits at most: the goodbye (unbind) at the end.
        ldap_set_option(ld, LDAP_OPT_TIMEOUT, &network);
    }

    LDAP* get() const { return ld_.get(); }
    const QString& uri() const { return uri_; }

    void bind() {
        if (settings_.bindDn.trimmed().isEmpty()) return;  // anonymously
        const std::optional<QString> password = DirectoryPasswords::find(settings_);
        if (!password) throw DirectoryPasswordNeeded(settings_, false);
        QByteArray secret = password->toUtf8();
        berval credentials{ber_len_t(secret.size()), secret.data()};
        int id = 0;
        const int sent = ldap_sasl_bind(get(), settings_.bindDn.toUtf8().constData(),
                                        LDAP_SASL_SIMPLE, &credentials, nullptr, nullptr, &id);
        secret.fill('\0');
        if (sent != LDAP_SUCCESS) failed(sent);
        Message reply = await(id);
        int code = LDAP_OTHER;
        char* diagnostic = nullptr;
        const int parsed =
            ldap_parse_result(get(), reply.get(), &code, nullptr, &diagnostic, nullptr, nullptr, 0);
        const QString said = Said(parsed == LDAP_SUCCESS ? code : parsed, diagnostic);
        ldap_memfree(diagnostic);
        if (parsed != LDAP_SUCCESS) failed(parsed);
        if (code == LDAP_SUCCESS) return;
        if (code == LDAP_INVALID_CREDENTIALS) {
            DirectoryPasswords::forget(settings_);
            throw DirectoryPasswordNeeded(settings_, true);
        }
        throw Failure(
            Words("The directory %1 did not let %2 in: %3").arg(uri_, settings_.bindDn, said));
    }

    // The next answer to request `id` (one entry or the end), waiting at most the bound and
    // giving the request up when the job is.
    Message await(int id) {
        const QDeadlineTimer deadline(bound_);
        for (;;) {
            if (JobCancelled()) {
                ldap_abandon_ext(get(), id, nullptr, nullptr);
                throw JobGivenUp();
            }
            timeval slice = TimeValue(kSlice);
            LDAPMessage* message = nullptr;
            const int type = ldap_result(get(), id, LDAP_MSG_ONE, &slice, &message);
            if (type > 0) return Message(message);
            ldap_msgfree(message);
            if (type < 0) failed(lastCode());
            if (deadline.hasExpired()) {
                ldap_abandon_ext(get(), id, nullptr, nullptr);
                throw Failure(Words("The directory %1 did not answer within %2 seconds.")
                                  .arg(uri_)
                                  .arg(std::max<qint64>(1, bound_.count() / 1000)));
            }
        }
    }

    // The connection's last failure, as the user is told.
    [[noreturn]] void failed(int code) const {
        char* diagnostic = nullptr;
        ldap_get_option(get(), LDAP_OPT_DIAGNOSTIC_MESSAGE, &diagnostic);
        const QString said = Said(code, diagnostic);
        ldap_memfree(diagnostic);
        if (code == LDAP_SERVER_DOWN || code == LDAP_CONNECT_ERROR || code == LDAP_TIMEOUT)
            throw Failure(Words("The directory %1 could not be reached: %2").arg(uri_, said));
        throw Failure(Words("The directory %1 could not be searched: %2").arg(uri_, said));
    }

    // The server's words: the code's and its own message.
    static QString Said(int code, const char* diagnostic) {
        QString said = QString::fromUtf8(ldap_err2string(code));
        const QString own = QString::fromUtf8(diagnostic).trimmed();
        if (!own.isEmpty()) said += QStringLiteral(" (") + own + QLatin1Char(')');
        return said;
    }

private:
    int lastCode() const {
        int code = LDAP_OTHER;
        ldap_get_option(get(), LDAP_OPT_RESULT_CODE, &code);
        return code;
    }

    const DirectorySettings settings_;
    const QString uri_;
    const std::chrono::milliseconds bound_;
    std::unique_ptr<LDAP, Unbind> ld_;
};

// The first value of the entry's attribute, as text.
QString FirstValue(LDAP* ld, LDAPMessage* entry, const char* attribute) {
    berval** values = ldap_get_values_len(ld, entry, attribute);
    if (!values) return {};
    QString value;
    if (values[0]) value = QString::fromUtf8(values[0]->bv_val, qsizetype(values[0]->bv_len));
    ldap_value_free_len(values);
    return value.trimmed();
}

DirectoryEntry EntryOf(LDAP* ld, LDAPMessage* message) {
    DirectoryEntry entry;
    if (char* dn = ldap_get_dn(ld, message)) {
        entry.dn = QString::fromUtf8(dn);
        ldap_memfree(dn);
    }
    entry.name = FirstValue(ld, message, "cn");
    if (entry.name.isEmpty()) entry.name = FirstValue(ld, message, "sn");
    entry.company = FirstValue(ld, message, "o");
    entry.fax = FirstValue(ld, message, "facsimileTelephoneNumber");
    entry.phone = FirstValue(ld, message, "telephoneNumber");
    entry.email = FirstValue(ld, message, "mail");
    return entry;
}

}  // namespace

DirectorySettings DirectorySettings::load() {
    return {GetSetting(QLatin1String(kUriKey)).trimmed(),
            GetSetting(QLatin1String(kBaseKey)).trimmed(),
            GetSetting(QLatin1String(kBindDnKey)).trimmed()};
}

void DirectorySettings::save() const {
    SaveSetting(QLatin1String(kUriKey), uri.trimmed());
    SaveSetting(QLatin1String(kBaseKey), base.trimmed());
    SaveSetting(QLatin1String(kBindDnKey), bindDn.trimmed());
}

DirectoryPasswordNeeded::DirectoryPasswordNeeded(const DirectorySettings& settings, bool refused)
    : Failure(refused ? Words("The directory %1 refused the password for %2.")
                            .arg(settings.uri.trimmed(), settings.bindDn)
                      : Words("The directory %1 asks for the password for %2.")
                            .arg(settings.uri.trimmed(), settings.bindDn)),
      settings_(settings),
      refused_(refused) {}

void DirectoryPasswords::remember(const DirectorySettings& settings, const QString& password) {
    RunPasswords::remember(PasswordKey(settings), password);
}

std::optional<QString> DirectoryPasswords::find(const DirectorySettings& settings) {
    return RunPasswords::find(PasswordKey(settings));
}

void DirectoryPasswords::forget(const DirectorySettings& settings) {
    RunPasswords::forget(PasswordKey(settings));
}

QString EscapeFilterValue(const QString& value) {
    QString escaped;
    for (const QChar c : value) {
        switch (c.unicode()) {
            case u'*':
                escaped += QStringLiteral("\\2a");
                break;
            case u'(':
                escaped += QStringLiteral("\\28");
                break;
            case u')':
                escaped += QStringLiteral("\\29");
                break;
            case u'\\':
                escaped += QStringLiteral("\\5c");
                break;
            case u'\0':
                escaped += QStringLiteral("\\00");
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::vector<DirectoryEntry> SearchDirectory(const DirectorySettings& settings, const QString& text,
                                            int limit, std::chrono::milliseconds bound) {
    ThrowIfJobCancelled();
    if (!settings.configured()) throw Failure(Words("No company directory is set up."));
    if (settings.base.trimmed().isEmpty())
        throw Failure(Words("No place to search in the directory %1 is set up (its base).")
                          .arg(settings.uri.trimmed()));
    Connection connection(settings, bound);
    connection.bind();

    const QString words = text.trimmed();
    const QString any = words.isEmpty()
                            ? QStringLiteral("*")
                            : QLatin1Char('*') + EscapeFilterValue(words) + QLatin1Char('*');
    const QString filter = QStringLiteral("(|(cn=%1)(o=%1)(sn=%1))").arg(any);
    const char* attributes[] = {"cn",   "sn",   "o", "facsimileTelephoneNumber", "telephoneNumber",
                                "mail", nullptr};
    timeval serverLimit = TimeValue(bound);
    int id = 0;
    const int sent = ldap_search_ext(connection.get(), settings.base.trimmed().toUtf8().constData(),
                                     LDAP_SCOPE_SUBTREE, filter.toUtf8().constData(),
                                     const_cast<char**>(attributes), 0, nullptr, nullptr,
                                     &serverLimit, std::max(0, limit), &id);
    if (sent != LDAP_SUCCESS) connection.failed(sent);

    std::vector<DirectoryEntry> found;
    for (;;) {
        Message reply = connection.await(id);
        const int type = ldap_msgtype(reply.get());
        if (type == LDAP_RES_SEARCH_ENTRY) {
            if (limit <= 0 || int(found.size()) < limit)
                found.push_back(EntryOf(connection.get(), reply.get()));
            continue;
        }
        if (type != LDAP_RES_SEARCH_RESULT) continue;  // a reference elsewhere: not followed
        int code = LDAP_OTHER;
        char* diagnostic = nullptr;
        const int parsed = ldap_parse_result(connection.get(), reply.get(), &code, nullptr,
                                             &diagnostic, nullptr, nullptr, 0);
        const QString said = Connection::Said(code, diagnostic);
        ldap_memfree(diagnostic);
        if (parsed != LDAP_SUCCESS) connection.failed(parsed);
        // Cut short by the server's own bounds: what came is what there is to show.
        const bool cutShort = code == LDAP_SIZELIMIT_EXCEEDED || code == LDAP_TIMELIMIT_EXCEEDED ||
                              code == LDAP_ADMINLIMIT_EXCEEDED;
        if (code == LDAP_SUCCESS || (cutShort && !found.empty()) || code == LDAP_SIZELIMIT_EXCEEDED)
            return found;
        // A directory that shows anonymous clients nothing says so in these words.
        const bool forStrangers = code == LDAP_NO_SUCH_OBJECT || code == LDAP_INSUFFICIENT_ACCESS ||
                                  code == LDAP_INAPPROPRIATE_AUTH ||
                                  code == LDAP_STRONG_AUTH_REQUIRED;
        if (forStrangers && settings.bindDn.trimmed().isEmpty())
            throw Failure(Words("The directory %1 could not be searched without logging in: %2. "
                                "It may need a login name (bind DN) to be set up.")
                              .arg(connection.uri(), said));
        throw Failure(
            Words("The directory %1 could not be searched: %2").arg(connection.uri(), said));
    }
}

}  // namespace velmora
