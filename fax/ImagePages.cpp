#include "ImagePages.h"

#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/Job.h"

#include <tiffio.h>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

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

bool IsTiff(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(4);
    return head == QByteArray("II*\0", 4) || head == QByteArray("MM\0*", 4);
}

// The current directory's picture is black and white, 1 bit a dot in rows top down, as fax
// TIFFs and most scans are: it is read as it is, without a copy of 32 bits a dot.
bool IsBilevel(TIFF* tiff) {
    uint16_t bits = 1, samples = 1, photometric = 0, orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    return bits == 1 && samples == 1 && !TIFFIsTiled(tiff) && orientation == ORIENTATION_TOPLEFT &&
           TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) &&
           (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
}

}  // namespace

struct ImagePages::Tiff {
    std::unique_ptr<TIFF, void (*)(TIFF*)> file{nullptr, TIFFClose};
};

ImagePages::ImagePages(const QString& path) : path_(path) {
    if (!IsTiff(path)) {
        // The reader's own allocation limit (128 MB by default) refuses a 48-megapixel photo;
        // the size is bounded by kMaxImagePixels here (CheckSize), at four bytes a pixel.
        constexpr int kPictureMegabytes = int(kMaxImagePixels * 4 / (1024 * 1024)) + 1;
        if (QImageReader::allocationLimit() < kPictureMegabytes)
            QImageReader::setAllocationLimit(kPictureMegabytes);
        QImageReader reader(path);
        if (reader.format().isEmpty())
            throw Failure(QStringLiteral("'%1' is not a picture that can be read.").arg(path));
        const QSize size = reader.size();
        CheckSize(path, size.width(), size.height());
        count_ = 1;
        return;
    }
    // libtiff reports through these; the Failures below say what matters.
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    tiff_ = std::make_unique<Tiff>();
    tiff_->file.reset(TIFFOpen(QFile::encodeName(path).constData(), "r"));
    TIFF* const tiff = tiff_->file.get();
    if (!tiff)
        throw Failure(QStringLiteral("'%1' is not a TIFF picture that can be read.").arg(path));
    // Every directory's size, before any picture is read.
    qint64 dots = 0;
    do {
        uint32_t width = 0, height = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        CheckSize(path, width, height);
        dots += qint64(width) * height;
        if (dots > kMaxImageFilePixels)
            throw Failure(
                QCoreApplication::translate("velmora::ImagePages",
                                            "'%1' holds more pictures than can be attached: more "
                                            "than %2 million dots in all.")
                    .arg(path)
                    .arg(kMaxImageFilePixels / 1'000'000));
        ++count_;
    } while (TIFFReadDirectory(tiff));
    if (!TIFFSetDirectory(tiff, 0))
        throw Failure(QStringLiteral("'%1' is not a TIFF picture that can be read.").arg(path));
}

ImagePages::~ImagePages() = default;

