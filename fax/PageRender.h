#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QVariant>

namespace velmora {

// The most pixels a page is drawn with: a page that would take more at the asked resolution
// (a poster, or the 200 x 200 inches a PDF page may measure: 32000 x 32000 pixels at 160 dpi,
// 4 GB) is drawn whole at the resolution that fits, its shape kept. Eight million pixels, 32 MB
// as RGB32, draw Letter, Legal, A3 and tabloid pages at 160 dpi as they are; a square page of
// any size comes out small enough for the preview to draw it at zoom 1 (ViewportModel's image
// limits). Neither side is longer than kMaxPageSide (which keeps a strip of a page within the
// preview's scroll bars).
inline constexpr qint64 kMaxPagePixels = 8'000'000;
inline constexpr int kMaxPageSide = 32'000;

// The resolution page `points` (its size in points) is drawn at when `dpi` is asked for: `dpi`,
// or less where that would take more than kMaxPagePixels or a side longer than kMaxPageSide.
double PageDrawingDpi(QSizeF points, double dpi);

// Page `index` (from 0) of the PDF file `pdf`, drawn on white paper at `dpi` (within the budget
// above: PageDrawingDpi) and tagged with `pictureDpi` as its resolution (the preview's pictures
// say 384 dpi for pixels drawn at 160; a page drawn at less to fit the budget shows that much
// smaller). The page's text goes to `text` when asked for.
// Drawing stops as soon as the job it runs for is given up (JobGivenUp). Throws Failure naming
// the file and the page when it cannot be drawn.
QImage RenderPdfPage(const QString& pdf, int index, int dpi, int pictureDpi,
                     QString* text = nullptr);

// The text of page `index` (from 0) of `pdf`, as Poppler reads it; empty where there is none
// or the page cannot be read.
QString PageTextOf(const QString& pdf, int index);

// Poppler's question whether to stop drawing: whether the current thread's job was given up.
bool DrawingGivenUp(const QVariant&);

}  // namespace velmora
