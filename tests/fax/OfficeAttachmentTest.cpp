// Office documents attached through the real office's export.
#include "coversheet/CoverSheet.h"
#include "coversheet/DocumentExport.h"
#include "fax/Packet.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace velmora {
namespace {

QString Text(const QString& pdf) {
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput()).simplified();
}

TEST(OfficeAttachment, DocDocxAndTextBecomePagesOfTheirOwn) {
    QTemporaryDir folder;
    const QString doc = folder.filePath(QStringLiteral("memo.doc"));
    const QString docx = folder.filePath(QStringLiteral("memo.docx"));
    const QString txt = folder.filePath(QStringLiteral("notes.txt"));
    // A Word 97-2003 document: the Standard sheet's template; its .docx made by the office.
    QFile file(doc);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(coversheet::LoadResData(104));
    file.close();
    ExportDocument(doc, docx, DocumentFormat::Docx);
    QFile notes(txt);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    for (int line = 1; line <= 80; ++line) notes.write("Line " + QByteArray::number(line) + "\n");
    notes.close();

    Packet packet;
    for (const QString& source : {doc, docx, txt})
        packet.add(PrepareAttachment(source, OfficeDocumentToPdf));
    const auto& attached = packet.attachments();
    EXPECT_EQ(attached[0].pages, 1);
    EXPECT_EQ(attached[1].pages, 1);
    EXPECT_EQ(attached[2].pages, 2) << "80 lines of text";
    EXPECT_TRUE(Text(attached[0].pdf).contains(QLatin1String("Fax"), Qt::CaseInsensitive));
    EXPECT_EQ(Text(attached[0].pdf), Text(attached[1].pdf));
    EXPECT_TRUE(Text(attached[2].pdf).contains(QLatin1String("Line 1 Line 2")));
    EXPECT_TRUE(Text(attached[2].pdf).contains(QLatin1String("Line 80")));
}

}  // namespace
}  // namespace velmora
