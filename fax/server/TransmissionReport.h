#pragma once

#include "SentFax.h"

#include <QPageSize>
#include <QRectF>
#include <QString>

class QLocale;
class QPainter;

namespace velmora {

// The transmission report of a fax sent from here: the office's proof that it went, on one page.
// A title, then a table of what was sent where and what became of it (job and server,
// recipient, number, the receiving machine's id, pages sent of all, the times in the locale's
// long format of local time, the duration, resolution, tries, result), then the first page of
// the fax as sent (its cover), reduced to about a third of the page's width and framed. A fax
// whose kept copy is gone or cannot be read still gets its report, saying so where the cover
// would be.
//
// There is no time the server began sending: the duration runs from the hand-over to the server
// (or the time it was set to send at, when that is later) to the end, and says so.

// The paper the report is written on in `locale`: Letter in the United States, A4 elsewhere.
QPageSize::PageSizeId TransmissionReportPaper(const QLocale& locale);

// Writes the report of `fax` to `target`, a PDF of one page on the locale's paper (above), with
// real text; the file is replaced whole (AtomicFile). Throws Failure with plain words.
void WriteTransmissionReport(const SentFax& fax, const QString& target);

// Draws the report of `fax` with `painter` on `page`, the whole sheet in the painter's
// coordinates (the report keeps margins of its own), whatever the device: a PDF, a printer.
// The cover is drawn from the kept copy (RenderPdfPage); a copy that cannot be read is not a
// failure.
void DrawTransmissionReport(const SentFax& fax, QPainter& painter, const QRectF& page);

}  // namespace velmora
