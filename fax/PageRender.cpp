#include "PageRender.h"

#include "pdf/PdfDocument.h"
#include "shell/Failure.h"

#include <memory>

namespace velmora {

QImage RenderPdfPage(const QString& pdf, int index, int dpi, int pictureDpi, QString* text) {
    const auto failed = [&] {
        return Failure(
            QStringLiteral("Page %1 of '%2' could not be drawn.").arg(index + 1).arg(pdf));
    };
    const std::unique_ptr<Poppler::Document> document = LoadPdf(pdf);
    document->setRenderHint(Poppler::Document::Antialiasing);
    document->setRenderHint(Poppler::Document::TextAntialiasing);
    document->setPaperColor(Qt::white);
    document->setRenderBackend(Poppler::Document::QPainterBackend);
    const std::unique_ptr<Poppler::Page> page = document->page(index);
    if (!page) throw failed();
    QImage picture = page->renderToImage(dpi, dpi);
    if (picture.isNull()) throw failed();
    // Painted on opaque paper: the same pixels serve as RGB32.
    if (picture.format() == QImage::Format_ARGB32)
        picture.reinterpretAsFormat(QImage::Format_RGB32);
    else if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    const int dotsPerMeter = int(pictureDpi / 0.0254 + 0.5);
    picture.setDotsPerMeterX(dotsPerMeter);
    picture.setDotsPerMeterY(dotsPerMeter);
    if (text) *text = page->text(QRectF());
    return picture;
}

QString PageTextOf(const QString& pdf, int index) {
    std::unique_ptr<Poppler::Document> document;
    try {
        document = LoadPdf(pdf);
    } catch (const Failure&) {
        return {};
    }
    const std::unique_ptr<Poppler::Page> page = document->page(index);
    return page ? page->text(QRectF()) : QString();
}

}  // namespace velmora
