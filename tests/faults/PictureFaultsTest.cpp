// Pictures attached to the packet under faults: TIFFs of hundreds of pages or of huge ones, a
// job given up while one is read, and a page photographed on a table as the fax prints it. The
// TIFFs are made by libtiff's own tiffcp and the PDFs judged by Poppler's command-line readers.
// Each case is a row of the fault campaign's table.
#include "fax/FaxPages.h"
#include "fax/FaxTiff.h"
#include "fax/Packet.h"
#include "preview/PageImage.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/Job.h"
#include "shell/TempFolder.h"

#include "PdfReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <thread>

namespace velmora {
namespace {

using test::PdfPages;
using test::ToolOutput;

const OfficeToPdf kPicturesOnly = [](const QString&, const QString&) {
    ADD_FAILURE() << "no office document here";
};

// The most this process has held in memory so far, in megabytes.
qint64 PeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The files of ours in TEMP: the attachments' PDFs, and those on their way.
QStringList OursInTemp() {
    return QDir(TempFolder())
        .entryList({QStringLiteral("*velmora-*")}, QDir::Files | QDir::Hidden | QDir::System);
}

// pdfimages' list of the images in `pdf`: one row of columns a picture.
std::vector<QStringList> PdfImages(const QString& pdf) {
    std::vector<QStringList> images;
    const QStringList lines =
        ToolOutput(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).split('\n');
    for (const QString& line : lines.mid(2))
        if (!line.trimmed().isEmpty()) images.push_back(line.simplified().split(' '));
    return images;
}

// A page of black (true) and white dots.
class Dots {
public:
    Dots(int width, int height)
        : width_(width),
          height_(height),
          rowBytes_((width + 7) / 8),
          bits_(rowBytes_ * height, '\0') {}
    void set(int x, int y) { bits_[y * rowBytes_ + x / 8] |= char(0x80 >> (x % 8)); }
    void rule(int y) { std::memset(bits_.data() + y * rowBytes_, 0xff, size_t(rowBytes_)); }

    // As a baseline TIFF of one page, written byte by byte here: 1 bit a dot, 1 black
    // (WhiteIsZero), uncompressed, one strip, at `dpiX` by `dpiY`.
    void writeTiff(const QString& path, int dpiX, int dpiY) const {
        QByteArray file;
        const auto put16 = [&](quint16 v) { file.append(char(v & 0xff)).append(char(v >> 8)); };
        const auto put32 = [&](quint32 v) {
            put16(quint16(v & 0xffff));
            put16(quint16(v >> 16));
        };
        constexpr int kEntries = 12;
        constexpr quint32 kRationals = 8 + 2 + kEntries * 12 + 4;
        constexpr quint32 kStrip = kRationals + 16;
        file.append("II");
        put16(42);
        put32(8);
        put16(kEntries);
        const auto entry = [&](quint16 tag, quint16 type, quint32 value) {
            put16(tag);
            put16(type);
            put32(1);
            if (type == 3) {
                put16(quint16(value));
                put16(0);
            } else {
                put32(value);
            }
        };
        entry(256, 4, quint32(width_));
        entry(257, 4, quint32(height_));
        entry(258, 3, 1);
        entry(259, 3, 1);
        entry(262, 3, 0);
        entry(273, 4, kStrip);
        entry(277, 3, 1);
        entry(278, 4, quint32(height_));
        entry(279, 4, quint32(bits_.size()));
        entry(282, 5, kRationals);
        entry(283, 5, kRationals + 8);
        entry(296, 3, 2);
        put32(0);
        put32(quint32(dpiX));
        put32(1);
        put32(quint32(dpiY));
        put32(1);
        file.append(bits_);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_EQ(out.write(file), file.size());
    }

private:
    int width_, height_;
    qsizetype rowBytes_;
    QByteArray bits_;
};

class PictureFaults : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder_.filePath(name); }

