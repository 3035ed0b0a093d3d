#include "SentFaxes.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QVariant>

namespace velmora {
namespace {

constexpr auto kFileName = "sent-faxes.sqlite";
// The schema's version, in PRAGMA user_version: a later version adds columns and raises it.
constexpr int kSchemaVersion = 1;

QString translate(const char* text) {
    return QCoreApplication::translate("velmora::SentFaxes", text);
}

SqliteFile::Words recordWords() {
    SqliteFile::Words words;
    words.inUse = translate(
        "The record of faxes sent ('%1') is in use by another program (another Velmora, "
        "perhaps) and stayed so too long. Nothing was changed; try again in a moment.");
    words.inUseAtStart = translate(
        "The record of faxes sent ('%1') is in use by another program (another Velmora, "
        "perhaps) and stayed so too long.");
    words.damaged = translate(
        "The record of faxes sent ('%1') is damaged. It is put aside and a new one started "
        "when Velmora starts again.");
    words.cannotWrite = translate("Cannot write the record of faxes sent ('%1'): %2.");
    words.cannotUse = translate("Cannot use the record of faxes sent ('%1'): %2.");
    words.cannotMake = translate("Cannot make the record of faxes sent ('%1'): %2.");
    words.cannotPutAside = translate(
        "The record of faxes sent ('%1') is damaged, and it cannot be moved aside to start a "
        "new one.");
    words.keptAside = translate(
        "The record of faxes sent was damaged and could not be read. It was kept as '%1' and a "
        "new, empty record started: the faxes sent before are not listed.");
    return words;
}

void makeTables(SqliteFile::Connection& connection, int /*version*/) {
    connection.run(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS faxes ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " server TEXT NOT NULL DEFAULT '', user TEXT NOT NULL DEFAULT '',"
        " job_id TEXT NOT NULL DEFAULT '', group_id TEXT NOT NULL DEFAULT '',"
        " recipient TEXT NOT NULL DEFAULT '', company TEXT NOT NULL DEFAULT '',"
        " number TEXT NOT NULL DEFAULT '', submitted TEXT, send_at TEXT,"
        " resolution TEXT NOT NULL DEFAULT 'fine', packet_key TEXT NOT NULL DEFAULT '',"
        " document TEXT NOT NULL DEFAULT '', state TEXT NOT NULL DEFAULT 'unknown',"
        " status TEXT NOT NULL DEFAULT '', pages_sent INTEGER NOT NULL DEFAULT 0,"
        " pages_total INTEGER NOT NULL DEFAULT 0, tries INTEGER NOT NULL DEFAULT 0,"
        " dials INTEGER NOT NULL DEFAULT 0, next_try TEXT, finished TEXT,"
        " remote_station TEXT NOT NULL DEFAULT '', noticed INTEGER NOT NULL DEFAULT 0)"));
    connection.run(
        QStringLiteral("CREATE INDEX IF NOT EXISTS faxes_by_packet ON faxes (packet_key)"));
}

// --- How the columns hold a fax ---

QVariant dateValue(const QDateTime& date) {
    if (!date.isValid()) return QVariant();  // NULL
    return date.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime dateOf(const QVariant& value) {
    if (value.isNull()) return {};
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

struct StateName {
    FaxJobState state;
    const char* name;
};
constexpr StateName kStateNames[] = {
    {FaxJobState::Unknown, "unknown"}, {FaxJobState::Suspended, "suspended"},
    {FaxJobState::Pending, "pending"}, {FaxJobState::Sleeping, "sleeping"},
    {FaxJobState::Blocked, "blocked"}, {FaxJobState::Waiting, "waiting"},
    {FaxJobState::Sending, "sending"}, {FaxJobState::Done, "done"},
    {FaxJobState::Failed, "failed"},   {FaxJobState::Cancelled, "cancelled"},
    {FaxJobState::Gone, "gone"},
};

QString stateName(FaxJobState state) {
    for (const StateName& entry : kStateNames)
        if (entry.state == state) return QLatin1String(entry.name);
    return QStringLiteral("unknown");
}

FaxJobState stateOf(const QString& name) {
    for (const StateName& entry : kStateNames)
        if (name == QLatin1String(entry.name)) return entry.state;
    return FaxJobState::Unknown;
}

QString resolutionName(FaxResolution resolution) {
    return resolution == FaxResolution::Standard ? QStringLiteral("standard")
                                                 : QStringLiteral("fine");
}

// The columns every reading takes, in the order rowOf() reads them.
constexpr auto kColumns =
    "id, server, user, job_id, group_id, recipient, company, number, submitted, send_at, "
    "resolution, packet_key, document, state, status, pages_sent, pages_total, tries, dials, "
    "next_try, finished, remote_station, noticed";
constexpr auto kNewestFirst = " ORDER BY submitted DESC, id DESC";

QString digitsOf(const QString& number) {
    QString digits;
    for (const QChar c : number)
        if (c.isDigit()) digits += c;
    return digits;
}

}  // namespace

namespace {

SentFax rowOf(const QSqlQuery& query, const QString& sentFolder) {
    SentFax fax;
    int c = 0;
    const auto next = [&] { return query.value(c++); };
    fax.id = next().toLongLong();
    fax.server = next().toString();
    fax.user = next().toString();
    fax.jobId = next().toString();
    fax.groupId = next().toString();
    fax.recipient = next().toString();
    fax.company = next().toString();
    fax.number = next().toString();
    fax.submitted = dateOf(next());
    fax.sendAt = dateOf(next());
    fax.resolution = next().toString() == QLatin1String("standard") ? FaxResolution::Standard
                                                                    : FaxResolution::Fine;
    fax.packetKey = next().toString();
    const QString document = next().toString();
    if (!document.isEmpty()) fax.document = sentFolder + QLatin1Char('/') + document;
    fax.state = stateOf(next().toString());
    fax.status = next().toString();
    fax.pagesSent = next().toInt();
    fax.pagesTotal = next().toInt();
    fax.tries = next().toInt();
    fax.dials = next().toInt();
    fax.nextTry = dateOf(next());
    fax.finished = dateOf(next());
    fax.remoteStation = next().toString();
    fax.noticed = next().toBool();
    return fax;
}

std::vector<SentFax> rowsOf(QSqlQuery& query, const QString& sentFolder) {
    std::vector<SentFax> faxes;
    while (query.next()) faxes.push_back(rowOf(query, sentFolder));
    return faxes;
}

}  // namespace

SentFaxes::SentFaxes(const QString& folder)
    : folder_(folder),
      store_(folder + QLatin1Char('/') + QLatin1String(kFileName), kSchemaVersion, makeTables,
             recordWords(), {folder + QStringLiteral("/sent")}) {}

QString SentFaxes::DefaultFolder() {
    return ProgramDataFolder();
}

QString SentFaxes::file() const {
    return store_.file();
}

QString SentFaxes::sentFolder() const {
    return folder_ + QStringLiteral("/sent");
}

QString SentFaxes::problem() const {
    return store_.problem();
}

qint64 SentFaxes::add(SentFax fax, const QString& pdf) {
    store_.ensureReady();
    if (!QFileInfo(pdf).isFile())
        throw Failure(
            translate("Cannot keep a copy of the fax '%1': the file is missing.").arg(pdf));
    // The copy first, under a name of its own, so that the row is written in one short step;
    // the copy goes again when the row cannot be written.
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QStringLiteral("fax-") +
                   QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-"));
    for (int i = 0; i < 8; ++i)
        name += QLatin1Char(kLetters[QRandomGenerator::system()->bounded(36)]);
    name += QStringLiteral(".pdf");
    const QString copy = sentFolder() + QLatin1Char('/') + name;
    {
        AtomicFile file(copy, AtomicFile::Flush::ToDisk, AtomicFile::Access::OwnerOnly);
        file.copyFrom(pdf);
        file.commit();
    }
    const QVariantList row{fax.server,
                           fax.user,
                           fax.jobId,
                           fax.groupId,
                           fax.recipient,
                           fax.company,
                           fax.number,
                           dateValue(fax.submitted),
                           dateValue(fax.sendAt),
                           resolutionName(fax.resolution),
                           fax.packetKey,
                           name,
                           stateName(fax.state),
                           fax.status,
                           fax.pagesSent,
                           fax.pagesTotal,
                           fax.tries,
                           fax.dials,
                           dateValue(fax.nextTry),
                           dateValue(fax.finished),
                           fax.remoteStation,
                           int(fax.noticed)};
    try {
        SqliteFile::Connection connection(store_);
        return connection.writing([&] {
            const QSqlQuery insert = connection.run(
                QStringLiteral("INSERT INTO faxes (server, user, job_id, group_id, recipient, "
                               "company, number, submitted, send_at, resolution, packet_key, "
                               "document, state, status, pages_sent, pages_total, tries, "
                               "dials, next_try, finished, remote_station, noticed) VALUES "
                               "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                               "?, ?)"),
                row);
            return insert.lastInsertId().toLongLong();
        });
    } catch (...) {
        RemoveFileQuietly(copy);
        throw;
    }
}

std::vector<SentFax> SentFaxes::all() const {
    SqliteFile::Connection connection(store_);
    QSqlQuery query =
        connection.run(QStringLiteral("SELECT %1 FROM faxes%2")
                           .arg(QLatin1String(kColumns), QLatin1String(kNewestFirst)));
    return rowsOf(query, sentFolder());
}

std::optional<SentFax> SentFaxes::find(qint64 id) const {
    SqliteFile::Connection connection(store_);
    QSqlQuery query = connection.run(
        QStringLiteral("SELECT %1 FROM faxes WHERE id = ?").arg(QLatin1String(kColumns)), {id});
    if (!query.next()) return std::nullopt;
    return rowOf(query, sentFolder());
}

void SentFaxes::updateState(const SentFax& fax) {
    SqliteFile::Connection connection(store_);
    connection.writing([&] {
        connection.run(
            QStringLiteral("UPDATE faxes SET state = ?, status = ?, pages_sent = ?, "
                           "pages_total = ?, tries = ?, dials = ?, next_try = ?, "
                           "finished = ?, remote_station = ? WHERE id = ?"),
            {stateName(fax.state), fax.status, fax.pagesSent, fax.pagesTotal, fax.tries, fax.dials,
             dateValue(fax.nextTry), dateValue(fax.finished), fax.remoteStation, fax.id});
    });
}

bool SentFaxes::markNoticed(qint64 id) {
    SqliteFile::Connection connection(store_);
    // Whoever changes the row is the one that marked it: another program's mark, made before
    // or waited for, leaves nothing to change.
    return connection.writing([&] {
        const QSqlQuery mark = connection.run(
            QStringLiteral("UPDATE faxes SET noticed = 1 WHERE id = ? AND noticed = 0"), {id});
        return mark.numRowsAffected() == 1;
    });
}

void SentFaxes::remove(qint64 id) {
    QString document;
    {
        SqliteFile::Connection connection(store_);
        connection.writing([&] {
            QSqlQuery row =
                connection.run(QStringLiteral("SELECT document FROM faxes WHERE id = ?"), {id});
            if (row.next()) document = row.value(0).toString();
            row.finish();
            connection.run(QStringLiteral("DELETE FROM faxes WHERE id = ?"), {id});
        });
    }
    // Only ever a file of the record's own folder, whatever the row said.
    const QString name = QFileInfo(document).fileName();
    if (!name.isEmpty()) RemoveFileQuietly(sentFolder() + QLatin1Char('/') + name);
}

std::vector<SentFax> SentFaxes::sameFax(const QString& packetKey, const QString& number) const {
    const QString digits = digitsOf(number);
    if (packetKey.isEmpty() || digits.isEmpty()) return {};
    SqliteFile::Connection connection(store_);
    QSqlQuery query = connection.run(
        QStringLiteral("SELECT %1 FROM faxes WHERE packet_key = ? AND state NOT IN (?, ?)%2")
            .arg(QLatin1String(kColumns), QLatin1String(kNewestFirst)),
        {packetKey, stateName(FaxJobState::Failed), stateName(FaxJobState::Cancelled)});
    std::vector<SentFax> same;
    for (SentFax& fax : rowsOf(query, sentFolder()))
        if (digitsOf(fax.number) == digits) same.push_back(std::move(fax));
    return same;
}

}  // namespace velmora
