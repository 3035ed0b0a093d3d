#pragma once

#include <QImage>
#include <QString>

namespace velmora {

// Page `index` (from 0) of the PDF file `pdf`, drawn on white paper at `dpi` and tagged with
// `pictureDpi` as its resolution (the preview's pictures say 384 dpi for pixels drawn at 160).
// The page's text goes to `text` when asked for. Throws Failure naming the file and the page
// when it cannot be drawn.
QImage RenderPdfPage(const QString& pdf, int index, int dpi, int pictureDpi,
                     QString* text = nullptr);

// The text of page `index` (from 0) of `pdf`, as Poppler reads it; empty where there is none
// or the page cannot be read.
QString PageTextOf(const QString& pdf, int index);

}  // namespace velmora
