#pragma once

#include "FaxServerAddress.h"
#include "shell/JobWorker.h"
#include "shell/ScopedOverride.h"
#include "shell/SqliteFile.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace velmora {

class Job;

// One fax the server received, as the program shows it.
struct ReceivedFax {
    QString server;  // the server's address, as FaxServerAddress::text() gives it
    QString user;    // who asked
    QString file;    // in the server's recvq: "fax00000012.tif"
    QString sender;  // the sending machine's id (TSI)
    QString callerNumber;
    QString callerName;
    QString knownName;  // the phone book's name for the caller's number, where it has one
    int pages = 0;
    QDateTime received;  // UTC
    bool receiving = false;
    QString error;
    bool read = false;  // opened by this user here

    // What tells it from every other fax, across refreshes and runs.
    QString key() const { return user + QLatin1Char('@') + server + QLatin1Char('/') + file; }
    // Who sent it, in words: the phone book's name, else the caller's name, else the station
    // id, else the caller's number; empty when nothing told.
    QString from() const;
    // Not received whole: still coming in, or the call ended with an error.
    bool partial() const { return receiving || !error.isEmpty(); }
    // The path of its file on the server.
    QString serverPath() const { return QStringLiteral("recvq/") + file; }
};

// The faxes the fax server received, as this user may see them: asked of the server
// (HylaFaxSession) every few seconds on a worker of its own while the program runs, with which
// of them this user has opened kept in a small SQLite file in the program's data folder
// ("received-faxes.sqlite", beside the record of faxes sent). A fax that arrives while the
// program runs is told once (arrived()), by one instance of the program even with two running;
// those there already when it started are not. No widgets: the received faxes window shows it.
class ReceivedFaxes : public QObject {
    Q_OBJECT
public:
    // The store in `folder`, and the fetched faxes in "<folder>/received/".
    explicit ReceivedFaxes(const QString& folder = ProgramDataFolder(), QObject* parent = nullptr);
    ~ReceivedFaxes() override;

    // The program's: the one a ScopedReceivedFaxes installs, else one made on first use, in the
    // user's data folder, that lives as long as the application object.
    static ReceivedFaxes& shared();

    // The server asked (the last one faxes were sent through, unless told).
    void setServer(const FaxServerAddress& server);
    const FaxServerAddress& server() const { return server_; }
    // Where the caller's number finds a name (the phone book); called on the worker, at most
    // once per fax per poll. Any thread may call it at once with another.
    using NameLookup = std::function<QString(const QString& number)>;
    void setNameLookup(NameLookup lookup);
    // How often the server is asked (5 s unless told).
    void setInterval(std::chrono::milliseconds interval);
    // Asks the server now (unless a poll is under way); the answer comes as changed().
    void refresh();

    // The faxes, newest first.
    const std::vector<ReceivedFax>& faxes() const { return faxes_; }
    // Why the last poll could not ask the server, in plain words; empty when it answered.
    const QString& problem() const { return problem_; }
    // Whether the server has answered at least once in this run.
    bool answered() const { return answered_; }

    // Jobs on the worker; their end comes to `done` on `receiver`'s thread (shell/JobWorker).
    // Fetches the fax's file, at most 64 MB, as "<folder>/received/<name>" (kept for its next
    // use until the fax is deleted) and gives its path in `*tiff`.
    Job* fetch(const ReceivedFax& fax, std::shared_ptr<QString> tiff, QObject* receiver,
               JobWorker::Done done);
    // Removes the fax from the server and from here; a refresh follows.
    Job* remove(const ReceivedFax& fax, QObject* receiver, JobWorker::Done done);
    // Notes that the user opened it: shown read from now on.
    void markRead(const ReceivedFax& fax);

    // Any other work on the worker that asks the server.
    JobWorker& worker() { return worker_; }

    // The local copy of `fax`, fetched from its server unless fetched before (on the worker).
    QString fetchNow(const ReceivedFax& fax);
    // The same fax as a PDF beside it, one page a fax page (made once; on the worker).
    QString pdfNow(const ReceivedFax& fax);

signals:
    void changed();
    // A fax came in whole while the program ran.
    void arrived(const ReceivedFax& fax);
    void passwordNeeded(const FaxServerAddress& server, bool refused);

private:
    struct Answer;
    void poll();
    QString localPath(const ReceivedFax& fax) const;

    const QString folder_;
    SqliteFile store_;
    JobWorker worker_;
    QTimer timer_;
    QPointer<Job> poll_;
    FaxServerAddress server_;
    std::shared_ptr<const NameLookup> nameLookup_;
    std::vector<ReceivedFax> faxes_;
    QString problem_;
    bool answered_ = false;
    bool passwordAsked_ = false;
};

// Makes ReceivedFaxes::shared() answer `faxes` while the object lives (the program's own).
class ScopedReceivedFaxes : public ScopedAtomicOverride<ReceivedFaxes> {
public:
    explicit ScopedReceivedFaxes(ReceivedFaxes& faxes);
};

}  // namespace velmora
