#include "FaxOutbox.h"

#include "HylaFaxSession.h"
#include "SendJob.h"
#include "SentFaxes.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <map>
#include <set>

namespace velmora {
namespace {

using namespace std::chrono_literals;

QString OutboxWords(const char* text) {
    return QCoreApplication::translate("FaxOutbox", text);
}

QString ShortTime(const QDateTime& at) {
    const QDateTime local = at.toLocalTime();
    const QLocale locale;
    if (local.date() == QDate::currentDate())
        return locale.toString(local.time(), QLocale::ShortFormat);
    return locale.toString(local, QLocale::ShortFormat);
}

// The words HylaFAX gives a job removed by its sender.
bool KilledBySender(const QString& status) {
    return status.contains(QLatin1String("aborted by request"), Qt::CaseInsensitive);
}

// A fax as the server lists it, without a record.
SentFax FromServer(const ServerJob& job, const FaxServerAddress& server) {
    SentFax fax;
    fax.server = server.text();
    fax.user = server.user;
    fax.jobId = job.jobId;
    fax.groupId = job.groupId;
    fax.recipient = job.receiver;
    fax.company = job.company;
    fax.number = job.number;
    fax.submitted = job.sendTime;
    return fax;
}

// What the server's line says of a fax that is in the record or not: its state and counts.
void TakeState(SentFax& fax, const ServerJob& job) {
    fax.state = job.state;
    if (fax.state == FaxJobState::Failed && KilledBySender(job.status))
        fax.state = FaxJobState::Cancelled;
    fax.status = job.status;
    fax.pagesSent = job.pagesSent;
    if (job.pagesTotal > 0) fax.pagesTotal = job.pagesTotal;
    fax.tries = job.tries;
    fax.dials = job.dials;
    fax.nextTry = fax.state == FaxJobState::Sleeping ? job.sendTime : QDateTime();
    if (fax.state == FaxJobState::Pending && job.sendTime.isValid()) fax.sendAt = job.sendTime;
}

// The field `name` of a queue file's "name:value" lines.
QString QueueField(const QByteArray& queueFile, const char* name) {
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : queueFile.split('\n'))
        if (line.startsWith(key)) return QString::fromUtf8(line.mid(key.size())).trimmed();
    return {};
}

}  // namespace

// What one poll found: the faxes as they are now, those whose end is to be told, and what
// could not be asked.
struct FaxOutbox::Answer {
    std::vector<SentFax> faxes;
    std::vector<SentFax> ended;
    QString problem;
    std::optional<std::pair<FaxServerAddress, bool>> password;
};

FaxOutbox::FaxOutbox(SentFaxes& record, QObject* parent)
    : QObject(parent), record_(record), worker_(QStringLiteral("fax server jobs")) {
    timer_.setInterval(3s);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (watched_ || anyUnderWay()) refresh();
    });
    timer_.start();
    // What the record holds is shown at once, before any server answers.
    refresh();
}

FaxOutbox::~FaxOutbox() {
    worker_.abortWork();
}

namespace {

std::atomic<FaxOutbox*>& installed() {
    static std::atomic<FaxOutbox*> outbox{nullptr};
    return outbox;
}

// The record and outbox made on first use, ended with the application object.
class FallbackOutbox : public QObject {
public:
    FallbackOutbox() : outbox(record) {}
    SentFaxes record;
    FaxOutbox outbox;
};

}  // namespace

FaxOutbox& FaxOutbox::shared() {
    if (FaxOutbox* outbox = installed()) return *outbox;
    static QPointer<FallbackOutbox> fallback;
    if (!fallback) {
        fallback = new FallbackOutbox;
        fallback->setParent(QCoreApplication::instance());
    }
    return fallback->outbox;
}

ScopedFaxOutbox::ScopedFaxOutbox(FaxOutbox& outbox) : ScopedAtomicOverride(installed(), &outbox) {}

