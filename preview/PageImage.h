#pragma once

#include "fax/FaxPages.h"
#include "shell/Twips.h"

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QSizeF>
#include <QString>

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

// Page `index` of `pdf`, showing `kind`, as the fax prints it (FaxPage), on the scale of the
// office's pictures: its dots drawn as many to the inch as the fax's, times the pictures' own
// ratio. Its text goes to `text`. Throws Failure.
QImage FaxViewPicture(const QString& pdf, int index, FaxResolution resolution, QString* text,
                      PageKind kind = PageKind::Document);

}  // namespace velmora
