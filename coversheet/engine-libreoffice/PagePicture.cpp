#include "PagePicture.h"

#include "coversheet/PageSnapshot.h"
#include "coversheet/WordConnection.h"

#include <poppler-qt6.h>
#include <cmath>
#include <cstring>
#include <future>

namespace velmora::office {
namespace {

WordError NotRendered(const QString& pdfFile) {
    return WordError(QStringLiteral("The first page of '%1' could not be rendered.").arg(pdfFile));
}

std::unique_ptr<Poppler::Document> OpenPdf(const QString& pdfFile) {
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdfFile);
    if (!document || document->isLocked() || document->numPages() < 1)
        throw WordError(
            QStringLiteral("The page picture could not be read from '%1'.").arg(pdfFile));
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setRenderHint(Poppler::Document::TextHinting);
    document->setPaperColor(Qt::white);
    return document;
}

std::unique_ptr<Poppler::Page> FirstPage(const Poppler::Document& document,
                                         const QString& pdfFile) {
    std::unique_ptr<Poppler::Page> page = document.page(0);
    if (!page) throw NotRendered(pdfFile);
    return page;
}

// Rows [top, top + height) of the page, `width` pixels wide.
QImage RenderBand(const Poppler::Page& page, const QString& pdfFile, int top, int width,
                  int height) {
    QImage band = page.renderToImage(kSnapshotRenderDpi, kSnapshotRenderDpi, 0, top, width, height);
    if (band.isNull() || band.width() != width || band.height() != height)
        throw NotRendered(pdfFile);
    return band.format() == QImage::Format_RGB32 ? band
                                                 : band.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QImage RenderFirstPage(const QString& pdfFile) {
    const std::unique_ptr<Poppler::Document> document = OpenPdf(pdfFile);
    const std::unique_ptr<Poppler::Page> page = FirstPage(*document, pdfFile);
    // The page in pixels at the render resolution, as the renderer sizes a whole page.
    const QSizeF points = page->pageSizeF();
    const int width = int(std::ceil(points.width() * kSnapshotRenderDpi / 72.0 - 1e-6));
    const int height = int(std::ceil(points.height() * kSnapshotRenderDpi / 72.0 - 1e-6));
    if (width < 1 || height < 2) throw NotRendered(pdfFile);

    // The lower half is rendered on a second thread, from a document of its own (a document
    // serves one thread at a time), while this one renders the upper: on two cores the page
    // takes about half the time. The halves are the rows a whole-page rendering gives.
    const int upperRows = height / 2;
    auto lower = std::async(std::launch::async, [&] {
        const std::unique_ptr<Poppler::Document> own = OpenPdf(pdfFile);
        return RenderBand(*FirstPage(*own, pdfFile), pdfFile, upperRows, width, height - upperRows);
    });
    const QImage upper = RenderBand(*page, pdfFile, 0, width, upperRows);
    const QImage lowerBand = lower.get();

    QImage picture(width, height, QImage::Format_RGB32);
    const size_t rowBytes = size_t(width) * 4;
    for (int y = 0; y < upperRows; ++y)
        std::memcpy(picture.scanLine(y), upper.constScanLine(y), rowBytes);
    for (int y = upperRows; y < height; ++y)
        std::memcpy(picture.scanLine(y), lowerBand.constScanLine(y - upperRows), rowBytes);
    picture.setDotsPerMeterX(kSnapshotDotsPerMeter);
    picture.setDotsPerMeterY(kSnapshotDotsPerMeter);
    return picture;
}

}  // namespace velmora::office
