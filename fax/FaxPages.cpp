#include "FaxPages.h"

#include "PageRender.h"
#include "pdf/PdfDocument.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <QSysInfo>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace velmora {
namespace {

int DotsPerMeter(int perInch) {
    return int(perInch / 0.0254 + 0.5);
}

// Rows are worked on in blocks of this many dots, each block one loop of a known length, which
// compilers turn into vector instructions at any optimisation level.
constexpr int kBlock = 16;

int WholeBlocks(int dots) {
    return (dots + kBlock - 1) / kBlock * kBlock;
}

// The grey of a pixel (opaque, or premultiplied over transparent paper) as it looks on white
// paper, 0 black to 255 white: luma by ITU-R BT.601's weights, and the paper showing through
// what is not opaque.
inline uint8_t GreyOnPaper(QRgb p) {
    return uint8_t(((qRed(p) * 77 + qGreen(p) * 150 + qBlue(p) * 29) >> 8) + (0xff - qAlpha(p)));
}

void GreysOfRow(const QRgb* in, int width, uint8_t* out) {
    int x = 0;
    for (; x + kBlock <= width; x += kBlock) {
        uint8_t block[kBlock];
        for (int i = 0; i < kBlock; ++i) block[i] = GreyOnPaper(in[x + i]);
        std::memcpy(out + x, block, kBlock);
    }
    for (; x < width; ++x) out[x] = GreyOnPaper(in[x]);
}

// The paper under a picture (see PageKind in the header): for each block of kPaperBlock x
// kPaperBlock dots, by how much its greys are scaled so that the paper about it prints white.
class PaperLevels {
public:
    static constexpr int kPaperBlock = 4;
    // Dark marks narrower than (2 * kBridge + 1) blocks are bridged: about a fifth of an inch
    // across at the fax's 204 dots to the inch.
    static constexpr int kBridge = 5;

    explicit PaperLevels(const QImage& source)
        : across_((source.width() + kPaperBlock - 1) / kPaperBlock),
          down_((source.height() + kPaperBlock - 1) / kPaperBlock),
          gains_(size_t(across_) * size_t(down_)) {
        // The lightest grey of each block, then the closing of those: the lightest nearby,
        // then the darkest of that nearby, which keeps wide areas and their edges where they
        // are and fills what is narrower.
        std::vector<uint8_t> levels(gains_.size(), 0);
        std::vector<uint8_t> greys(size_t(WholeBlocks(source.width())));
        for (int y = 0; y < source.height(); ++y) {
            GreysOfRow(reinterpret_cast<const QRgb*>(source.constScanLine(y)), source.width(),
                       greys.data());
            uint8_t* row = levels.data() + size_t(y / kPaperBlock) * across_;
            for (int x = 0; x < source.width(); ++x)
                row[x / kPaperBlock] = std::max(row[x / kPaperBlock], greys[size_t(x)]);
        }
        Spread(levels, [](uint8_t a, uint8_t b) { return std::max(a, b); });
        Spread(levels, [](uint8_t a, uint8_t b) { return std::min(a, b); });
        for (size_t i = 0; i < levels.size(); ++i) {
            // A dark paper is taken darker still, by up to 30 % of its distance from white.
            const int paper = std::max(8, levels[i] - (0xff - levels[i]) * 3 / 10);
            gains_[i] = uint32_t((0xff << 16) / paper);
        }
    }

    // The greys of row `y` (`width` of them), relative to their paper.
    void lighten(uint8_t* greys, int width, int y) const {
        const uint32_t* gains = gains_.data() + size_t(y / kPaperBlock) * across_;
        for (int x = 0; x < width; ++x)
            greys[x] = uint8_t(std::min<uint32_t>(0xff, (greys[x] * gains[x / kPaperBlock]) >> 16));
    }

private:
    // Each level becomes `pick` of those within kBridge blocks of it, across then down.
    template <typename Pick>
    void Spread(std::vector<uint8_t>& levels, Pick pick) const {
        std::vector<uint8_t> line(size_t(std::max(across_, down_)));
        for (int y = 0; y < down_; ++y) {
            uint8_t* row = levels.data() + size_t(y) * across_;
            std::copy_n(row, across_, line.begin());
            for (int x = 0; x < across_; ++x) {
                uint8_t level = line[size_t(x)];
                for (int i = std::max(0, x - kBridge); i <= std::min(across_ - 1, x + kBridge); ++i)
                    level = pick(level, line[size_t(i)]);
                row[x] = level;
            }
        }
        for (int x = 0; x < across_; ++x) {
            for (int y = 0; y < down_; ++y) line[size_t(y)] = levels[size_t(y) * across_ + x];
            for (int y = 0; y < down_; ++y) {
                uint8_t level = line[size_t(y)];
                for (int i = std::max(0, y - kBridge); i <= std::min(down_ - 1, y + kBridge); ++i)
                    level = pick(level, line[size_t(i)]);
                levels[size_t(y) * across_ + x] = level;
            }
        }
    }