    // A TIFF of `pages` copies of `page`, each coded by libtiff's tiffcp as `compression` says
    // ("g3" as fax machines send, "g4").
    QString MultiPageTiff(const Dots& page, int dpiX, int dpiY, int pages,
                          const QString& compression, const QString& name) const {
        page.writeTiff(path(QStringLiteral("one.tif")), dpiX, dpiY);
        QStringList arguments{QStringLiteral("-c"), compression};
        for (int i = 0; i < pages; ++i) arguments << path(QStringLiteral("one.tif"));
        ToolOutput(QStringLiteral("tiffcp"), arguments << path(name));
        QFile::remove(path(QStringLiteral("one.tif")));
        return path(name);
    }

    // A fax of 300 pages of close text, as a fax server receives it: 1728 dots across, fine
    // (204 x 196 dpi), Group 3.
    QString FaxOfThreeHundredPages() const {
        QImage text(1728, 2200, QImage::Format_Grayscale8);
        text.fill(Qt::white);
        {
            QPainter painter(&text);
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(26);
            painter.setFont(font);
            QRandomGenerator words(7);
            for (int line = 0; line < 62; ++line) {
                QString row;
                while (row.size() < 95) row += QString(int(words.bounded(2, 10)), 'x') + ' ';
                for (QChar& c : row)
                    if (c == 'x') c = QChar('a' + int(words.bounded(26)));
                painter.drawText(80, 100 + line * 33, row);
            }
        }
        Dots page(text.width(), text.height());
        for (int y = 0; y < text.height(); ++y)
            for (int x = 0; x < text.width(); ++x)
                if (text.constScanLine(y)[x] < 0x80) page.set(x, y);
        return MultiPageTiff(page, 204, 196, 300, QStringLiteral("g3"), QStringLiteral("fax.tif"));
    }

    // `pages` pages of 10000 x 10000 dots (100 megapixels, the most one picture may have), a
    // few black rules on white: a small file that unpacks into much.
    QString HugePages(int pages, const QString& name) const {
        Dots page(10000, 10000);
        for (int y = 500; y < 10000; y += 1000) page.rule(y);
        return MultiPageTiff(page, 300, 300, pages, QStringLiteral("g4"), name);
    }

private:
    QTemporaryDir folder_;
};

// A TIFF is read and written one page at a time, a black-and-white page as 1 bit a dot: the
// memory it takes is one page's, and its PDF about the TIFF's size. (Before, every page was held
// as 32-bit pictures until the last was read: 2.9 GB for six 100-megapixel pages, 4.4 GB and a
// 400 MB PDF for a 300-page fax.)
TEST_F(PictureFaults, ATiffOfManyOrHugePagesIsAttachedAPageAtATimeInLittleMemory) {
    const struct {
        QString file;
        int pages;
        qint64 largestPdf;
    } cases[] = {{HugePages(6, QStringLiteral("huge.tif")), 6, 1 << 20},
                 {FaxOfThreeHundredPages(), 300, 0}};
    const QStringList before = OursInTemp();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const qint64 tiffBytes = QFileInfo(c.file).size();
        const qint64 peak = PeakMegabytes();
        QElapsedTimer timer;
        timer.start();
        const Attachment attached = PrepareAttachment(c.file, kPicturesOnly);
        const qint64 grown = PeakMegabytes() - peak;
        const qint64 pdfBytes = QFileInfo(attached.pdf).size();
        std::printf("%s: %d pages, TIFF %lld KB, PDF %lld KB, peak memory grew %lld MB, %lld ms\n",
                    qPrintable(QFileInfo(c.file).fileName()), attached.pages, tiffBytes / 1024,
                    pdfBytes / 1024, grown, qint64(timer.elapsed()));
        EXPECT_EQ(attached.pages, c.pages);
        EXPECT_EQ(PdfPages(attached.pdf), c.pages);
        EXPECT_LT(grown, 200) << "megabytes more at the peak";
        // A fax's PDF is about its TIFF's size; the huge pages' a small fraction of a
        // megabyte each.
        EXPECT_LE(pdfBytes, c.largestPdf > 0 ? c.largestPdf : tiffBytes * 3 / 2);
        const std::vector<QStringList> images = PdfImages(attached.pdf);
        EXPECT_EQ(int(images.size()), c.pages);
        for (const QStringList& image : images) {
            // page num type width height color comp bpc ...
            ASSERT_GE(image.size(), 8) << image.join(' ');
            EXPECT_EQ(image[7], QStringLiteral("1")) << "bits a dot: " << image.join(' ');
        }
        RemoveFileQuietly(attached.pdf);
    }
    EXPECT_EQ(OursInTemp(), before);
}

