#pragma once

#include "FaxPages.h"

#include <QString>
#include <vector>

namespace velmora {

// Writes every page of the PDF `pdf` as the receiving fax machine prints it (FaxPages) to
// `target` as a fax TIFF, the TIFF Class F that fax servers take as it is (RFC 2306): one
// directory per page, 1728 dots wide, 204 dots per inch across and 196 (fine) or 98
// (standard) lines per inch down, 1 bit a dot with 0 white, CCITT Group 3 one-dimensional
// coding with every line's end on a byte boundary, bits least significant first, each page one
// strip, numbered n of the total. Pages are drawn on helper threads while the file is written.
// The file is written whole (AtomicFile): a failure leaves the old target as it was and no
// new file beside it. `kinds` tells what each page shows (PageKind), a page past its end a
// drawn document's. Returns the number of pages. Throws Failure.
int WriteFaxTiff(const QString& pdf, const QString& target,
                 FaxResolution resolution = FaxResolution::Fine,
                 const std::vector<PageKind>& kinds = {});

}  // namespace velmora