    int across_;
    int down_;
    std::vector<uint32_t> gains_;  // 16.16 fixed point
};

// Whether each dot of a row prints black (1) or white (0), by the rule in the header, from the
// greys of the row and of the rows above and below. Works in whole blocks: the rows are padded
// with paper.
void DotsOfRow(const uint8_t* above, const uint8_t* here, const uint8_t* below, int width,
               uint8_t* out) {
    for (int x = 0; x < width; x += kBlock) {
        uint8_t block[kBlock];
        for (int i = 0; i < kBlock; ++i) {
            const uint8_t g = here[x + i];
            const bool nearPaper =
                (here[x + i - 1] >= kFaxPaperFrom) | (here[x + i + 1] >= kFaxPaperFrom) |
                (above[x + i] >= kFaxPaperFrom) | (below[x + i] >= kFaxPaperFrom);
            block[i] = (g < kFaxBlackBelow) | ((g < kFaxPaperFrom) & nearPaper);
        }
        std::memcpy(out + x, block, kBlock);
    }
}

// Eight dots (bytes of 0 or 1, the first leftmost) as one byte of a Format_Mono row, the first
// in the highest bit.
uchar PackDots(const uint8_t* dots) {
    quint64 eight;
    std::memcpy(&eight, dots, 8);
    if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) eight = qbswap(eight);
    // Moves dot i to bit 63 - i; every other product lands below bit 56 or beyond bit 63.
    return uchar((eight * 0x8040201008040201ULL) >> 56);
}

// Thresholds `picture` into `mono` (Format_Mono), its left edge at dot `left`, by the rule in
// the header for a page of `kind`. Row by row, so that no grey copy of the page is made.
void ThresholdInto(const QImage& picture, QImage& mono, int left, PageKind kind) {
    const QImage source = picture.format() == QImage::Format_RGB32 ||
                                  picture.format() == QImage::Format_ARGB32_Premultiplied
                              ? picture
                              : picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = source.width();
    const int height = std::min(source.height(), mono.height());
    const int monoBytes = (mono.width() + 7) / 8;
    // Three rows of greys (above, this, below), each framed by paper: a dot before, and after
    // it to the end of its last block and one dot more.
    const size_t rowSize = size_t(WholeBlocks(width)) + 2;
    std::vector<uint8_t> greys(rowSize * 4, 0xff);
    const auto greyRow = [&](int y) { return greys.data() + size_t(y % 3) * rowSize + 1; };
    const uint8_t* white = greys.data() + 3 * rowSize + 1;
    // The dots of the mono row, one byte each, in whole blocks past the picture's right edge.
    std::vector<uint8_t> dots(size_t(std::max(monoBytes * 8, left + WholeBlocks(width))), 0);
    const std::optional<PaperLevels> paper =
        kind == PageKind::Picture ? std::optional<PaperLevels>(source) : std::nullopt;
    const auto readRow = [&](int y) {
        GreysOfRow(reinterpret_cast<const QRgb*>(source.constScanLine(y)), width, greyRow(y));
        if (paper) paper->lighten(greyRow(y), width, y);
    };
    if (height > 0) readRow(0);
    for (int y = 0; y < height; ++y) {
        if (y + 1 < height) readRow(y + 1);
        DotsOfRow(y > 0 ? greyRow(y - 1) : white, greyRow(y),
                  y + 1 < height ? greyRow(y + 1) : white, width, dots.data() + left);
        uchar* row = mono.scanLine(y);
        for (int byte = 0; byte < monoBytes; ++byte) row[byte] = PackDots(dots.data() + byte * 8);
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

FaxPages::FaxPages(const QString& pdf) : pdf_(pdf), document_(LoadPdf(pdf)) {
    // Poppler's own rasteriser, without smoothing: every dot is black or the paper's colour
    // where a fax machine would put it, and a line thinner than a dot is drawn one dot wide.
    document_->setRenderBackend(Poppler::Document::SplashBackend);
    document_->setRenderHint(Poppler::Document::ThinLineSolid);
    document_->setPaperColor(Qt::white);
}

FaxPages::~FaxPages() = default;

int FaxPages::count() const {
    return document_->numPages();
}

QImage FaxPages::page(int index, FaxResolution resolution, PageKind kind) const {
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
        across, down, -1, -1, -1, -1, landscape ? Poppler::Page::Rotate90 : Poppler::Page::Rotate0,
        nullptr, nullptr, DrawingGivenUp, QVariant());
    ThrowIfJobCancelled();
    QImage fax = rendered.isNull() ? QImage() : BlankMono(kFaxDotsAcross, FaxPageLines(resolution));
    if (fax.isNull())
        throw Failure(QStringLiteral("Page %1 of '%2' could not be drawn for the fax.")
                          .arg(index + 1)
                          .arg(pdf_));
    ThresholdInto(rendered, fax, std::max(0, (kFaxDotsAcross - rendered.width()) / 2), kind);
    fax.setDotsPerMeterX(DotsPerMeter(kFaxDotsPerInch));
    fax.setDotsPerMeterY(DotsPerMeter(FaxLinesPerInch(resolution)));
    return fax;
}

QImage FaxPage(const QString& pdf, int pageIndex, FaxResolution resolution, PageKind kind) {
    return FaxPages(pdf).page(pageIndex, resolution, kind);
}

}  // namespace velmora