// Stop (and the program's end) gives up a long TIFF between two pages: the job ends given up,
// and neither the attachment's PDF nor the file it was written to stays. (Before, the stop was
// heard only once all 300 pages were read and written.)
TEST_F(PictureFaults, StoppingGivesUpAThreeHundredPageTiffAtOnceAndLeavesNothing) {
    const QString fax = FaxOfThreeHundredPages();
    const QStringList before = OursInTemp();
    Job job;
    QEventLoop loop;
    QElapsedTimer sinceStop;
    int pagesTold = 0;
    const auto stop = [&] {
        if (job.cancelled()) return;
        job.cancel();
        sinceStop.start();
    };
    QObject::connect(&job, &Job::progress, &loop, [&](int done, int) {
        pagesTold = done;
        if (done >= 10) stop();
    });
    // However far it has come by then.
    QTimer::singleShot(1000, &loop, stop);
    std::optional<Attachment> attached;
    std::exception_ptr failure;
    std::thread worker([&] {
        failure = job.run([&] { attached = PrepareAttachment(fax, kPicturesOnly); });
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    std::printf("stopped after page %d of 300, ended %lld ms after the stop\n", pagesTold,
                sinceStop.isValid() ? qint64(sinceStop.elapsed()) : -1);
    EXPECT_TRUE(job.cancelled());
    EXPECT_FALSE(attached) << "all " << (attached ? attached->pages : 0) << " pages attached";
    if (attached) RemoveFileQuietly(attached->pdf);
    try {
        if (failure) std::rethrow_exception(failure);
        ADD_FAILURE() << "the work completed";
    } catch (const JobGivenUp&) {
    } catch (const std::exception& other) {
        ADD_FAILURE() << other.what();
    }
    EXPECT_EQ(OursInTemp(), before);
}

// A small TIFF that holds more dots in all than a file may (21 pages of 100 megapixels, each
// within the limit of one picture) is refused before a page is read, with one message naming
// it, and nothing is left. (Before, every page was read, 8 GB of pictures.)
TEST_F(PictureFaults, ATiffOfMoreDotsInAllThanAFileMayHoldIsRefusedBeforeAPageIsRead) {
    const QString file = HugePages(21, QStringLiteral("many-huge.tif"));
    const QStringList before = OursInTemp();
    const qint64 peak = PeakMegabytes();
    try {
        const Attachment attached = PrepareAttachment(file, kPicturesOnly);
        RemoveFileQuietly(attached.pdf);
        ADD_FAILURE() << "attached";
    } catch (const Failure& failure) {
        const QString message = QString::fromUtf8(failure.what());
        EXPECT_TRUE(message.contains(file)) << message;
        EXPECT_TRUE(message.contains(QLatin1String("more pictures than can be attached")))
            << message;
    }
    EXPECT_LT(PeakMegabytes() - peak, 64) << "megabytes more at the peak";
    EXPECT_EQ(OursInTemp(), before);
}

// A page photographed lying on a table: a paler sheet, turned a little, on a darker wood-like
// table whose light falls off across it, and a soft shadow over the left of both, saved as a
// phone saves it (JPEG). Returns the page's outline and its words' boxes, in the photo's dots.
struct Photo {
    QPolygonF page;
    std::vector<QRectF> words;
};

Photo PhotographPageOnTable(const QString& jpeg) {
    constexpr int kWidth = 1500, kHeight = 1900;
    QImage photo(kWidth, kHeight, QImage::Format_RGB32);
    QRandomGenerator noise(11);
    for (int y = 0; y < kHeight; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const double light = 0.6 * x / kWidth + 0.4 * y / kHeight;
            const double grain = 10 * std::sin(y * 0.06 + 4 * std::sin(x * 0.004));
            const int n = int(noise.bounded(13)) - 6;
            const auto channel = [&](int dark, int pale) {
                return std::clamp(int(dark + (pale - dark) * light + grain) + n, 0, 255);
            };
            row[x] = qRgb(channel(70, 160), channel(52, 130), channel(38, 100));
        }
    }
    Photo shot;
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QTransform onTable;
    onTable.translate(760, 950);
    onTable.rotate(3);
    onTable.translate(-560, -720);
    const QRectF sheet(0, 0, 1120, 1440);
    // The sheet's own soft shadow on the table, then the sheet.
    for (int spread = 24; spread > 0; spread -= 4) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 18));
        painter.drawPolygon(
            onTable.map(QPolygonF(sheet.adjusted(-spread, -spread, spread + 18, spread + 22))));
    }
    shot.page = onTable.map(QPolygonF(sheet));
    painter.setBrush(QColor(238, 236, 229));
    painter.drawPolygon(shot.page);
    painter.setTransform(onTable);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(34);
    painter.setFont(font);
    painter.setPen(QColor(38, 38, 44));
    const QFontMetrics metrics(font);
    const QStringList words = QStringLiteral(
                                  "Invoice 4711 for the repair of the east wing roof including "
                                  "materials labour and scaffolding Total due within thirty days "
                                  "Please quote the number above with your payment Thank you")
                                  .split(' ');
    int word = 0;
    for (int line = 0; line < 12; ++line) {
        double x = 90;
        const double baseline = 150 + line * 100;
        while (word < words.size()) {
            const QString& text = words[word];
            const double width = metrics.horizontalAdvance(text);
            if (x + width > sheet.width() - 90) break;
            painter.drawText(QPointF(x, baseline), text);
            shot.words.push_back(
                onTable.mapRect(QRectF(metrics.tightBoundingRect(text)).translated(x, baseline)));
            x += width + metrics.horizontalAdvance(' ');
            ++word;
        }
        if (word == words.size()) word = 0;
    }
    painter.end();
    // A soft shadow along the left, over table and sheet alike: the light there falls to 55 %.
    for (int y = 0; y < kHeight; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < 620; ++x) {
            const double t = std::clamp((x - 120) / 500.0, 0.0, 1.0);
            const double light = 0.55 + 0.45 * t * t * (3 - 2 * t);
            row[x] = qRgb(int(qRed(row[x]) * light), int(qGreen(row[x]) * light),
                          int(qBlue(row[x]) * light));
        }
    }
    photo.setDotsPerMeterX(int(200 / 0.0254));
    photo.setDotsPerMeterY(int(200 / 0.0254));
    EXPECT_TRUE(photo.save(jpeg, "JPG", 85));
    return shot;
}