void FaxOutbox::setWatched(bool watched, const FaxServerAddress& server) {
    watched_ = watched;
    watchedServer_ = server;
    passwordAsked_ = false;
    if (watched) refresh();
}

void FaxOutbox::setInterval(std::chrono::milliseconds interval) {
    timer_.setInterval(interval);
}

bool FaxOutbox::anyUnderWay() const {
    return std::any_of(faxes_.begin(), faxes_.end(),
                       [](const SentFax& fax) { return fax.id > 0 && !FaxJobEnded(fax.state); });
}

void FaxOutbox::refresh() {
    if (poll_ && !poll_->ended()) return;
    poll();
}

void FaxOutbox::poll() {
    auto answer = std::make_shared<Answer>();
    const bool watched = watched_;
    const FaxServerAddress extra = watchedServer_;
    poll_ = worker_.post(
        this,
        [this, answer, watched, extra] {
            std::vector<SentFax> recorded = record_.all();
            // The servers to ask: those of faxes under way; all of the record's, and the one
            // last used, while watched.
            std::map<QString, FaxServerAddress> servers;
            for (const SentFax& fax : recorded) {
                if (!watched && FaxJobEnded(fax.state)) continue;
                if (const auto address = FaxServerAddress::parse(fax.server, fax.user))
                    servers.emplace(address->user + '@' + address->text(), *address);
            }
            if (watched) servers.emplace(extra.user + '@' + extra.text(), extra);

            QStringList problems;
            std::set<std::pair<QString, QString>> seen;  // (server, job) of the record
            std::vector<SentFax> others;
            for (const auto& [key, server] : servers) {
                ThrowIfJobCancelled();
                std::vector<ServerJob> jobs;
                std::optional<HylaFaxSession> session;
                try {
                    session.emplace(server);
                    jobs = session->jobs();
                } catch (const FaxServerPasswordNeeded& needed) {
                    problems << QString::fromStdString(needed.what());
                    answer->password = {needed.address(), needed.refused()};
                    continue;
                } catch (const Failure& failure) {
                    problems << QString::fromStdString(failure.what());
                    continue;
                }
                std::map<QString, const ServerJob*> byId;
                for (const ServerJob& job : jobs) byId[job.jobId] = &job;
                for (SentFax& fax : recorded) {
                    if (fax.server != server.text() || fax.user != server.user) continue;
                    const auto listed = byId.find(fax.jobId);
                    if (listed == byId.end()) continue;
                    seen.emplace(fax.server, fax.jobId);
                    if (FaxJobEnded(fax.state)) continue;
                    const SentFax before = fax;
                    TakeState(fax, *listed->second);
                    if (FaxJobEnded(fax.state)) {
                        fax.finished = QDateTime::currentDateTimeUtc();
                        // The receiving machine's id, from the server's queue file, where the
                        // server lets its owner read it.
                        if (fax.state == FaxJobState::Done) try {
                                fax.remoteStation = QueueField(
                                    session->retrieve(QStringLiteral("doneq/q") + fax.jobId),
                                    "csi");
                            } catch (const Failure&) {
                            }
                    }
                    if (fax.state != before.state || fax.status != before.status ||
                        fax.pagesSent != before.pagesSent || fax.tries != before.tries ||
                        fax.dials != before.dials || fax.nextTry != before.nextTry) {
                        record_.updateState(fax);
                        if (FaxJobEnded(fax.state) && fax.state != FaxJobState::Cancelled &&
                            record_.markNoticed(fax.id)) {
                            fax.noticed = true;
                            answer->ended.push_back(fax);
                        }
                    }
                }
                if (watched)
                    for (const ServerJob& job : jobs) {
                        const bool ours =
                            std::any_of(recorded.begin(), recorded.end(), [&](const SentFax& fax) {
                                return fax.jobId == job.jobId && fax.server == server.text();
                            });
                        if (ours) continue;
                        SentFax other = FromServer(job, server);
                        TakeState(other, job);
                        others.push_back(other);
                    }
            }
            answer->faxes = std::move(recorded);
            std::sort(others.begin(), others.end(), [](const SentFax& a, const SentFax& b) {
                return a.jobId.toLongLong() > b.jobId.toLongLong();
            });
            answer->faxes.insert(answer->faxes.end(), others.begin(), others.end());
            problems.removeDuplicates();
            answer->problem = problems.join('\n');
        },
        [this, answer](std::exception_ptr failure) {
            if (failure) {
                try {
                    std::rethrow_exception(failure);
                } catch (const JobGivenUp&) {
                    return;
                } catch (const std::exception& error) {
                    // The record could not be read: the faxes stay as last shown.
                    answer->faxes = faxes_;
                    answer->problem = QString::fromStdString(error.what());
                }
            }
            take(*answer);
        });
}

