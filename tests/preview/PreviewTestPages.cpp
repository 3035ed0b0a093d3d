#include "PreviewTestPages.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <cmath>

namespace velmora::test {

void WritePagePicture(const QString& path, QSize pixels, int dpi, const QString& heading) {
    QImage page(pixels, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
    page.setDotsPerMeterY(page.dotsPerMeterX());
    QPainter painter(&page);
    const int unit = pixels.width() / 85;  // about a tenth of an inch on a letter page
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(unit * 8);
    painter.setFont(font);
    painter.drawText(QRect(0, unit * 5, pixels.width(), unit * 10), Qt::AlignCenter, heading);
    font.setPixelSize(unit * 5 / 2);
    painter.setFont(font);
    int y = unit * 22;
    for (const char* field : {"To:", "Fax:", "From:", "Pages:", "Date:", "Re:"}) {
        painter.drawText(unit * 8, y, QLatin1String(field));
        painter.drawLine(unit * 22, y, pixels.width() - unit * 8, y);
        y += unit * 5;
    }
    font.setPixelSize(std::max(1, unit * 11 / 10));
    painter.setFont(font);
    for (int line = 1; line <= 40; ++line, y += unit * 16 / 10)
        painter.drawText(unit * 8, y,
                         QStringLiteral("%1. Fine print, legible only when zoomed in.").arg(line));
    painter.drawRect(2, 2, pixels.width() - 5, pixels.height() - 5);
    painter.end();
    ASSERT_TRUE(page.save(path, "BMP")) << path.toStdString();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SampleDocument(char tag, qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + tag) & 0xff);
    return bytes;
}

}  // namespace velmora::test
