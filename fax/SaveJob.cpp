#include "SaveJob.h"

#include "FaxPacket.h"
#include "FaxTiff.h"
#include "PdfFiles.h"
#include "shell/AtomicFile.h"

namespace velmora {
bool SaveHoldsPacket(DocumentFormat format, const FaxPacket& packet) {
    return (format == DocumentFormat::Pdf && packet.count() > 0) ||
           format == DocumentFormat::FaxTiff;
}

Job* SavePacket(FaxPacket& packet, const SaveOrder& order, QObject* receiver,
                OfficeJobs::Done done) {
    if (!SaveHoldsPacket(order.format, packet)) {
        return OfficeJobs::shared().post(
            receiver,
            [document = packet.coverDocument(), order] {
                if (order.format == DocumentFormat::Word97)
                    AtomicFile::Copy(document, order.target);
                else
                    ExportDocument(document, order.target, order.format);
            },
            std::move(done));
    }
    return packet.postWithPdfs(
        receiver,
        [order, kinds = packet.pageKinds()](const QStringList& pdfs) {
            if (order.format == DocumentFormat::FaxTiff)
                WithPacketPdf(pdfs, [&](const QString& pdf) {
                    WriteFaxTiff(pdf, order.target, order.resolution, kinds);
                });
            else
                JoinPdfs(pdfs, order.target);
        },
        std::move(done));
}

}  // namespace velmora
