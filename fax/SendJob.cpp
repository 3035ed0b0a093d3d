#include "SendJob.h"

#include "FaxPacket.h"
#include "coversheet/OfficeJobs.h"

#include <memory>

namespace velmora {

Job* SendPacket(FaxPacket& packet, const FaxCall& call, QObject* receiver, SendDone done) {
    auto jobId = std::make_shared<QString>();
    return packet.postWithPdfs(
        receiver,
        [call, jobId, kinds = packet.pageKinds()](const QStringList& pdfs) {
            WithPacketPdf(pdfs,
                          [&](const QString& pdf) { *jobId = SendPdfAsFax(pdf, call, kinds); });
        },
        [jobId, done = std::move(done)](std::exception_ptr failure) { done(failure, *jobId); });
}

}  // namespace velmora
