#include "SendJob.h"

#include "FaxPacket.h"
#include "coversheet/OfficeJobs.h"

#include <QPointer>
#include <memory>

namespace velmora {

Job* SendPacket(FaxPacket& packet, const FaxCall& call, QObject* receiver, SendDone done) {
    const FaxPacket::Parts parts = packet.parts();
    auto jobId = std::make_shared<QString>();
    return OfficeJobs::shared().post(
        receiver,
        [parts, call, jobId] {
            parts.coverWork();
            WithPacketPdf(parts.pdfs,
                          [&](const QString& pdf) { *jobId = SendPdfAsFax(pdf, call); });
        },
        [parts, jobId, done = std::move(done),
         to = QPointer<FaxPacket>(&packet)](std::exception_ptr failure) {
            if (to && !failure) to->partsUsed(parts);
            done(failure, *jobId);
        });
}

}  // namespace velmora
