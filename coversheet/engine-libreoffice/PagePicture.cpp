#include "PagePicture.h"

#include "coversheet/PageSnapshot.h"
#include "coversheet/WordConnection.h"

#include <poppler-qt6.h>

namespace velmora::office {

QImage RenderFirstPage(const QString& pdfFile) {
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdfFile);
    if (!document || document->isLocked() || document->numPages() < 1)
        throw WordError(
            QStringLiteral("The page picture could not be read from '%1'.").arg(pdfFile));
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setRenderHint(Poppler::Document::TextHinting);
    document->setPaperColor(Qt::white);

    const std::unique_ptr<Poppler::Page> page = document->page(0);
    QImage picture = page ? page->renderToImage(kSnapshotRenderDpi, kSnapshotRenderDpi) : QImage();
    if (picture.isNull())
        throw WordError(
            QStringLiteral("The first page of '%1' could not be rendered.").arg(pdfFile));
    picture = picture.convertToFormat(QImage::Format_RGB32);
    picture.setDotsPerMeterX(kSnapshotDotsPerMeter);
    picture.setDotsPerMeterY(kSnapshotDotsPerMeter);
    return picture;
}

}  // namespace velmora::office
