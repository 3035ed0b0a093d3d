#pragma once

#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

// What the fax tests make and read: PDFs of plain pages, and the words of command-line readers.
namespace velmora::test {

// A PDF with one line of text a page, all of one size and orientation.
void WriteTextPdf(const QString& path, const QStringList& pages, QPageSize::PageSizeId size,
                  QPageLayout::Orientation orientation = QPageLayout::Portrait);

// What `program` writes on standard output; a failure of the test unless it ends with 0 within
// 30 s.
QString Output(const QString& program, const QStringList& arguments);

}  // namespace velmora::test