QImage ImagePages::next() {
    if (read_ >= count_) return {};
    const int number = ++read_;
    if (!tiff_) {
        QImageReader reader(path_);
        reader.setAutoTransform(true);
        QImage picture = reader.read();
        if (picture.isNull())
            throw Failure(
                QStringLiteral("'%1' cannot be read: %2").arg(path_, reader.errorString()));
        return picture;
    }
    TIFF* const tiff = tiff_->file.get();
    if (number > 1 && !TIFFReadDirectory(tiff))
        throw Failure(QStringLiteral("Page %1 of '%2' cannot be read.").arg(number).arg(path_));
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    CheckSize(path_, width, height);
    const bool bilevel = IsBilevel(tiff);
    QImage page(int(width), int(height), bilevel ? QImage::Format_Mono : QImage::Format_RGB32);
    if (page.isNull()) throw Failure(QStringLiteral("Not enough memory to read '%1'.").arg(path_));
    const auto unreadable = [&] {
        return Failure(QStringLiteral("Page %1 of '%2' cannot be read.").arg(number).arg(path_));
    };
    if (bilevel) {
        // Colour 0 black, 1 white: as the PDF writer takes a 1-bit picture as it is.
        page.setColorTable({qRgb(0, 0, 0), qRgb(0xff, 0xff, 0xff)});
        uint16_t photometric = PHOTOMETRIC_MINISWHITE;
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
        const qsizetype rowBytes = (qsizetype(width) + 7) / 8;
        for (uint32_t y = 0; y < height; ++y) {
            uchar* row = page.scanLine(int(y));
            if (TIFFReadScanline(tiff, row, y, 0) < 0) throw unreadable();
            if (photometric == PHOTOMETRIC_MINISWHITE)
                for (qsizetype i = 0; i < rowBytes; ++i) row[i] = uchar(~row[i]);
        }
    } else {
        // Rows of RGBA (alpha premultiplied), top row first, then each dot on white paper.
        auto* dots = reinterpret_cast<uint32_t*>(page.bits());
        if (!TIFFReadRGBAImageOriented(tiff, width, height, dots, ORIENTATION_TOPLEFT, 0))
            throw unreadable();
        const qsizetype total = qsizetype(width) * height;
        for (qsizetype i = 0; i < total; ++i) {
            const uint32_t p = dots[i];
            const int paper = 0xff - int(TIFFGetA(p));
            dots[i] = qRgb(std::min(0xff, int(TIFFGetR(p)) + paper),
                           std::min(0xff, int(TIFFGetG(p)) + paper),
                           std::min(0xff, int(TIFFGetB(p)) + paper));
        }
    }
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &x) &&
        TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &y) && x > 0 && y > 0) {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        const double perMetre = unit == RESUNIT_CENTIMETER ? 100.0 : 100.0 / 2.54;
        page.setDotsPerMeterX(int(x * perMetre + 0.5));
        page.setDotsPerMeterY(int(y * perMetre + 0.5));
    }
    return page;
}

int WriteImagePdf(const QString& source, const QString& target) {
    ImagePages pictures(source);
    const int count = pictures.count();
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
        Job* const job = Job::current();
        for (int i = 0; i < count; ++i) {
            ThrowIfJobCancelled();
            if (job) job->reportProgress(i, count);
            const QImage picture = pictures.next();
            if (i > 0 && !pdf.newPage())
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
    return count;
}

void WritePagesPdf(const std::vector<QImage>& pages, const QString& target) {
    constexpr double kDefaultDotsPerMetre = 200 / 0.0254;
    AtomicFile file(target);
    {
        QPdfWriter pdf(file.path());
        pdf.setCreator(QStringLiteral("Velmora"));
        pdf.setPageMargins(QMarginsF(), QPageLayout::Inch);
        const auto pageSize = [](const QImage& page) {
            const double x = page.dotsPerMeterX() > 0 ? page.dotsPerMeterX() : kDefaultDotsPerMetre;
            const double y = page.dotsPerMeterY() > 0 ? page.dotsPerMeterY() : kDefaultDotsPerMetre;
            return QPageSize(QSizeF(page.width() / x * 1000, page.height() / y * 1000),
                             QPageSize::Millimeter);
        };
        if (!pages.empty()) pdf.setPageSize(pageSize(pages.front()));
        QPainter painter;
        if (!painter.begin(&pdf)) throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
        Job* const job = Job::current();
        const int count = int(pages.size());
        for (int i = 0; i < count; ++i) {
            ThrowIfJobCancelled();
            if (job) job->reportProgress(i, count);
            if (i > 0) {
                pdf.setPageSize(pageSize(pages[size_t(i)]));
                if (!pdf.newPage()) throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
            }
            const QRectF area(QPointF(), pdf.pageLayout().paintRectPixels(pdf.resolution()).size());
            painter.drawImage(area, pages[size_t(i)]);
        }
        if (!painter.end()) throw Failure(QStringLiteral("Cannot write '%1'.").arg(target));
    }
    file.commit();
}

}  // namespace velmora
