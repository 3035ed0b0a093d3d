#pragma once

#include "FaxServerAddress.h"
#include "SentFax.h"
#include "shell/Failure.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;

namespace velmora {

// What the server tells of one job: a line of its job list.
struct ServerJob {
    QString jobId;
    QString groupId;
    QString owner;
    QString number;    // as dialled
    QString receiver;  // the name the sender gave (TOUSER)
    QString company;   // (TOCOMPANY)
    FaxJobState state = FaxJobState::Unknown;
    QString status;  // the server's words on the last try
    int pagesSent = 0;
    int pagesTotal = 0;
    int dials = 0;
    int tries = 0;
    QDateTime sendTime;  // when it is (or was last) to go out, UTC
    bool done = false;   // listed in the done queue
};

// What the server tells of one fax it received: a line of its list of received faxes.
struct ServerReceivedFax {
    QString file;          // in the server's recvq: "fax00000012.tif"
    QString sender;        // the sending machine's id (TSI), as it gave it
    QString callerNumber;  // the caller's number (CallID), where the line told it
    QString callerName;
    int pages = 0;
    QDateTime received;      // when it was received (the file's time), UTC
    bool receiving = false;  // still coming in
    QString error;           // why the receipt did not end well; empty when it did
};

// One fax to hand over.
struct FaxSubmission {
    QString tiff;    // the fax TIFF, made at `resolution`
    QString number;  // to dial
    FaxResolution resolution = FaxResolution::Fine;
    QString recipient;  // the name on the cover, for the server's list
    QString company;
    QDateTime sendAt;  // invalid: at once
};

struct SubmittedJob {
    QString jobId;
    QString groupId;
};

// The server asked for a password this program has not been given for the run, or refused the
// one given (refused()). The window asks the user, gives it to FaxServerPasswords, and tries
// again.
class FaxServerPasswordNeeded : public Failure {
public:
    FaxServerPasswordNeeded(const FaxServerAddress& address, bool refused);
    const FaxServerAddress& address() const { return address_; }
    bool refused() const { return refused_; }

private:
    FaxServerAddress address_;
    bool refused_;
};

// The passwords the user gave for fax servers, kept for the program's run only (RunPasswords) and
// never written anywhere. Any thread.
namespace FaxServerPasswords {
void remember(const FaxServerAddress& address, const QString& password);
std::optional<QString> find(const FaxServerAddress& address);
void forget(const FaxServerAddress& address);
}  // namespace FaxServerPasswords

// How long one answer of the server may take before the server is given up.
inline constexpr std::chrono::seconds kFaxServerBound{15};

// One connection to a HylaFAX server through its client protocol (hfaxd, FTP-like): logged in
// as the address's user (with the run's password for it, where the server asks for one), for
// work on a worker thread. Every wait is bounded (`bound` for each answer) and looks at the
// current job between short slices: giving the job up ends the wait at once (JobGivenUp).
// Every failure throws Failure in plain words with the server's own, or
// FaxServerPasswordNeeded.
class HylaFaxSession {
public:
    explicit HylaFaxSession(const FaxServerAddress& address,
                            std::chrono::milliseconds bound = kFaxServerBound);
    // Says goodbye (QUIT), briefly; a job created and not submitted goes with the session.
    ~HylaFaxSession();
    HylaFaxSession(const HylaFaxSession&) = delete;
    HylaFaxSession& operator=(const HylaFaxSession&) = delete;

    const FaxServerAddress& address() const { return address_; }

    // This user's jobs, those queued and those done, in the server's order.
    std::vector<ServerJob> jobs();
    // Hands the fax over as one job; nothing is queued unless this returns.
    SubmittedJob submit(const FaxSubmission& fax);

    // The job's parameter `name` (JPARM), as the server says it.
    QString parameter(const QString& jobId, const QString& name);
    // Sets it: a job already queued is held meanwhile and queued again after.
    void setParameter(const QString& jobId, const QString& name, const QString& value);
    // Removes the job from the queue (JKILL): it is not sent, or sent no further.
    void kill(const QString& jobId);
    // Holds the job (JSUSP) / queues it again (JSUBM).
    void suspend(const QString& jobId);
    void release(const QString& jobId);

    // The faxes the server received that it lets this user see, in the server's order.
    std::vector<ServerReceivedFax> receivedFaxes();
    // Removes a file of the server's spool ("recvq/fax00000012.tif") (DELE), where the server
    // lets this user.
    void removeFile(const QString& path);

    // A file of the server's spool ("doneq/q12"), at most `limit` bytes (more: Failure, and the
    // session is not to be used further).
    QByteArray retrieve(const QString& path, qint64 limit = 1 << 20);

    // SENDTIME's form: UTC, "YYYYMMDDHHMM".
    static QString sendTimeText(const QDateTime& at);

private:
    struct Reply {
        int code = 0;
        QStringList lines;  // without the codes
        QString text() const;
    };
    Reply command(const QString& line);
    Reply expect(const QString& line, std::initializer_list<int> codes);
    Reply readReply(QTcpSocket& socket);
    void login();
    std::unique_ptr<QTcpSocket> openData();
    // The lines the server lists for `queue` (LIST), as the format last set gives them.
    QList<QByteArray> list(const QString& queue);
    QByteArray readAll(QTcpSocket& data, qint64 limit);
    void selectJob(const QString& jobId);
    [[noreturn]] void refused(const QString& what, const Reply& reply) const;
    [[noreturn]] void lost(const QString& what) const;

    FaxServerAddress address_;
    std::chrono::milliseconds bound_;
    std::unique_ptr<QTcpSocket> control_;
};

}  // namespace velmora
