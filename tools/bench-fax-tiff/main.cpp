// bench-fax-tiff: makes a packet of 50 pages (text pages as an office writes them, with grey
// rules and tick squares, and every tenth page a scanned picture) and saves it as a fax TIFF
// a few times, as the save dialog's "Fax TIFF" does. Prints one line per save: its time in ms.
// tools/bench-fax-tiff.sh takes the median.
//   bench-fax-tiff [--runs N] [--pages N] [--standard]

#include "fax/FaxTiff.h"
#include "fax/ImagePages.h"
#include "fax/PdfFiles.h"
#include "shell/LargeAllocations.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <vector>

namespace {

// A page of a contract: a heading, forty lines of 10-point text, a grey rule and grey squares.
void DrawTextPage(QPainter& painter, int number, int total) {
    const QRect page = painter.viewport();
    const double dot = page.width() / 7.5 / 72.0;  // device dots per point
    painter.setPen(Qt::black);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 14, QFont::Bold));
    painter.drawText(QPointF(0, 20 * dot),
                     QStringLiteral("Agreement, page %1 of %2").arg(number).arg(total));
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.5 * dot));
    painter.drawLine(QPointF(0, 30 * dot), QPointF(page.width(), 30 * dot));
    painter.setFont(QFont(QStringLiteral("Liberation Serif"), 10));
    painter.setPen(Qt::black);
    for (int line = 0; line < 40; ++line)
        painter.drawText(QPointF(0, (50 + line * 14) * dot),
                         QStringLiteral("%1.%2 The parties agree that the goods listed in schedule "
                                        "%3 are delivered to the quay within ten working days.")
                             .arg(number)
                             .arg(line + 1)
                             .arg(line % 7 + 1));
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 0.75 * dot));
    for (int box = 0; box < 5; ++box)
        painter.drawRect(QRectF((box * 100) * dot, 640 * dot, 8 * dot, 8 * dot));
}

// A scanned page: greys across the whole sheet.
QImage ScannedPage() {
    QImage scan(1275, 1650, QImage::Format_RGB32);
    for (int y = 0; y < scan.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(scan.scanLine(y));
        for (int x = 0; x < scan.width(); ++x) {
            const int grey = 255 - ((x / 40 + y / 40) % 2) * 40 - (x * y) % 23;
            row[x] = qRgb(grey, grey, grey);
        }
    }
    QPainter painter(&scan);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 30));
    painter.drawText(QPointF(100, 200), QStringLiteral("Signed copy"));
    return scan;
}

// Returns what each page shows: the scans are pictures.
std::vector<velmora::PageKind> WritePacket(const QString& folder, int pages,
                                           const QString& packet) {
    QStringList parts;
    std::vector<velmora::PageKind> kinds;
    int done = 0;
    while (done < pages) {
        // Nine text pages, then a scan.
        const QString text = folder + QStringLiteral("/text-%1.pdf").arg(done);
        {
            QPdfWriter writer(text);
            writer.setPageSize(QPageSize(QPageSize::Letter));
            writer.setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
            writer.setResolution(600);
            QPainter painter(&writer);
            for (int i = 0; i < 9 && done < pages; ++i) {
                if (i > 0) writer.newPage();
                DrawTextPage(painter, ++done, pages);
                kinds.push_back(velmora::PageKind::Document);
            }
        }
        parts << text;
        if (done < pages) {
            const QString scan = folder + QStringLiteral("/scan-%1.pdf").arg(done);
            const QString picture = folder + QStringLiteral("/scan-%1.png").arg(done);
            if (!ScannedPage().save(picture)) throw std::runtime_error("cannot write a scan");
            velmora::WriteImagePdf(picture, scan);
            parts << scan;
            kinds.push_back(velmora::PageKind::Picture);
            ++done;
        }
    }
    velmora::JoinPdfs(parts, packet);
    return kinds;
}

}  // namespace

int main(int argc, char* argv[]) {
    // As the program does, first thing.
    velmora::ReuseLargeAllocations();
    QGuiApplication app(argc, argv);
    int runs = 5, pages = 50;
    auto resolution = velmora::FaxResolution::Fine;
    const QStringList arguments = app.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--runs") && i + 1 < arguments.size())
            runs = arguments[++i].toInt();
        else if (arguments[i] == QLatin1String("--pages") && i + 1 < arguments.size())
            pages = arguments[++i].toInt();
        else if (arguments[i] == QLatin1String("--standard"))
            resolution = velmora::FaxResolution::Standard;
        else {
            std::fprintf(stderr, "usage: bench-fax-tiff [--runs N] [--pages N] [--standard]\n");
            return 2;
        }
    }
    try {
        QTemporaryDir folder;
        const QString packet = folder.filePath(QStringLiteral("packet.pdf"));
        const std::vector<velmora::PageKind> kinds = WritePacket(folder.path(), pages, packet);
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            velmora::WriteFaxTiff(packet, folder.filePath(QStringLiteral("packet.tif")), resolution,
                                  kinds);
            std::printf("%.1f\n", timer.nsecsElapsed() / 1.0e6);
            std::fflush(stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench-fax-tiff: %s\n", error.what());
        return 1;
    }
    return 0;
}
