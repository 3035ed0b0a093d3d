#include "PictureBox.h"

#include "PageImage.h"

#include <qdrawutil.h>
#include <QPainter>

namespace velmora {

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
}

void PictureBox::setPicture(QImage picture) {
    picture_ = std::move(picture);
    drawn_ = QPixmap();
    update();
}

void PictureBox::setSunkenBorder(bool sunken) {
    sunken_ = sunken;
    setContentsMargins(sunken ? QMargins(2, 2, 2, 2) : QMargins());
    update();
}

void PictureBox::setDrawnImage(QPixmap image) {
    drawn_ = std::move(image);
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!drawn_.isNull()) {
        painter.drawPixmap(QPointF(0, 0), drawn_);
    } else if (!picture_.isNull()) {
        const QSizeF size = PictureSizeTwips(picture_) / kTwipsPerPixel;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), size), picture_);
    }
    if (sunken_) qDrawWinPanel(&painter, rect(), palette(), true);
    painter.end();
    emit painted();
}

}  // namespace velmora
