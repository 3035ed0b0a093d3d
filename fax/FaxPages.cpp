#include "FaxPages.h"

#include "shell/Failure.h"

#include <poppler-qt6.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {
namespace {

int DotsPerMeter(int perInch) {
    return int(perInch / 0.0254 + 0.5);
}

// The grey of every pixel of an opaque picture, in a frame one pixel wide of paper, so that
// every pixel has four neighbours.
struct Greys {
    int width, height;
    std::vector<uint8_t> values;
    uint8_t* row(int y) { return values.data() + size_t(y + 1) * (width + 2) + 1; }
};

Greys GreysOf(const QImage& picture) {
    Greys greys{picture.width(), picture.height(), {}};
    greys.values.assign(size_t(greys.width + 2) * (greys.height + 2), 0xff);
    for (int y = 0; y < greys.height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        uint8_t* out = greys.row(y);
        for (int x = 0; x < greys.width; ++x) {
            const QRgb p = in[x];
            // Luma (ITU-R BT.601 weights), 0 black to 255 white.
            out[x] = uint8_t((qRed(p) * 77 + qGreen(p) * 150 + qBlue(p) * 29) >> 8);
        }
    }
    return greys;
}

// Thresholds `picture` into `mono` (Format_Mono, at least as wide), its left edge at `left`.
void ThresholdInto(const QImage& picture, QImage& mono, int left) {
    const QImage rgb =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
            ? picture
            : picture.convertToFormat(QImage::Format_RGB32);
    Greys greys = GreysOf(rgb);
    const int stride = greys.width + 2;
    const int height = std::min(greys.height, mono.height());
    const int width = std::min(greys.width, mono.width() - left);
    for (int y = 0; y < height; ++y) {
        const uint8_t* grey = greys.row(y);
        uchar* out = mono.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const uint8_t g = grey[x];
            const bool black =
                g < kFaxBlackBelow ||
                (g < kFaxPaperFrom &&
                 (grey[x - 1] >= kFaxPaperFrom || grey[x + 1] >= kFaxPaperFrom ||
                  grey[x - stride] >= kFaxPaperFrom || grey[x + stride] >= kFaxPaperFrom));
            if (black) {
                const int at = left + x;
                out[at >> 3] |= uchar(0x80 >> (at & 7));
            }
        }
    }
}

// A white Format_Mono page: colour 0 white, 1 black.
QImage BlankMono(int width, int height) {
    QImage mono(width, height, QImage::Format_Mono);
    if (mono.isNull()) return mono;
    mono.setColorTable({qRgb(0xff, 0xff, 0xff), qRgb(0, 0, 0)});
    mono.fill(0);
    return mono;
}

}  // namespace

QImage FaxThreshold(const QImage& page) {
    QImage mono = BlankMono(page.width(), page.height());
    if (mono.isNull()) return mono;
    ThresholdInto(page, mono, 0);
    mono.setDotsPerMeterX(page.dotsPerMeterX());
    mono.setDotsPerMeterY(page.dotsPerMeterY());
    return mono;
}

FaxPages::FaxPages(const QString& pdf) : pdf_(pdf), document_(Poppler::Document::load(pdf)) {
    if (!document_)
        throw Failure(QStringLiteral("'%1' is not a PDF file that can be read.").arg(pdf));
    if (document_->isLocked())
        throw Failure(QStringLiteral("'%1' is protected by a password.").arg(pdf));
    document_->setPaperColor(Qt::white);
    // Poppler's own rasteriser, without smoothing: every dot is black or the paper's colour
    // where a fax machine would put it, and a line thinner than a dot is drawn one dot wide.
    document_->setRenderBackend(Poppler::Document::SplashBackend);
    document_->setRenderHint(Poppler::Document::ThinLineSolid);
}

FaxPages::~FaxPages() = default;

int FaxPages::count() const {
    return document_->numPages();
}

QImage FaxPages::page(int index, FaxResolution resolution) const {
    const std::unique_ptr<Poppler::Page> page =
        index >= 0 && index < count() ? document_->page(index) : nullptr;
    if (!page) throw Failure(QStringLiteral("'%1' has no page %2.").arg(pdf_).arg(index + 1));
    QSizeF size = page->pageSizeF();  // points, the page's own turn applied
    if (size.width() <= 0 || size.height() <= 0)
        throw Failure(QStringLiteral("Page %1 of '%2' is empty.").arg(index + 1).arg(pdf_));
    // A landscape page goes through the fax upright, turned a quarter clockwise.
    const bool landscape = size.width() > size.height();
    if (landscape) size.transpose();
    // Fitted into the fax's page (its shape kept, as wide as the shape allows, at the top):
    // dots per inch of the page's own size, across and down.
    const double fit = std::min(
        double(kFaxDotsAcross) / kFaxDotsPerInch / (size.width() / 72.0),
        double(FaxPageLines(resolution)) / FaxLinesPerInch(resolution) / (size.height() / 72.0));
    const double across = fit * kFaxDotsPerInch;
    const double down = fit * FaxLinesPerInch(resolution);
    const QImage rendered = page->renderToImage(
        across, down, -1, -1, -1, -1, landscape ? Poppler::Page::Rotate90 : Poppler::Page::Rotate0);
    QImage fax = rendered.isNull() ? QImage() : BlankMono(kFaxDotsAcross, FaxPageLines(resolution));
    if (fax.isNull())
        throw Failure(QStringLiteral("Page %1 of '%2' could not be drawn for the fax.")
                          .arg(index + 1)
                          .arg(pdf_));
    ThresholdInto(rendered, fax, std::max(0, (kFaxDotsAcross - rendered.width()) / 2));
    fax.setDotsPerMeterX(DotsPerMeter(kFaxDotsPerInch));
    fax.setDotsPerMeterY(DotsPerMeter(FaxLinesPerInch(resolution)));
    return fax;
}

QImage FaxPage(const QString& pdf, int pageIndex, FaxResolution resolution) {
    return FaxPages(pdf).page(pageIndex, resolution);
}

}  // namespace velmora
