#include "SaveJob.h"

#include "FaxPacket.h"
#include "FaxTiff.h"
#include "PdfFiles.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"

#include <QFile>

#include <QPointer>

namespace velmora {
namespace {

// Copies `source` byte for byte over `target`, written whole.
void CopyWhole(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read '%1': %2").arg(source, in.errorString()));
    // A document is never empty: an empty file is one that was not saved completely.
    if (in.size() <= 0)
        throw Failure(QStringLiteral("Cannot copy '%1': the document is empty.").arg(source));
    AtomicFile out(target);
    for (;;) {
        const QByteArray chunk = in.read(64 * 1024);
        if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
            throw Failure(QStringLiteral("Cannot read '%1': %2").arg(source, in.errorString()));
        if (chunk.isEmpty()) break;
        out.write(chunk);
    }
    out.commit();
}

}  // namespace

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
                    CopyWhole(document, order.target);
                else
                    ExportDocument(document, order.target, order.format);
            },
            std::move(done));
    }
    const FaxPacket::Parts parts = packet.parts();
    return OfficeJobs::shared().post(
        receiver,
        [parts, order] {
            parts.coverWork();
            if (order.format == DocumentFormat::FaxTiff)
                WithPacketPdf(parts.pdfs, [&](const QString& pdf) {
                    WriteFaxTiff(pdf, order.target, order.resolution);
                });
            else
                JoinPdfs(parts.pdfs, order.target);
        },
        [parts, done = std::move(done),
         to = QPointer<FaxPacket>(&packet)](std::exception_ptr failure) {
            if (to && !failure) to->partsUsed(parts);
            done(failure);
        });
}

}  // namespace velmora
