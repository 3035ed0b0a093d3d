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
    page.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
    {
        QPainter painter(&page);
        const double unit = pixels.width() / 85.0;  // a tenth of an inch on a letter page
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(static_cast<int>(unit * 8));
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRectF(0, unit * 5, pixels.width(), unit * 10), Qt::AlignCenter, heading);
        painter.setPen(QPen(Qt::black, unit * 0.3));
        painter.drawLine(QPointF(unit * 8, unit * 17),
                         QPointF(pixels.width() - unit * 8, unit * 17));
        font.setPixelSize(static_cast<int>(unit * 2.5));
        painter.setFont(font);
        const char* fields[] = {"To:", "Fax:", "From:", "Pages:", "Date:", "Re:"};
        double y = unit * 22;
        for (const char* field : fields) {
            painter.drawText(QPointF(unit * 8, y), QLatin1String(field));
            painter.drawLine(QPointF(unit * 22, y), QPointF(pixels.width() - unit * 8, y));
            y += unit * 5;
        }
        font.setBold(false);
        font.setPixelSize(std::max(1, static_cast<int>(unit * 1.1)));
        painter.setFont(font);
        for (int line = 0; line < 40; ++line) {
            painter.drawText(QPointF(unit * 8, y + line * unit * 1.6),
                             QStringLiteral("%1. The fine print of this cover sheet, line %1, "
                                            "readable only when the page is zoomed in.")
                                 .arg(line + 1));
        }
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(QRectF(2, 2, pixels.width() - 5, pixels.height() - 5));
    }
    ASSERT_TRUE(page.save(path, "BMP")) << path.toStdString();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QByteArray SampleDocument(char tag, qsizetype size) {
    QByteArray bytes;
    bytes.reserve(size);
    bytes.append(tag).append("\r\n\n\r");
    for (qsizetype i = bytes.size(); i < size; ++i)
        bytes.append(static_cast<char>((i * 7 + tag) & 0xff));
    return bytes;
}

}  // namespace velmora::test
