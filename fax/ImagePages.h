#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <vector>

namespace velmora {

// The most dots one picture may have, and the most all the pictures of one file may have
// together (a TIFF of many pages): about five hundred fax pages, or twenty of the largest
// pictures. A picture's limit is 400 MB as the 32-bit pixels a picture is read and drawn with.
// PDFs attached are held to it too (PrepareAttachment): Poppler decodes each image of a page
// whole, at its full size whatever the scale the page is drawn at.
inline constexpr qint64 kMaxImagePixels = 100'000'000;
inline constexpr qint64 kMaxImageFilePixels = 2'000'000'000;

// The pictures of an image file as pages, read one at a time: one for a PNG or a JPEG, one per
// page of a TIFF (fax TIFFs included, whose pixels are twice as tall as wide at 204 x 98 dpi:
// each picture comes with its dots per metre, so its shape on paper is kept). A TIFF's
// black-and-white pages come 1 bit a dot (Format_Mono, colour 0 black and 1 white), its
// others as Format_RGB32 on white paper. Opening reads the sizes of all the pictures (not
// their dots) and throws Failure when one is larger than kMaxImagePixels or all of them
// together more than kMaxImageFilePixels, or when the file cannot be read.
class ImagePages {
public:
    explicit ImagePages(const QString& path);
    ~ImagePages();
    ImagePages(const ImagePages&) = delete;
    ImagePages& operator=(const ImagePages&) = delete;

    int count() const { return count_; }
    // The next picture, in the file's order. Throws Failure.
    QImage next();

private:
    struct Tiff;
    QString path_;
    int count_ = 0;
    int read_ = 0;
    std::unique_ptr<Tiff> tiff_;  // a TIFF's pages; else the one picture, read by Qt
};

// Writes the pictures of the image file `source` as the pages of a new PDF at `target`
// (written whole), one picture to a US Letter page, fitted within half-inch margins, its shape
// kept, and centred. One picture is in memory at a time, and a 1-bit picture goes into the
// PDF as 1 bit a dot (a fax TIFF's PDF stays about the TIFF's size). Between pictures it tells
// its job how far it has come and stops when the job is given up (ThrowIfJobCancelled).
// Returns the number of pages. Throws Failure (or JobGivenUp), leaving `target` as it was.
int WriteImagePdf(const QString& source, const QString& target);

// Writes `pages` (scanned) as the pages of a new PDF at `target` (written whole), each page
// the size of its picture at the picture's resolution (200 dpi where it has none), filled by
// it; a 1-bit picture as 1 bit a dot. Tells its job how far it has come and stops when the job
// is given up. Throws Failure (or JobGivenUp), leaving `target` as it was.
void WritePagesPdf(const std::vector<QImage>& pages, const QString& target);

}  // namespace velmora
