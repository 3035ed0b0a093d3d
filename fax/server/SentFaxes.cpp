#include "SentFaxes.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <type_traits>

namespace velmora {
namespace {

constexpr auto kFileName = "sent-faxes.sqlite";
// How long a call waits for another program's write to end before it gives up.
constexpr int kBusyMs = 5000;
// The schema's version, in PRAGMA user_version: a later version adds columns and raises it.
constexpr int kSchemaVersion = 1;

// SQLite's primary result codes that matter here.
constexpr int kSqlitePerm = 3, kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8,
              kSqliteCorrupt = 11, kSqliteFull = 13, kSqliteNotADatabase = 26;

QString translate(const char* text) {
    return QCoreApplication::translate("velmora::SentFaxes", text);
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// SQLite's result code of a failed statement (extended codes reduced to their primary one).
int codeOf(const QSqlError& error) {
    return error.nativeErrorCode().toInt() & 0xff;
}

bool damageCode(int code) {
    return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

// The plain words for a failed call on the store `file`.
Failure failureOf(const QString& file, const QSqlError& error) {
    const int code = codeOf(error);
    if (code == kSqliteBusy || code == kSqliteLocked)
        return Failure(translate("The record of faxes sent ('%1') is in use by another program "
                                 "(another Velmora, perhaps) and stayed so too long. Nothing "
                                 "was changed; try again in a moment.")
                           .arg(file));
    if (code == kSqliteFull) {
        const QString full = FullDiskReason(file);
        if (!full.isEmpty())
            return Failure(
                translate("Cannot write the record of faxes sent ('%1'): %2.").arg(file, full));
    }
    if (damageCode(code))
        return Failure(translate("The record of faxes sent ('%1') is damaged. It is put aside "
                                 "and a new one started when Velmora starts again.")
                           .arg(file));
    QString reason = error.databaseText();
    if (reason.isEmpty()) reason = error.driverText();
    if (code == kSqlitePerm || code == kSqliteReadOnly)
        return Failure(
            translate("Cannot write the record of faxes sent ('%1'): %2.").arg(file, reason));
    return Failure(translate("Cannot use the record of faxes sent ('%1'): %2.").arg(file, reason));
}

// Makes `path` and the folders above it that are missing, readable by the user alone, and
// makes `path` so if it stood already (it is the program's own).
void makePrivateFolder(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString sofar;
    for (const QString& part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        sofar += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(sofar);
        if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
            throw Failure(
                translate("Cannot make the folder '%1': %2.").arg(sofar, systemReason(errno)));
    }
    struct stat info {};
    const QByteArray native = QFile::encodeName(absolute);
    if (::stat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw Failure(translate("Cannot make the folder '%1': %2.")
                          .arg(absolute, systemReason(errno ? errno : ENOTDIR)));
    if ((info.st_mode & 07777) != 0700 && info.st_uid == ::geteuid())
        ::chmod(native.constData(), 0700);
}

// Holds the lock on the store's folder that one program at a time takes to look the store
// over and repair or make it.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
        : fd_(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ < 0) return;
        for (int waited = 0; ::flock(fd_, LOCK_EX | LOCK_NB) != 0; waited += 50) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= kBusyMs) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
            QThread::msleep(50);
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // and with it the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_;
};

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

// One connection to the store, made on the calling thread and removed with the object, on the
// same thread. Queries made through it must go before it does.
class SentFaxes::Connection {
public:
    explicit Connection(const QString& file) : file_(file), name_(uniqueName()) {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(file);
        db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
        if (!db_.open()) throw failureOf(file_, db_.lastError());
    }
    ~Connection() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs `sql` with `values` bound in order; the query, positioned before its first row.
    // Throws the failure in plain words.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery query = tryRun(sql, values);
        if (query.lastError().isValid()) throw failureOf(file_, query.lastError());
        return query;
    }
    // The same, with a failure left in the query's lastError().
    QSqlQuery tryRun(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery query(db_);
        query.setForwardOnly(true);
        if (query.prepare(sql)) {
            for (const QVariant& value : values) {
                // Text is never NULL: Qt binds a null string so, an empty one as text.
                if (value.typeId() == QMetaType::QString && value.toString().isNull())
                    query.addBindValue(QString(QLatin1String("")));
                else
                    query.addBindValue(value);
            }
            query.exec();
        }
        return query;
    }

    // Runs `change` in one transaction that holds the store's write lock from its start (so
    // that it waits for another writer once, up front, rather than failing midway); made
    // whole or not at all.
    template <class Change>
    auto writing(Change&& change) {
        run(QStringLiteral("BEGIN IMMEDIATE"));
        try {
            if constexpr (std::is_void_v<decltype(change())>) {
                change();
                run(QStringLiteral("COMMIT"));
            } else {
                auto result = change();
                run(QStringLiteral("COMMIT"));
                return result;
            }
        } catch (...) {
            tryRun(QStringLiteral("ROLLBACK"));
            throw;
        }
    }

private:
    static QString uniqueName() {
        static std::atomic<quint64> made{0};
        return QStringLiteral("velmora-sent-faxes-%1").arg(++made);
    }

    const QString file_;
    const QString name_;
    QSqlDatabase db_;
};

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

SentFaxes::SentFaxes(const QString& folder) : folder_(folder) {
    prepare();
}

QString SentFaxes::DefaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/velmora");
}

QString SentFaxes::file() const {
    return folder_ + QLatin1Char('/') + QLatin1String(kFileName);
}

QString SentFaxes::sentFolder() const {
    return folder_ + QStringLiteral("/sent");
}

QString SentFaxes::problem() const {
    const std::lock_guard lock(mutex_);
    if (!damage_.isEmpty()) return damage_;
    return ready_ ? QString() : failure_;
}

void SentFaxes::ensureReady() const {
    prepare();
    const std::lock_guard lock(mutex_);
    if (!ready_) throw Failure(failure_);
}

void SentFaxes::prepare() const {
    const std::lock_guard lock(mutex_);
    if (ready_) return;
    const QString store = file();
    const QByteArray native = QFile::encodeName(store);
    try {
        makePrivateFolder(folder_);
        makePrivateFolder(sentFolder());
        // One program at a time looks the store over: two that found it damaged at once would
        // otherwise both move "it" aside, the second the new store the first had just made.
        const FolderLock folderLock(folder_);
        if (!folderLock.held())
            throw Failure(translate("The record of faxes sent ('%1') is in use by another "
                                    "program (another Velmora, perhaps) and stayed so too long.")
                              .arg(store));
        // Made here, readable by the user alone: SQLite would make it as the umask says (its
        // journal files take the store's own permissions).
        const auto makeStore = [&] {
            const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::fchmod(fd, 0600);
                ::close(fd);
            } else if (errno != EEXIST) {
                throw Failure(translate("Cannot make the record of faxes sent ('%1'): %2.")
                                  .arg(store, systemReason(errno)));
            }
        };
        makeStore();
        struct stat info {};
        if (::stat(native.constData(), &info) == 0 && (info.st_mode & 07777) != 0600 &&
            info.st_uid == ::geteuid())
            ::chmod(native.constData(), 0600);

        // Damaged: not a database at all, or one whose pages do not hold together. A store
        // that is only busy is not damaged: that fails, and the store stays as it is.
        bool damaged = false;
        {
            Connection connection(store);
            QSqlQuery check = connection.tryRun(QStringLiteral("PRAGMA quick_check"));
            if (check.lastError().isValid()) {
                if (!damageCode(codeOf(check.lastError())))
                    throw failureOf(store, check.lastError());
                damaged = true;
            } else {
                damaged = !check.next() || check.value(0).toString() != QLatin1String("ok");
            }
        }
        if (damaged) {
            const QString stamp =
                QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
            QString aside = store + QStringLiteral(".damaged-") + stamp;
            for (int n = 2; FileExists(aside); ++n)
                aside = store + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
            if (!QFile::rename(store, aside))
                throw Failure(translate("The record of faxes sent ('%1') is damaged, and it "
                                        "cannot be moved aside to start a new one.")
                                  .arg(store));
            // Its journal goes with it: replayed into the new store, it would damage that too.
            const QString wal = store + QStringLiteral("-wal");
            if (FileExists(wal)) QFile::rename(wal, aside + QStringLiteral("-wal"));
            RemoveFileQuietly(store + QStringLiteral("-shm"));
            makeStore();
            damage_ = translate(
                          "The record of faxes sent was damaged and could not be read. "
                          "It was kept as '%1' and a new, empty record started: the "
                          "faxes sent before are not listed.")
                          .arg(aside);
        }

        Connection connection(store);
        // WAL: readers never wait for a writer, and two programs may write in turn. The
        // mode stays with the file.
        connection.run(QStringLiteral("PRAGMA journal_mode=WAL"));
        const auto version = [&] {
            QSqlQuery query = connection.run(QStringLiteral("PRAGMA user_version"));
            return query.next() ? query.value(0).toInt() : 0;
        };
        // Only a store without its tables waits for the write lock: another program's long
        // write does not keep this one from starting and reading the record meanwhile. A
        // later version's store is used as it is (it only ever adds columns).
        if (version() < kSchemaVersion)
            connection.writing([&] {
                if (version() >= kSchemaVersion) return;  // made meanwhile
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
                    " remote_station TEXT NOT NULL DEFAULT '', noticed INTEGER NOT NULL DEFAULT "
                    "0)"));
                connection.run(QStringLiteral(
                    "CREATE INDEX IF NOT EXISTS faxes_by_packet ON faxes (packet_key)"));
                connection.run(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
            });
        ready_ = true;
        failure_.clear();
    } catch (const Failure& failure) {
        failure_ = QString::fromStdString(failure.what());
    }
}

