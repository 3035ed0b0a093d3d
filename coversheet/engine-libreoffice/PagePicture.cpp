#include "PagePicture.h"

#include "coversheet/office/SnapshotResolution.h"
#include "coversheet/office/WordConnection.h"
#include "pdf/PdfDocument.h"

namespace velmora::office {
namespace {

WordError NotRendered(const QString& pdfFile) {
    return WordError(QStringLiteral("The first page of '%1' could not be rendered.").arg(pdfFile));
}

std::unique_ptr<Poppler::Document> OpenPdf(const QString& pdfFile) {
    std::unique_ptr<Poppler::Document> document;
    try {
        document = LoadPdf(pdfFile);
    } catch (const Failure& failure) {
        throw WordError(QString::fromUtf8(failure.what()));
    }
    if (document->numPages() < 1)
        throw WordError(
            QStringLiteral("The page picture could not be read from '%1'.").arg(pdfFile));
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setRenderHint(Poppler::Document::TextHinting);
    document->setPaperColor(Qt::white);
    // Qt's own painter draws a page in about half the time Poppler's Splash takes (the
    // clipboard of Casual: 45 against 95 ms), and looks the same.
    document->setRenderBackend(Poppler::Document::QPainterBackend);
    return document;
}

std::unique_ptr<Poppler::Page> FirstPage(const Poppler::Document& document,
                                         const QString& pdfFile) {
    std::unique_ptr<Poppler::Page> page = document.page(0);
    if (!page) throw NotRendered(pdfFile);
    return page;
}

}  // namespace

QImage RenderFirstPage(const QString& pdfFile, QString* text) {
    const std::unique_ptr<Poppler::Document> document = OpenPdf(pdfFile);
    const std::unique_ptr<Poppler::Page> page = FirstPage(*document, pdfFile);
    // Once, at the resolution the preview keeps, into the format it is drawn from. (Two
    // halves on two threads were no faster on a busy two-core machine and took more memory.)
    QImage picture = page->renderToImage(kSnapshotRenderDpi, kSnapshotRenderDpi);
    if (picture.isNull()) throw NotRendered(pdfFile);
    // The page is painted on opaque paper, so its alpha is full throughout: the same pixels
    // can be taken as RGB32 without a pass over them.
    if (picture.format() == QImage::Format_ARGB32)
        picture.reinterpretAsFormat(QImage::Format_RGB32);
    else if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    picture.setDotsPerMeterX(kSnapshotDotsPerMeter);
    picture.setDotsPerMeterY(kSnapshotDotsPerMeter);
    if (text) *text = page->text(QRectF());
    return picture;
}

}  // namespace velmora::office