// How the fax's page of a picture measures up: the photo's dots outside the sheet that print
// white, and each word's share of black.
struct FaxOfPhoto {
    double whiteOutside = 0;
    std::vector<double> wordInk;
};

FaxOfPhoto Measure(const QImage& fax, FaxResolution resolution, const Photo& shot,
                   QSize photoSize) {
    // The photo on its PDF page: fitted within half-inch margins of US Letter, its shape kept,
    // centred; the Letter page on the fax's (1728 dots across, as many lines down per inch as
    // the fax's resolution says, relative to its dots across).
    const double area = std::min(7.5 / photoSize.width(), 10.0 / photoSize.height());
    const QPointF corner(0.5 + (7.5 - photoSize.width() * area) / 2,
                         0.5 + (10.0 - photoSize.height() * area) / 2);
    const double across = kFaxDotsAcross / 8.5;
    const double down = across * FaxLinesPerInch(resolution) / kFaxDotsPerInch;
    QTransform toFax;
    toFax.scale(across, down);
    toFax.translate(corner.x(), corner.y());
    toFax.scale(area, area);
    // 0 beyond the photo, 1 the photo's table, 2 the sheet.
    QImage where(fax.size(), QImage::Format_Grayscale8);
    where.fill(0);
    {
        QPainter painter(&where);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(1, 1, 1));
        painter.drawRect(toFax.mapRect(QRectF(QPointF(), QSizeF(photoSize))));
        painter.setBrush(QColor(2, 2, 2));
        painter.drawPolygon(toFax.map(shot.page));
    }
    const QImage dots = fax.convertToFormat(QImage::Format_Grayscale8);
    qint64 outside = 0, white = 0;
    for (int y = 0; y < dots.height(); ++y)
        for (int x = 0; x < dots.width(); ++x)
            if (where.constScanLine(y)[x] == 1) {
                ++outside;
                white += dots.constScanLine(y)[x] == 0xff;
            }
    FaxOfPhoto measured;
    measured.whiteOutside = outside > 0 ? double(white) / double(outside) : 0;
    for (const QRectF& word : shot.words) {
        const QRect box = toFax.mapRect(word).toAlignedRect() & dots.rect();
        qint64 black = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) black += dots.constScanLine(y)[x] == 0;
        measured.wordInk.push_back(
            box.isEmpty() ? 0 : double(black) / double(box.width() * box.height()));
    }
    return measured;
}

