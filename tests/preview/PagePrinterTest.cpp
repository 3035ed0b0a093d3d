// Printing a PDF's pages through a QPrinter that writes a PDF file, read back with Poppler's
// command-line tools.
#include "TestSupport.h"
#include "preview/PagePrinter.h"
#include "shell/Failure.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace velmora {
namespace {

QString Output(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(30000);
    return QString::fromUtf8(tool.readAllStandardOutput());
}

// Two Letter pages reading "First page" and "Second page".
void WriteTwoPages(const QString& file) {
    QPdfWriter pdf(file);
    pdf.setPageSize(QPageSize(QPageSize::Letter));
    QPainter painter(&pdf);
    QFont font = painter.font();
    font.setPointSize(24);
    painter.setFont(font);
    painter.drawText(QPointF(600, 1200), QStringLiteral("First page"));
    pdf.newPage();
    painter.drawText(QPointF(600, 1200), QStringLiteral("Second page"));
}

TEST(PagePrinter, PrintsTheChosenPagesAndCopiesFittedToThePaperWithTheirText) {
    const QTemporaryDir folder(test::TestFolder() + QStringLiteral("/print-XXXXXX"));
    const QString source = folder.filePath(QStringLiteral("pages.pdf"));
    WriteTwoPages(source);
    const PagePrinter pages(source);
    EXPECT_EQ(pages.pageCount(), 2);

    const struct {
        const char* name;
        QPageSize::PageSizeId paper;
        int copies;
        int from, to;  // 0: every page
        QString pageSize;
        QStringList texts;  // page by page
    } cases[] = {
        {"letter", QPageSize::Letter, 1, 0, 0, "612 x 792", {"First page", "Second page"}},
        // A4 is narrower: the page is made smaller to fit it.
        {"a4 copies", QPageSize::A4, 2, 2, 2, "595 x 842", {"Second page", "Second page"}},
        {"legal", QPageSize::Legal, 1, 1, 1, "612 x 1008", {"First page"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString printed = folder.filePath(QLatin1String(c.name) + QStringLiteral(".pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        printer.setPageSize(QPageSize(c.paper));
        printer.setCopyCount(c.copies);
        if (c.from) printer.setFromTo(c.from, c.to);
        pages.print(printer);

        const QString info = Output(QStringLiteral("pdfinfo"), {printed});
        EXPECT_TRUE(
            info.contains(QRegularExpression(QStringLiteral("\nPages: +%1\n").arg(c.texts.size()))))
            << info;
        EXPECT_TRUE(info.contains(QRegularExpression("Page size: +" + c.pageSize + " pts")))
            << info;
        for (int page = 1; page <= c.texts.size(); ++page) {
            const QString text =
                Output(QStringLiteral("pdftotext"),
                       {"-f", QString::number(page), "-l", QString::number(page), printed, "-"});
            EXPECT_EQ(text.simplified(), c.texts[page - 1]);
        }
        // The page's picture has at least 300 dpi: 2550 pixels across a Letter page, or the
        // fitted part of it.
        const QStringList images =
            Output(QStringLiteral("pdfimages"), {"-list", printed}).split('\n', Qt::SkipEmptyParts);
        ASSERT_GT(images.size(), 2);
        EXPECT_GE(images[2].split(' ', Qt::SkipEmptyParts).value(3).toInt(), 2480) << images[2];
    }

    // Pages the document does not have.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath(QStringLiteral("none.pdf")));
    printer.setFromTo(3, 4);
    EXPECT_THROW(pages.print(printer), Failure);
    EXPECT_THROW(PagePrinter(folder.filePath(QStringLiteral("missing.pdf"))), Failure);

    // Progress before every sheet; a cancel gives the job up after the sheet printed.
    QPrinter cancelled(QPrinter::HighResolution);
    cancelled.setOutputFormat(QPrinter::PdfFormat);
    cancelled.setOutputFileName(folder.filePath(QStringLiteral("cancelled.pdf")));
    QList<int> told;
    EXPECT_FALSE(pages.print(cancelled, [&](int printed, int sheets) {
        told << printed << sheets;
        return printed == 0;
    }));
    EXPECT_EQ(told, (QList<int>{0, 2, 1, 2}));
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("cancelled.pdf"))))
        << "the job given up leaves no file";
}

}  // namespace
}  // namespace velmora
