#include "PagePrinter.h"

#include "pdf/PdfDocument.h"
#include "shell/Failure.h"
#include "shell/ProgramEnding.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

namespace velmora {
namespace {

constexpr double kPointsPerInch = 72.0;

// The page's words over its picture, in ink nobody sees: each word scaled into its box.
void layInvisibleText(QPainter& painter, const Poppler::Page& page, double pixelsPerPoint) {
    painter.save();
    painter.setPen(QColor(0, 0, 0, 0));
    for (const auto& word : page.textList()) {
        const QRectF box = word->boundingBox();
        if (word->text().isEmpty() || box.height() <= 0) continue;
        QFont font = painter.font();
        font.setPixelSize(std::max(1, int(box.height() * pixelsPerPoint * 0.8)));
        painter.setFont(font);
        const QFontMetricsF metrics(font, painter.device());
        const double width = metrics.horizontalAdvance(word->text());
        painter.save();
        painter.translate(box.left() * pixelsPerPoint,
                          box.bottom() * pixelsPerPoint - metrics.descent());
        if (width > 0) painter.scale(box.width() * pixelsPerPoint / width, 1.0);
        painter.drawText(QPointF(0, 0), word->text());
        painter.restore();
    }
    painter.restore();
}

}  // namespace

PagePrinter::PagePrinter(const QString& pdfFile) : document_(LoadPdf(pdfFile)), pdfFile_(pdfFile) {
    if (document_->numPages() < 1)
        throw Failure(
            QStringLiteral("The pages to print could not be read from '%1'.").arg(pdfFile));
    document_->setRenderHint(Poppler::Document::Antialiasing);
    document_->setRenderHint(Poppler::Document::TextAntialiasing);
    document_->setPaperColor(Qt::white);
}

PagePrinter::~PagePrinter() = default;

int PagePrinter::pageCount() const {
    return document_->numPages();
}

bool PagePrinter::print(QPrinter& printer, const Progress& progress) const {
    std::vector<int> pages;  // 0-based
    const QPageRanges chosen = printer.pageRanges();
    for (int number = 1; number <= pageCount(); ++number)
        if (chosen.isEmpty() || chosen.contains(number)) pages.push_back(number - 1);
    if (pages.empty())
        throw Failure(QStringLiteral("The pages chosen are not in the document, which has %1.")
                          .arg(pageCount()));
    if (printer.pageOrder() == QPrinter::LastPageFirst) std::reverse(pages.begin(), pages.end());

    // Copies the printer does not make itself are printed here, collated as it asks.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    std::vector<int> sheets;
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            sheets.insert(sheets.end(), pages.begin(), pages.end());
    } else {
        for (const int page : pages) sheets.insert(sheets.end(), size_t(copies), page);
    }

    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        throw Failure(QStringLiteral("The printer '%1' cannot print.").arg(printer.printerName()));
    const int resolution = printer.resolution();
    const int renderDpi = std::clamp(resolution, 300, 600);
    const QRectF paper = printer.pageLayout().fullRectPixels(resolution);
    for (size_t i = 0; i < sheets.size(); ++i) {
        if (ProgramEnding() || (progress && !progress(int(i), int(sheets.size())))) {
            printer.abort();
            painter.end();
            // Printed to a file, the job given up is half a document: it goes.
            if (!printer.outputFileName().isEmpty()) QFile::remove(printer.outputFileName());
            return false;
        }
        const std::unique_ptr<Poppler::Page> page = document_->page(sheets[i]);
        if (!page) throw Failure(QStringLiteral("Page %1 could not be read.").arg(sheets[i] + 1));
        if (i > 0 && !printer.newPage())
            throw Failure(QStringLiteral("The printer refused a new page."));

        // A page larger than the paper is made smaller to fit; any other keeps its size.
        const QSizeF points = page->pageSizeF();
        const double actual = resolution / kPointsPerInch;
        const double pixelsPerPoint =
            std::min({actual, paper.width() / points.width(), paper.height() / points.height()});
        const QSizeF size = points * pixelsPerPoint;
        const QImage picture = page->renderToImage(renderDpi * pixelsPerPoint / actual,
                                                   renderDpi * pixelsPerPoint / actual);
        if (picture.isNull())
            throw Failure(QStringLiteral("Page %1 could not be rendered.").arg(sheets[i] + 1));

        painter.save();
        painter.translate((paper.width() - size.width()) / 2, (paper.height() - size.height()) / 2);
        painter.drawImage(QRectF(QPointF(0, 0), size), picture);
        layInvisibleText(painter, *page, pixelsPerPoint);
        painter.restore();
    }
    if (!painter.end()) throw Failure(QStringLiteral("The printer could not finish the job."));
    if (progress) progress(int(sheets.size()), int(sheets.size()));
    return true;
}

bool RunPrintDialog(QWidget* parent, QPrinter& printer) {
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace velmora