qint64 SentFaxes::add(SentFax fax, const QString& pdf) {
    ensureReady();
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
        Connection connection(file());
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
    ensureReady();
    Connection connection(file());
    QSqlQuery query =
        connection.run(QStringLiteral("SELECT %1 FROM faxes%2")
                           .arg(QLatin1String(kColumns), QLatin1String(kNewestFirst)));
    return rowsOf(query, sentFolder());
}

std::optional<SentFax> SentFaxes::find(qint64 id) const {
    ensureReady();
    Connection connection(file());
    QSqlQuery query = connection.run(
        QStringLiteral("SELECT %1 FROM faxes WHERE id = ?").arg(QLatin1String(kColumns)), {id});
    if (!query.next()) return std::nullopt;
    return rowOf(query, sentFolder());
}

void SentFaxes::updateState(const SentFax& fax) {
    ensureReady();
    Connection connection(file());
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
    ensureReady();
    Connection connection(file());
    // Whoever changes the row is the one that marked it: another program's mark, made before
    // or waited for, leaves nothing to change.
    return connection.writing([&] {
        const QSqlQuery mark = connection.run(
            QStringLiteral("UPDATE faxes SET noticed = 1 WHERE id = ? AND noticed = 0"), {id});
        return mark.numRowsAffected() == 1;
    });
}

void SentFaxes::remove(qint64 id) {
    ensureReady();
    QString document;
    {
        Connection connection(file());
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
    ensureReady();
    Connection connection(file());
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
