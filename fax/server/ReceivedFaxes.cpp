#include "ReceivedFaxes.h"

#include "HylaFaxSession.h"
#include "fax/ImagePages.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/Job.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <optional>

namespace velmora {
namespace {

using namespace std::chrono_literals;

constexpr auto kReceivedStoreName = "received-faxes.sqlite";
constexpr int kReceivedSchemaVersion = 1;
// The largest fax file fetched: some 500 pages of a dense fax.
constexpr qint64 kFaxFileLimit = 64 << 20;

QString ReceivedWords(const char* text) {
    return QCoreApplication::translate("velmora::ReceivedFaxes", text);
}

SqliteFile::Words receivedStoreWords() {
    SqliteFile::Words words;
    words.inUse = ReceivedWords(
        "The list of faxes read ('%1') is in use by another program (another Velmora, perhaps) "
        "and stayed so too long. Nothing was changed; try again in a moment.");
    words.inUseAtStart = ReceivedWords(
        "The list of faxes read ('%1') is in use by another program (another Velmora, perhaps) "
        "and stayed so too long.");
    words.damaged = ReceivedWords(
        "The list of faxes read ('%1') is damaged. It is put aside and a new one started when "
        "Velmora starts again.");
    words.cannotWrite = ReceivedWords("Cannot write the list of faxes read ('%1'): %2.");
    words.cannotUse = ReceivedWords("Cannot use the list of faxes read ('%1'): %2.");
    words.cannotMake = ReceivedWords("Cannot make the list of faxes read ('%1'): %2.");
    words.cannotPutAside = ReceivedWords(
        "The list of faxes read ('%1') is damaged, and it cannot be moved aside to start a new "
        "one.");
    words.keptAside = ReceivedWords(
        "The list of faxes read was damaged and could not be read. It was kept as '%1' and a "
        "new one started: every received fax shows unread.");
    return words;
}

void makeReceivedTables(SqliteFile::Connection& connection, int /*version*/) {
    connection.run(
        QStringLiteral("CREATE TABLE IF NOT EXISTS received ("
                       " key TEXT PRIMARY KEY, read INTEGER NOT NULL DEFAULT 0,"
                       " noticed INTEGER NOT NULL DEFAULT 0)"));
}

}  // namespace

QString ReceivedFax::from() const {
    for (const QString* name : {&knownName, &callerName, &sender, &callerNumber})
        if (!name->isEmpty()) return *name;
    return {};
}

struct ReceivedFaxes::Answer {
    std::vector<ReceivedFax> faxes;
    std::vector<ReceivedFax> arrived;
    QString problem;
    bool answered = false;
    std::optional<std::pair<FaxServerAddress, bool>> password;
};

ReceivedFaxes::ReceivedFaxes(const QString& folder, QObject* parent)
    : QObject(parent),
      folder_(folder),
      store_(folder + QLatin1Char('/') + QLatin1String(kReceivedStoreName), kReceivedSchemaVersion,
             makeReceivedTables, receivedStoreWords(), {folder + QStringLiteral("/received")}),
      worker_(QStringLiteral("received faxes")),
      server_(FaxServerAddress::fallback()) {
    timer_.setInterval(5s);
    connect(&timer_, &QTimer::timeout, this, &ReceivedFaxes::refresh);
    timer_.start();
}

ReceivedFaxes::~ReceivedFaxes() {
    worker_.abortWork();
}

namespace {

std::atomic<ReceivedFaxes*>& installedReceivedFaxes() {
    static std::atomic<ReceivedFaxes*> faxes{nullptr};
    return faxes;
}

}  // namespace

ReceivedFaxes& ReceivedFaxes::shared() {
    if (ReceivedFaxes* faxes = installedReceivedFaxes()) return *faxes;
    static QPointer<ReceivedFaxes> fallback;
    if (!fallback) fallback = new ReceivedFaxes(ProgramDataFolder(), QCoreApplication::instance());
    return *fallback;
}

ScopedReceivedFaxes::ScopedReceivedFaxes(ReceivedFaxes& faxes)
    : ScopedAtomicOverride(installedReceivedFaxes(), &faxes) {}

void ReceivedFaxes::setServer(const FaxServerAddress& server) {
    if (server == server_) return;
    server_ = server;
    // Another server's faxes are new to this run: those it holds now are not told.
    answered_ = false;
    passwordAsked_ = false;
    faxes_.clear();
    emit changed();
    if (poll_ && !poll_->ended()) poll_->cancel();
    poll();
}

void ReceivedFaxes::setNameLookup(NameLookup lookup) {
    nameLookup_ = std::make_shared<const NameLookup>(std::move(lookup));
}

void ReceivedFaxes::setInterval(std::chrono::milliseconds interval) {
    timer_.setInterval(interval);
}

void ReceivedFaxes::refresh() {
    if (poll_ && !poll_->ended()) return;
    poll();
}

void ReceivedFaxes::poll() {
    auto answer = std::make_shared<Answer>();
    const FaxServerAddress server = server_;
    const bool first = !answered_;
    poll_ = worker_.post(
        this,
        [this, answer, server, first, lookup = nameLookup_] {
            std::vector<ServerReceivedFax> listed;
            try {
                HylaFaxSession session(server);
                listed = session.receivedFaxes();
            } catch (const FaxServerPasswordNeeded& needed) {
                answer->problem = QString::fromStdString(needed.what());
                answer->password = {needed.address(), needed.refused()};
                return;
            } catch (const Failure& failure) {
                answer->problem = QString::fromStdString(failure.what());
                return;
            }
            answer->answered = true;
            std::vector<ReceivedFax> faxes;
            for (const ServerReceivedFax& found : listed) {
                ReceivedFax fax;
                fax.server = server.text();
                fax.user = server.user;
                fax.file = found.file;
                fax.sender = found.sender;
                fax.callerNumber = found.callerNumber;
                fax.callerName = found.callerName;
                fax.pages = found.pages;
                fax.received = found.received;
                fax.receiving = found.receiving;
                fax.error = found.error;
                if (lookup && *lookup && !fax.callerNumber.isEmpty()) try {
                        fax.knownName = (*lookup)(fax.callerNumber);
                    } catch (const std::exception&) {
                        // Without the phone book the fax shows as the server names it.
                    }
                faxes.push_back(std::move(fax));
            }
            // One transaction a poll, not one a fax: the server may hold hundreds.
            SqliteFile::Connection connection(store_);
            connection.writing([&] {
                for (ReceivedFax& fax : faxes) {
                    const QString key = fax.key();
                    // Those there at the program's start are not news; one still coming in
                    // is, once it is whole.
                    connection.run(QStringLiteral("INSERT OR IGNORE INTO received (key, noticed) "
                                                  "VALUES (?, ?)"),
                                   {key, first && !fax.receiving ? 1 : 0});
                    // Whoever changes the row tells it: another program's mark leaves nothing.
                    const bool told =
                        !fax.receiving &&
                        connection
                                .run(QStringLiteral("UPDATE received SET noticed = 1 WHERE key = "
                                                    "? AND noticed = 0"),
                                     {key})
                                .numRowsAffected() == 1;
                    QSqlQuery row = connection.run(
                        QStringLiteral("SELECT read FROM received WHERE key = ?"), {key});
                    fax.read = row.next() && row.value(0).toBool();
                    row.finish();
                    if (told) answer->arrived.push_back(fax);
                }
            });
            answer->faxes = std::move(faxes);
            std::stable_sort(answer->faxes.begin(), answer->faxes.end(),
                             [](const ReceivedFax& a, const ReceivedFax& b) {
                                 if (a.received != b.received) return a.received > b.received;
                                 return a.file > b.file;
                             });
        },
        [this, answer, server](std::exception_ptr failure) {
            if (failure) {
                try {
                    std::rethrow_exception(failure);
                } catch (const JobGivenUp&) {
                    return;
                } catch (const std::exception& error) {
                    answer->faxes = faxes_;
                    answer->problem = QString::fromStdString(error.what());
                }
            }
            if (!(server == server_)) return;  // asked of a server no longer shown
            if (answer->answered) {
                faxes_ = std::move(answer->faxes);
                answered_ = true;
            }
            problem_ = answer->problem;
            emit changed();
            for (const ReceivedFax& fax : answer->arrived) emit arrived(fax);
            if (answer->password && !passwordAsked_) {
                passwordAsked_ = true;
                emit passwordNeeded(answer->password->first, answer->password->second);
            }
        });
}

QString ReceivedFaxes::localPath(const ReceivedFax& fax) const {
    // The server's name in the file's name, shortened: two servers may both have fax00000001.
    const QByteArray server =
        QCryptographicHash::hash((fax.user + '@' + fax.server).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    return folder_ + QStringLiteral("/received/") + QString::fromLatin1(server) + QLatin1Char('-') +
           QFileInfo(fax.file).fileName();
}

QString ReceivedFaxes::fetchNow(const ReceivedFax& fax) {
    const QString local = localPath(fax);
    // A fax still coming in is fetched afresh each time; a whole one once.
    if (!fax.receiving && QFileInfo(local).size() > 0) return local;
    store_.ensureReady();  // makes the folder
    const auto address = FaxServerAddress::parse(fax.server, fax.user);
    if (!address)
        throw Failure(
            ReceivedWords("The fax's server \"%1\" is not a server name.").arg(fax.server));
    const QByteArray bytes = HylaFaxSession(*address).retrieve(fax.serverPath(), kFaxFileLimit);
    if (bytes.isEmpty())
        throw Failure(ReceivedWords("The fax server sent an empty file for %1.").arg(fax.file));
    AtomicFile file(local, AtomicFile::Flush::NotToDisk, AtomicFile::Access::OwnerOnly);
    file.write(bytes);
    file.commit();
    return local;
}

QString ReceivedFaxes::pdfNow(const ReceivedFax& fax) {
    const QString tiff = fetchNow(fax);
    const QString pdf = tiff + QStringLiteral(".pdf");
    const QFileInfo made(pdf);
    if (!made.exists() || made.lastModified() < QFileInfo(tiff).lastModified())
        WriteImagePdf(tiff, pdf);
    return pdf;
}

Job* ReceivedFaxes::fetch(const ReceivedFax& fax, std::shared_ptr<QString> tiff, QObject* receiver,
                          JobWorker::Done done) {
    return worker_.post(
        receiver, [this, fax, tiff] { *tiff = fetchNow(fax); }, std::move(done));
}

Job* ReceivedFaxes::remove(const ReceivedFax& fax, QObject* receiver, JobWorker::Done done) {
    return worker_.post(
        receiver,
        [this, fax] {
            const auto address = FaxServerAddress::parse(fax.server, fax.user);
            if (!address)
                throw Failure(
                    ReceivedWords("The fax's server \"%1\" is not a server name.").arg(fax.server));
            HylaFaxSession(*address).removeFile(fax.serverPath());
            RemoveFileQuietly(localPath(fax));
            RemoveFileQuietly(localPath(fax) + QStringLiteral(".pdf"));
            SqliteFile::Connection connection(store_);
            connection.writing([&] {
                connection.run(QStringLiteral("DELETE FROM received WHERE key = ?"), {fax.key()});
            });
        },
        [this, done = std::move(done)](std::exception_ptr failure) {
            done(failure);
            refresh();
        });
}

void ReceivedFaxes::markRead(const ReceivedFax& fax) {
    for (ReceivedFax& shown : faxes_)
        if (shown.key() == fax.key() && !shown.read) {
            shown.read = true;
            emit changed();
        }
    worker_.post(
        this,
        [this, key = fax.key()] {
            SqliteFile::Connection connection(store_);
            connection.writing([&] {
                connection.run(QStringLiteral("INSERT OR IGNORE INTO received (key, noticed) "
                                              "VALUES (?, 1)"),
                               {key});
                connection.run(QStringLiteral("UPDATE received SET read = 1 WHERE key = ?"), {key});
            });
        },
        [](std::exception_ptr) {});
}

}  // namespace velmora
