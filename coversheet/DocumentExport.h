#pragma once

#include "coversheet/office/WordConnection.h"

#include <QString>

namespace velmora {

// The formats the finished document is saved in: the generated Word 97-2003 file itself,
// a PDF of its pages, the Word 2007-365 format, and a fax TIFF (made from the PDF, not by the
// office).
enum class DocumentFormat { Word97, Pdf, Docx, FaxTiff };

// The save dialog's filter, in the paired form "description|pattern|...", one pair per
// format in the order of DocumentFormat; the first is the default.
QString SaveFormatFilter();

// The format the save writes for a chosen name: the one its extension names (".doc",
// ".pdf", ".docx", ".tif" or ".tiff", in any letter case), otherwise `selectedFilter`'s.
DocumentFormat FormatForName(const QString& name, DocumentFormat selectedFilter);

// The name a save writes: `name` itself when its extension names a format, otherwise `name`
// with the selected filter's extension added (a PDF named "results" would open nowhere).
QString NameWithFormatExtension(const QString& name, DocumentFormat selectedFilter);

// Writes the generated document `source` to `target` as PDF or in the Word 2007-365 format,
// through an office instance of its own (one started ahead of need, where there is one):
// the office writes a new file beside the target, which replaces the target only once it is
// complete. Throws Failure, with the office's description when the office failed. `limits`
// bound the office's work on a document the program did not write itself.
void ExportDocument(const QString& source, const QString& target, DocumentFormat format,
                    const OfficeWorkLimits& limits = {});

}  // namespace velmora