void FaxOutbox::take(const Answer& answer) {
    faxes_ = answer.faxes;
    problem_ = answer.problem;
    emit changed();
    for (const SentFax& fax : answer.ended) emit ended(fax);
    if (answer.password && !passwordAsked_) {
        passwordAsked_ = true;
        emit passwordNeeded(answer.password->first, answer.password->second);
    }
}

Job* FaxOutbox::command(const SentFax& fax, const QString& what,
                        std::function<void(SentFax&)> work) {
    auto changed = std::make_shared<SentFax>(fax);
    return worker_.post(
        this, [changed, work = std::move(work)] { work(*changed); },
        [this, what](std::exception_ptr failure) {
            QString words;
            if (failure) try {
                    std::rethrow_exception(failure);
                } catch (const JobGivenUp&) {
                    words = OutboxWords("Stopped.");
                } catch (const std::exception& error) {
                    words = QString::fromStdString(error.what());
                }
            emit commandDone(what, words);
            passwordAsked_ = false;
            refresh();
        });
}

namespace {

HylaFaxSession OpenFor(const SentFax& fax) {
    const auto address = FaxServerAddress::parse(fax.server, fax.user);
    if (!address)
        throw Failure(OutboxWords("The fax's server \"%1\" is not a server name.").arg(fax.server));
    return HylaFaxSession(*address);
}

}  // namespace

bool FaxOutbox::canCancel(const SentFax& fax) {
    return !fax.jobId.isEmpty() && !FaxJobEnded(fax.state);
}

bool FaxOutbox::canHold(const SentFax& fax) {
    return canCancel(fax) && fax.state != FaxJobState::Suspended &&
           fax.state != FaxJobState::Sending;
}

bool FaxOutbox::canRelease(const SentFax& fax) {
    return fax.state == FaxJobState::Suspended;
}

Job* FaxOutbox::cancel(const SentFax& fax) {
    return command(fax, OutboxWords("Cancel"), [this](SentFax& fax) {
        OpenFor(fax).kill(fax.jobId);
        if (fax.id > 0) {
            fax.state = FaxJobState::Cancelled;
            fax.finished = QDateTime::currentDateTimeUtc();
            record_.updateState(fax);
            record_.markNoticed(fax.id);  // nothing to tell: the user did it
        }
    });
}

Job* FaxOutbox::hold(const SentFax& fax) {
    return command(fax, OutboxWords("Hold"), [](SentFax& fax) { OpenFor(fax).suspend(fax.jobId); });
}

Job* FaxOutbox::release(const SentFax& fax) {
    return command(fax, OutboxWords("Release"),
                   [](SentFax& fax) { OpenFor(fax).release(fax.jobId); });
}

Job* FaxOutbox::sendAt(const SentFax& fax, const QDateTime& at) {
    return command(fax, OutboxWords("Send later"), [at](SentFax& fax) {
        OpenFor(fax).setParameter(
            fax.jobId, QStringLiteral("SENDTIME"),
            at.isValid() ? HylaFaxSession::sendTimeText(at) : QStringLiteral("NOW"));
    });
}