void ExpectAPageOnWhite(const FaxOfPhoto& measured) {
    const auto [least, most] =
        std::minmax_element(measured.wordInk.begin(), measured.wordInk.end());
    std::printf("%.1f %% of the table white; words %.0f to %.0f %% black\n",
                100 * measured.whiteOutside, 100 * *least, 100 * *most);
    EXPECT_GE(measured.whiteOutside, 0.95) << "of the table prints white";
    for (size_t i = 0; i < measured.wordInk.size(); ++i) {
        SCOPED_TRACE("word " + std::to_string(i));
        // Inked, and not drowned in black.
        EXPECT_GE(measured.wordInk[i], 0.03);
        EXPECT_LE(measured.wordInk[i], 0.6);
    }
}

// A photographed page prints as a page in fax view and in the fax TIFF: the table around it
// white, every word on it black, the shadowed ones too. (Before, the fixed threshold printed the
// table and the shadow as a black field around the page.)
TEST_F(PictureFaults, APagePhotographedOnATablePrintsAsAPageNotInABlackField) {
    const QString jpeg = path(QStringLiteral("page-on-table.jpg"));
    const Photo shot = PhotographPageOnTable(jpeg);
    const QSize photoSize = QImage(jpeg).size();
    Packet packet;
    packet.add(PrepareAttachment(jpeg, kPicturesOnly));
    const PdfPage page = packet.attachedPage(0);

    for (const FaxResolution resolution : {FaxResolution::Fine, FaxResolution::Standard}) {
        SCOPED_TRACE(resolution == FaxResolution::Fine ? "fax view, fine" : "fax view, standard");
        QString text;
        ExpectAPageOnWhite(
            Measure(FaxViewPicture(page.pdf, page.index, resolution, &text, page.kind), resolution,
                    shot, photoSize));
    }
    {
        SCOPED_TRACE("fax TIFF");
        const QString tiff = path(QStringLiteral("packet.tif"));
        ASSERT_EQ(WriteFaxTiff(page.pdf, tiff, FaxResolution::Fine, packet.pageKinds(0)), 1);
        // Read back by ImageMagick.
        ToolOutput(QStringLiteral("convert"), {tiff, path(QStringLiteral("packet.png"))});
        ExpectAPageOnWhite(Measure(QImage(path(QStringLiteral("packet.png"))), FaxResolution::Fine,
                                   shot, photoSize));
    }

    // A scan on white paper prints as a drawn page does: black text, a thin light rule and a grey
    // square on white come out dot for dot as the fixed threshold has them.
    QImage scan(1700, 2200, QImage::Format_RGB32);
    scan.fill(Qt::white);
    {
        QPainter painter(&scan);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(30);
        painter.setFont(font);
        painter.drawText(150, 300, QStringLiteral("Scanned on white paper"));
        painter.setPen(QPen(QColor(0xd0, 0xd0, 0xd0), 2));
        painter.drawLine(150, 400, 1500, 400);
        painter.fillRect(150, 500, 40, 40, QColor(0x80, 0x80, 0x80));
    }
    ASSERT_TRUE(scan.save(path(QStringLiteral("scan.png"))));
    const Attachment scanned = PrepareAttachment(path(QStringLiteral("scan.png")), kPicturesOnly);
    EXPECT_EQ(FaxPage(scanned.pdf, 0, FaxResolution::Fine, scanned.kind),
              FaxPage(scanned.pdf, 0, FaxResolution::Fine, PageKind::Document));
    RemoveFileQuietly(scanned.pdf);
}

}  // namespace
}  // namespace velmora
