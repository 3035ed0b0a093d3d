#include "PdfReaders.h"

#include <gtest/gtest.h>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>

namespace velmora::test {

QString ToolOutput(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0)
        << program.toStdString() << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int PdfPages(const QString& pdf) {
    const QRegularExpressionMatch found = QRegularExpression(QStringLiteral("\nPages: +(\\d+)\n"))
                                              .match(ToolOutput(QStringLiteral("pdfinfo"), {pdf}));
    return found.hasMatch() ? found.captured(1).toInt() : -1;
}

QString PdfPageText(const QString& pdf, int page) {
    return ToolOutput(QStringLiteral("pdftotext"),
                      {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                       QString::number(page), pdf, QStringLiteral("-")})
        .simplified();
}

QString PdfPageSize(const QString& pdf, int page) {
    const QRegularExpressionMatch found =
        QRegularExpression(QStringLiteral("size: +([\\d.]+ x [\\d.]+) pts"))
            .match(ToolOutput(QStringLiteral("pdfinfo"),
                              {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                               QString::number(page), pdf}));
    return found.captured(1);
}

void WriteTextPdf(const QString& path, const QStringList& pages, QPageSize::PageSizeId size,
                  QPageLayout::Orientation orientation) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(size));
    writer.setPageOrientation(orientation);
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("Liberation Sans"), 24));
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0) writer.newPage();
        painter.drawText(QPointF(300, 600), pages[i]);
    }
}

}  // namespace velmora::test
