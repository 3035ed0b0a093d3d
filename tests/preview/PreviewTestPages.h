#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace velmora::test {

// Writes a Windows bitmap of a fax cover page, `pixels` large, whose resolution field
// says `dpi`: coarse headings and fine print, so that zooming shows whether detail
// survives.
void WritePagePicture(const QString& path, QSize pixels = {1360, 1760}, int dpi = 384,
                      const QString& heading = QStringLiteral("FAX"));

void WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);

// Every byte value, and enough of them to take several reads.
QByteArray SampleDocument(char tag, qsizetype size = 200 * 1024);

}  // namespace velmora::test
