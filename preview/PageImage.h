#pragma once

#include "shell/Twips.h"

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QSizeF>

namespace velmora {

// A picture's resolution: its own resolution rounded to whole dots per inch (files store it
// per metre, so 384 dpi reads back as 383.997), or 96 dpi where it gives none.
QPointF PictureDpi(const QImage& picture);

// A picture's own size in twips: pixels × 1440 / dpi.
QSizeF PictureSizeTwips(const QImage& picture);

// Draws the part of `page` that starts at its top left corner and measures `sourceTwips`
// on a white pixmap measuring `targetTwips`, with device pixels for `devicePixelRatio`.
// The page is scaled smoothly from its full resolution, so a larger target shows more of
// its detail.
QPixmap RenderPage(const QImage& page, QSizeF sourceTwips, QSizeF targetTwips,
                   qreal devicePixelRatio);

}  // namespace velmora
