#include "SaveJob.h"

#include "FaxPacket.h"
#include "FaxTiff.h"
#include "PdfFiles.h"
#include "shell/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <memory>

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

QString RecipientPdfName(const QString& folder, const CoverRecipient& recipient) {
    QString stem;
    for (const QChar c : (recipient.name.trimmed().isEmpty() ? recipient.number : recipient.name))
        stem += (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20) ? QChar('-')
                                                                                        : c;
    // No hidden file, and nothing a shell or another program takes for an option.
    while (stem.startsWith(QLatin1Char('.')) || stem.startsWith(QLatin1Char('-')))
        stem.remove(0, 1);
    stem = stem.trimmed().left(120);
    if (stem.isEmpty()) stem = QStringLiteral("Recipient");
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString name =
            n == 1 ? stem + QStringLiteral(".pdf") : QStringLiteral("%1 (%2).pdf").arg(stem).arg(n);
        const QFileInfo there(dir.filePath(name));
        if (!there.exists() && !there.isSymLink()) return there.filePath();
    }
}

Job* SavePacketForEach(FaxPacket& packet, const std::vector<CoverRecipient>& recipients,
                       const QString& folder, QObject* receiver, SavedForEach done) {
    auto written = std::make_shared<QStringList>();
    return packet.postForEach(
        recipients, receiver,
        [recipients, folder, written](int index, const QStringList& pdfs,
                                      const std::vector<PageKind>&) {
            const QString target = RecipientPdfName(folder, recipients[size_t(index)]);
            JoinPdfs(pdfs, target);
            *written << target;
        },
        [written, done = std::move(done)](std::exception_ptr failure) { done(failure, *written); });
}

}  // namespace velmora
