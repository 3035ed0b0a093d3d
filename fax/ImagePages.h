#pragma once

#include <QImage>
#include <QString>
#include <vector>

namespace velmora {

// The pictures of an image file as pages: one for a PNG or a JPEG, one per page of a TIFF
// (fax TIFFs included, whose pixels are twice as tall as wide at 204 x 98 dpi: each picture
// comes back with its dots per metre, so its shape on paper is kept). Throws Failure when the
// file cannot be read or a picture is larger than kMaxImagePixels.
std::vector<QImage> ReadImagePages(const QString& path);

// The most pixels a picture attached may have: 400 MB as the 32-bit pixels a picture is read
// and drawn with. PDFs attached are held to it too (PrepareAttachment): Poppler decodes each
// image of a page whole, at its full size whatever the scale the page is drawn at.
inline constexpr qint64 kMaxImagePixels = 100'000'000;

// Writes `pictures` as the pages of a new PDF at `target` (written whole), one picture to a
// US Letter page, fitted within half-inch margins, its shape kept, and centred. Throws Failure.
void WriteImagePdf(const std::vector<QImage>& pictures, const QString& target);

}  // namespace velmora
