#include "PageRender.h"

#include "pdf/PdfDocument.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace velmora {

double PageDrawingDpi(QSizeF points, double dpi) {
    const double width = points.width() / 72.0 * dpi;
    const double height = points.height() / 72.0 * dpi;
    if (!(width > 0 && height > 0)) return dpi;
    const double scale = std::min({1.0, std::sqrt(double(kMaxPagePixels) / (width * height)),
                                   kMaxPageSide / std::max(width, height)});
    return dpi * scale;
}

bool DrawingGivenUp(const QVariant&) {
    return JobCancelled();
}

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
    const double drawn = PageDrawingDpi(page->pageSizeF(), dpi);
    QImage picture = page->renderToImage(drawn, drawn, -1, -1, -1, -1, Poppler::Page::Rotate0,
                                         nullptr, nullptr, DrawingGivenUp, QVariant());
    ThrowIfJobCancelled();
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
