#pragma once

#include "FaxServerAddress.h"
#include "SentFax.h"
#include "shell/Job.h"
#include "shell/JobWorker.h"
#include "shell/ScopedOverride.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <vector>

namespace velmora {

class Job;
class SentFaxes;

// The faxes this user sent and what became of them: the record of faxes sent from here
// (SentFaxes), kept up with what the servers say (HylaFaxSession), and the commands on a fax
// queued there. No widgets: the outbox window shows it, the program's windows hear its notices.
//
// It asks the servers on a worker of its own (the fax server's, never the office's), every few
// seconds while a fax sent from here is under way, or while someone watches (the window open):
// the window's thread only takes the answer. A fax that ends while the program runs is told once
// (ended()), by one instance of the program even with two running.
class FaxOutbox : public QObject {
    Q_OBJECT
public:
    explicit FaxOutbox(SentFaxes& record, QObject* parent = nullptr);
    ~FaxOutbox() override;

    // The program's outbox: the one a ScopedFaxOutbox installs, else one made on first use, on
    // the record in the user's data folder, that lives as long as the application object.
    static FaxOutbox& shared();

    SentFaxes& record() { return record_; }

    // The faxes, newest first: every fax of the record, with the last the servers said of it,
    // then, while watched, this user's jobs on those servers that were not sent from here (id
    // 0: they have no kept copy).
    const std::vector<SentFax>& faxes() const { return faxes_; }
    // Where the last poll could not ask a server: the server's problem in plain words; empty
    // when all answered.
    const QString& problem() const { return problem_; }
    // Whether a poll is under way.
    bool polling() const { return poll_ && !poll_->ended(); }

    // Someone watches the outbox (its window is open): the servers are asked also when no fax
    // of the record is under way, and the faxes sent otherwise are listed. `server`: one more
    // server to ask (the one last used).
    void setWatched(bool watched, const FaxServerAddress& server = FaxServerAddress::fallback());
    // How often the servers are asked (3 s unless told).
    void setInterval(std::chrono::milliseconds interval);
    // Asks the servers now (unless a poll is under way); the answer comes as changed().
    void refresh();

    // Commands on one fax queued on its server, each a job on the worker: its end comes as
    // commandDone, and a refresh follows.
    Job* cancel(const SentFax& fax);
    Job* hold(const SentFax& fax);
    Job* release(const SentFax& fax);
    // Sends the kept copy again to the same number, as a new fax of the record.
    Job* resend(const SentFax& fax);
    // Removes the fax from the record (and its kept copy); the server's job is not touched.
    Job* remove(const SentFax& fax);
    // Changes when a fax that waits is to be sent.
    Job* sendAt(const SentFax& fax, const QDateTime& at);

    // Whether a fax in `state` can be cancelled, held, released.
    static bool canCancel(const SentFax& fax);
    static bool canHold(const SentFax& fax);
    static bool canRelease(const SentFax& fax);

    // The worker the outbox asks the servers on.
    JobWorker& worker() { return worker_; }

signals:
    // faxes() or problem() changed.
    void changed();
    // A fax sent from here was sent, or failed, while the program ran.
    void ended(const SentFax& fax);
    // A server asks for a password the program does not have for the run (or refused it).
    void passwordNeeded(const FaxServerAddress& server, bool refused);
    // A command ended: empty `failure` when it did what it was to do.
    void commandDone(const QString& what, const QString& failure);

private:
    struct Answer;
    void poll();
    void take(const Answer& answer);
    Job* command(const SentFax& fax, const QString& what, std::function<void(SentFax&)> work);
    bool anyUnderWay() const;

    SentFaxes& record_;
    JobWorker worker_;
    QTimer timer_;
    QPointer<Job> poll_;
    bool watched_ = false;
    FaxServerAddress watchedServer_;
    std::vector<SentFax> faxes_;
    QString problem_;
    bool passwordAsked_ = false;
};

// Makes FaxOutbox::shared() answer `outbox` while the object lives (the program's own).
class ScopedFaxOutbox : public ScopedAtomicOverride<FaxOutbox> {
public:
    explicit ScopedFaxOutbox(FaxOutbox& outbox);
};

// One recipient faxed from here: the name on the cover and the number dialled.
struct RecentRecipient {
    QString name;
    QString number;
};

// The last `count` recipients faxed, newest first, each name and number once (numbers compared
// by their digits): from the faxes of the record (id > 0) among `faxes`.
std::vector<RecentRecipient> RecentRecipients(const std::vector<SentFax>& faxes, int count = 20);

// The fax's state in words, as the outbox shows it: "Waiting", "Dialing", "Sending page 2 of
// 5", "Sent", "Failed: No answer from remote, next try 14:05", "Cancelled", "Held", "To be sent
// 12/10/26 7:00", ...
QString FaxStateWords(const SentFax& fax);

}  // namespace velmora