Job* FaxOutbox::resend(const SentFax& fax) {
    return command(fax, OutboxWords("Resend"), [this](SentFax& fax) {
        if (fax.id <= 0 || fax.document.isEmpty())
            throw Failure(
                OutboxWords("This fax was not sent from here: there is no copy to send again."));
        HylaFaxSession session = OpenFor(fax);
        FaxSubmission submission;
        submission.number = fax.number;
        submission.resolution = fax.resolution;
        submission.recipient = fax.recipient;
        submission.company = fax.company;
        const SubmittedJob job = SendPdfAsFax(session, fax.document, submission);
        SentFax again = fax;
        again.id = 0;
        again.jobId = job.jobId;
        again.groupId = job.groupId;
        again.submitted = QDateTime::currentDateTimeUtc();
        again.sendAt = {};
        again.state = FaxJobState::Unknown;
        again.status.clear();
        again.pagesSent = again.tries = again.dials = 0;
        again.nextTry = again.finished = {};
        again.remoteStation.clear();
        again.noticed = false;
        record_.add(again, fax.document);
    });
}

Job* FaxOutbox::remove(const SentFax& fax) {
    return command(fax, OutboxWords("Remove from List"), [this](SentFax& fax) {
        if (fax.id > 0) record_.remove(fax.id);
    });
}

std::vector<RecentRecipient> RecentRecipients(const std::vector<SentFax>& faxes, int count) {
    std::vector<RecentRecipient> recent;
    std::set<std::pair<QString, QString>> seen;
    static const QRegularExpression notDigit(QStringLiteral("\\D"));
    for (const SentFax& fax : faxes) {
        if (fax.id <= 0 || fax.number.isEmpty()) continue;
        QString digits = fax.number;
        digits.remove(notDigit);
        if (!seen.emplace(fax.recipient.trimmed().toCaseFolded(), digits).second) continue;
        recent.push_back({fax.recipient.trimmed(), fax.number});
        if (int(recent.size()) == count) break;
    }
    return recent;
}

QString FaxStateWords(const SentFax& fax) {
    switch (fax.state) {
        case FaxJobState::Unknown:
            return OutboxWords("Handed over");
        case FaxJobState::Suspended:
            return OutboxWords("Held");
        case FaxJobState::Pending:
            return fax.sendAt.isValid() ? OutboxWords("To be sent %1").arg(ShortTime(fax.sendAt))
                                        : OutboxWords("Waiting");
        case FaxJobState::Sleeping:
            if (!fax.status.isEmpty())
                return fax.nextTry.isValid()
                           ? OutboxWords("Failed: %1, next try %2")
                                 .arg(fax.status, ShortTime(fax.nextTry))
                           : OutboxWords("Failed: %1, to be tried again").arg(fax.status);
            return fax.nextTry.isValid()
                       ? OutboxWords("Waiting to try again at %1").arg(ShortTime(fax.nextTry))
                       : OutboxWords("Waiting to try again");
        case FaxJobState::Blocked:
            return OutboxWords("Waiting for another fax to the same number");
        case FaxJobState::Waiting:
            return OutboxWords("Waiting");
        case FaxJobState::Sending:
            if (fax.pagesSent <= 0 && fax.pagesTotal > 0 && fax.dials >= 0 && fax.tries >= 0 &&
                fax.pagesSent == 0)
                return OutboxWords("Dialing");
            return OutboxWords("Sending page %1 of %2")
                .arg(std::min(fax.pagesSent + 1, std::max(fax.pagesTotal, 1)))
                .arg(fax.pagesTotal);
        case FaxJobState::Done:
            return OutboxWords("Sent");
        case FaxJobState::Failed:
            return fax.status.isEmpty() ? OutboxWords("Failed")
                                        : OutboxWords("Failed: %1").arg(fax.status);
        case FaxJobState::Cancelled:
            return OutboxWords("Cancelled");
        case FaxJobState::Gone:
            return OutboxWords("No longer on the server");
    }
    return {};
}

}  // namespace velmora
