#pragma once

#include <QSize>
#include <QString>
#include <QStringList>

namespace velmora {

// The number of pages of the PDF file `path`. Throws Failure, naming the file, when it is not
// a PDF, is damaged beyond repair, or cannot be opened without a password.
int PdfPageCount(const QString& path);

// The pixels across and down of the largest image (by pixel count) the pages of the PDF file
// `path` draw: image objects (/Width x /Height, in page resources, forms, patterns and
// annotations alike) and images inline in a content stream (/W x /H) of a page or of a form.
// Poppler decodes an image whole, at its full size whatever the scale it is drawn at (4 bytes
// a pixel in the preview: 3.6 GB for 30000 x 30000), so this is what bounds the memory a PDF's
// pictures take to draw. An empty size when there is none. Throws Failure as PdfPageCount.
QSize LargestPdfImage(const QString& path);

// Writes the pages of `inputs`, in their order, as one PDF to `target`, written whole
// (AtomicFile). A PDF protected only against changes is read as any reader reads it; the new
// file carries no protection. Returns how many pages it has. Throws Failure naming the input
// that could not be read.
//
// What a page could do of itself when it is opened or looked at is left out: actions that run
// scripts, start programs, fetch, submit or play anything (a page's and an annotation's own
// actions, links other than to a page or a web address, attached files, sound and film), as
// are the documents' own opening actions and scripts. The pages look as they did.
int JoinPdfs(const QStringList& inputs, const QString& target);

}  // namespace velmora
