#include "FaxTestFiles.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>

namespace velmora::test {

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

QString Output(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(30000)) << program;
    EXPECT_EQ(process.exitCode(), 0)
        << program << QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace velmora::test
