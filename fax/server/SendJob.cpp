#include "SendJob.h"

#include "SentFaxes.h"
#include "coversheet/OfficeJobs.h"
#include "fax/FaxPacket.h"
#include "fax/FaxSending.h"
#include "fax/FaxTiff.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/TempFolder.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <memory>

namespace velmora {

SubmittedJob SendPdfAsFax(HylaFaxSession& session, const QString& pdf, const FaxSubmission& fax,
                          const std::vector<PageKind>& kinds) {
    if (const QString problem = FaxNumberProblem(fax.number); !problem.isEmpty())
        throw Failure(problem);
    // Noted whatever it holds (the TIFF replaces it whole), so that a run that ends while the
    // fax is on its way leaves nothing after the next start; removed once the fax is handed on.
    NewFile tiff(TempFolder(), QStringLiteral("velmora-fax"), QStringLiteral(".tif"));
    tiff.close();
    WriteFaxTiff(pdf, tiff.path(), fax.resolution, kinds);
    FaxSubmission made = fax;
    made.tiff = tiff.path();
    return session.submit(made);
}

QString PacketKey(const FaxPacket& packet) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(packet.coverWords().toUtf8());
    for (const Attachment& attached : packet.documents().attachments()) {
        const QFileInfo source(attached.source);
        hash.addData(QStringLiteral("\n%1\n%2\n%3\n%4")
                         .arg(source.absoluteFilePath())
                         .arg(source.size())
                         .arg(source.lastModified().toMSecsSinceEpoch())
                         .arg(attached.pages)
                         .toUtf8());
    }
    return QString::fromLatin1(hash.result().toHex());
}

Job* SendPacket(FaxPacket& packet, const FaxCall& call, SentFaxes& record, QObject* receiver,
                SendDone done) {
    auto sent = std::make_shared<SentFax>();
    sent->server = call.server.text();
    sent->user = call.server.user;
    sent->recipient = call.recipient.isEmpty() ? packet.recipientName() : call.recipient;
    sent->number = call.number.trimmed();
    sent->sendAt = call.sendAt;
    sent->resolution = call.resolution;
    sent->pagesTotal = packet.pageTotal();
    sent->state = FaxJobState::Unknown;
    sent->packetKey = PacketKey(packet);
    auto recordProblem = std::make_shared<QString>();
    return packet.postWithPdfs(
        receiver,
        [call, sent, recordProblem, &record, kinds = packet.pageKinds()](const QStringList& pdfs) {
            WithPacketPdf(pdfs, [&](const QString& pdf) {
                HylaFaxSession session(call.server);
                FaxSubmission submission;
                submission.number = sent->number;
                submission.resolution = call.resolution;
                submission.recipient = sent->recipient;
                submission.sendAt = call.sendAt;
                const SubmittedJob job = SendPdfAsFax(session, pdf, submission, kinds);
                sent->jobId = job.jobId;
                sent->groupId = job.groupId;
                sent->submitted = QDateTime::currentDateTimeUtc();
                // Queued: from here on the fax is the server's. It is recorded even if the
                // job is given up meanwhile, so that the outbox shows (and can cancel) it.
                try {
                    sent->id = record.add(*sent, pdf);
                } catch (const Failure& failure) {
                    *recordProblem = QString::fromStdString(failure.what());
                }
            });
        },
        [sent, recordProblem, done = std::move(done)](std::exception_ptr failure) {
            done(failure, *sent, *recordProblem);
        });
}

Job* SendPacketToEach(FaxPacket& packet, const std::vector<CoverRecipient>& recipients,
                      const FaxCall& call, SentFaxes& record, QObject* receiver, SentToEach done) {
    struct Sent {
        std::vector<SentFax> faxes;
        QStringList recordProblems;
    };
    auto sent = std::make_shared<Sent>();
    SentFax common;
    common.server = call.server.text();
    common.user = call.server.user;
    common.sendAt = call.sendAt;
    common.resolution = call.resolution;
    common.state = FaxJobState::Unknown;
    common.packetKey = PacketKey(packet);
    return OfficeJobs::shared().post(
        receiver,
        [covers = packet.recipientCovers(), recipients, call, common, sent, &record] {
            // A session each, as a single fax has: a session kept open from one job to the
            // next makes the server build the next job from the one it is sending, and it then
            // waits for that send to end (its answer took more than 15 s under load). The faxes
            // are one group in the record, the first one's.
            QString group;
            covers.each(recipients, [&](int index, const QStringList& pdfs,
                                        const std::vector<PageKind>& kinds) {
                SentFax fax = common;
                fax.recipient = recipients[size_t(index)].name;
                const CoverRecipient& recipient = recipients[size_t(index)];
                fax.number =
                    (recipient.dialled.isEmpty() ? recipient.number : recipient.dialled).trimmed();
                fax.pagesTotal = int(kinds.size());
                WithPacketPdf(pdfs, [&](const QString& pdf) {
                    FaxSubmission submission;
                    submission.number = fax.number;
                    submission.resolution = call.resolution;
                    submission.recipient = fax.recipient;
                    submission.sendAt = call.sendAt;
                    HylaFaxSession session(call.server);
                    const SubmittedJob job = SendPdfAsFax(session, pdf, submission, kinds);
                    fax.jobId = job.jobId;
                    if (group.isEmpty()) group = job.groupId;
                    fax.groupId = group;
                    fax.submitted = QDateTime::currentDateTimeUtc();
                    try {
                        fax.id = record.add(fax, pdf);
                    } catch (const Failure& failure) {
                        sent->recordProblems << QString::fromStdString(failure.what());
                    }
                });
                sent->faxes.push_back(std::move(fax));
            });
        },
        [sent, done = std::move(done)](std::exception_ptr failure) {
            done(failure, sent->faxes, sent->recordProblems.join(QLatin1Char('\n')));
        });
}

}  // namespace velmora
