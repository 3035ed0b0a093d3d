#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace velmora {

// A white surface that shows either the picture assigned to it, at the picture's own size,
// or, once something was drawn into it, the drawn image, which it keeps until it is given
// a new picture.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent);

    // A sunken border two pixels wide on every side, inside the box's size.
    void setSunkenBorder(bool sunken);

    void setPicture(QImage picture);
    void clearPicture() { picture_ = QImage(); }
    const QImage& picture() const { return picture_; }

    void setDrawnImage(QPixmap image);
    const QPixmap& drawnImage() const { return drawn_; }

signals:
    void painted();  // after every paint

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QPixmap drawn_;
    bool sunken_ = false;
};

}  // namespace velmora
