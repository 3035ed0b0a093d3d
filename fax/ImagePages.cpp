#include "ImagePages.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"

#include <tiffio.h>
#include <QFile>
#include <QImageReader>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <memory>
#include <utility>

namespace velmora {
namespace {

void CheckSize(const QString& path, qint64 width, qint64 height) {
    if (width <= 0 || height <= 0)
        throw Failure(QStringLiteral("'%1' holds an empty picture.").arg(path));
    if (width * height > kMaxImagePixels)
        throw Failure(QStringLiteral("'%1' holds a picture of %2 x %3 dots, too large to attach.")
                          .arg(path)
                          .arg(width)
                          .arg(height));
}

// Every directory of a TIFF as a picture, in the file's order.
std::vector<QImage> ReadTiffPages(const QString& path) {
    // libtiff reports through these; the Failure below says what matters.
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    const std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(
        TIFFOpen(QFile::encodeName(path).constData(), "r"), TIFFClose);
    if (!tiff)
        throw Failure(QStringLiteral("'%1' is not a TIFF picture that can be read.").arg(path));
    std::vector<QImage> pages;
    do {
        uint32_t width = 0, height = 0;
        TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
        CheckSize(path, width, height);
        QImage page(int(width), int(height), QImage::Format_RGBA8888);
        if (page.isNull())
            throw Failure(QStringLiteral("Not enough memory to read '%1'.").arg(path));
        // Rows of 32-bit RGBA in memory order, top row first.
        if (!TIFFReadRGBAImageOriented(tiff.get(), width, height,
                                       reinterpret_cast<uint32_t*>(page.bits()),
                                       ORIENTATION_TOPLEFT, 0))
            throw Failure(
                QStringLiteral("Page %1 of '%2' cannot be read.").arg(pages.size() + 1).arg(path));
        float x = 0, y = 0;
        uint16_t unit = RESUNIT_INCH;
        if (TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &x) &&
            TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &y) && x > 0 && y > 0) {
            TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
            const double perMetre = unit == RESUNIT_CENTIMETER ? 100.0 : 100.0 / 2.54;
            page.setDotsPerMeterX(int(x * perMetre + 0.5));
            page.setDotsPerMeterY(int(y * perMetre + 0.5));
        }
        pages.push_back(std::move(page));
    } while (TIFFReadDirectory(tiff.get()));
    return pages;
}

}  // namespace

std::vector<QImage> ReadImagePages(const QString& path) {
    // The reader's own allocation limit (128 MB by default) refuses a 48-megapixel photo; the
    // size is bounded by kMaxImagePixels here (CheckSize), at four bytes a pixel.
    constexpr int kPictureMegabytes = int(kMaxImagePixels * 4 / (1024 * 1024)) + 1;
    if (QImageReader::allocationLimit() < kPictureMegabytes)
        QImageReader::setAllocationLimit(kPictureMegabytes);
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format == "tiff" || format.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray head = file.read(4);
            if (head == QByteArray("II*\0", 4) || head == QByteArray("MM\0*", 4))
                return ReadTiffPages(path);
        }
    }
    if (format.isEmpty())
        throw Failure(QStringLiteral("'%1' is not a picture that can be read.").arg(path));
    const QSize size = reader.size();
    CheckSize(path, size.width(), size.height());
    QImage picture = reader.read();
    if (picture.isNull())
        throw Failure(QStringLiteral("'%1' cannot be read: %2").arg(path, reader.errorString()));
    return {picture};
}

void WriteImagePdf(const std::vector<QImage>& pictures, const QString& target) {
    AtomicFile file(target);
    {
        QPdfWriter pdf(file.path());
        pdf.setCreator(QStringLiteral("Velmora"));
        pdf.setPageSize(QPageSize(QPageSize::Letter));
        pdf.setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
        pdf.setResolution(300);
        QPainter painter;
        if (!painter.begin(&pdf)) throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        bool first = true;
        for (const QImage& picture : pictures) {
            if (!std::exchange(first, false) && !pdf.newPage())
                throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
            // The picture's size on paper, from its resolution where it has one.
            QSizeF shape(picture.width(), picture.height());
            if (picture.dotsPerMeterX() > 0 && picture.dotsPerMeterY() > 0)
                shape = QSizeF(picture.width() / double(picture.dotsPerMeterX()),
                               picture.height() / double(picture.dotsPerMeterY()));
            const QRectF area = painter.viewport();
            const QSizeF fitted = shape.scaled(area.size(), Qt::KeepAspectRatio);
            QRectF place(QPointF(), fitted);
            place.moveCenter(area.center());
            painter.drawImage(place, picture);
        }
        if (!painter.end()) throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
    }
    file.commit();
}

}  // namespace velmora
