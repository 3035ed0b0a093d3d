#pragma once

// PDFs made for tests, and what Poppler's own command-line readers (pdfinfo, pdftotext), which
// share no code with the program, make of them.

#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

namespace velmora::test {

// A program's standard output; a failure to run or a non-zero exit fails the test.
QString ToolOutput(const QString& program, const QStringList& arguments);

// pdfinfo's page count, -1 when it gives none.
int PdfPages(const QString& pdf);
// pdftotext's text of page `page` (from 1), spaces collapsed.
QString PdfPageText(const QString& pdf, int page);
// pdfinfo's "W x H pts" of page `page` (from 1).
QString PdfPageSize(const QString& pdf, int page);

// A PDF with one line of text a page, all of one size and orientation.
void WriteTextPdf(const QString& path, const QStringList& pages,
                  QPageSize::PageSizeId size = QPageSize::Letter,
                  QPageLayout::Orientation orientation = QPageLayout::Portrait);

}  // namespace velmora::test
