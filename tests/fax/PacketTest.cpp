// The packet behind the cover: documents of every accepted kind turned into PDF pages and
// joined behind the cover, judged by Poppler's own command-line readers; bad files refused with
// a reason and nothing left behind.
#include "fax/FaxPages.h"
#include "fax/Packet.h"
#include "fax/PdfFiles.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/TempFolder.h"

#include "PdfReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

namespace velmora {
namespace {

using test::PdfPages;
using test::PdfPageText;
using test::ToolOutput;
using test::WriteTextPdf;

QImage Picture(QColor colour, QSize size = {400, 300}) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QStringList AttachmentsInTemp() {
    return QDir(TempFolder())
        .entryList({QStringLiteral("velmora-attachment-*")}, QDir::Files | QDir::Hidden);
}

const OfficeToPdf kNoOffice = [](const QString&, const QString&) {
    FAIL() << "no office document here";
};

class PacketTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return folder.filePath(QLatin1String(name)); }
    QTemporaryDir folder;
};

TEST_F(PacketTest, EveryKindOfDocumentGoesBehindTheCoverInTheChosenOrder) {
    WriteTextPdf(path("cover.pdf"), {"COVER SHEET"}, QPageSize::Letter);
    WriteTextPdf(path("contract.pdf"), {"Contract one", "Contract two", "Contract three"},
                 QPageSize::Letter);
    WriteTextPdf(path("form.pdf"), {"Form on A4"}, QPageSize::A4);
    ASSERT_TRUE(Picture(Qt::blue).save(path("photo.png")));
    ASSERT_TRUE(Picture(Qt::red, {300, 400}).save(path("scan.JPG")));
    // A fax TIFF of two pages made by another program, at the fax's 204 x 98 dpi.
    ASSERT_TRUE(Picture(Qt::white, {1728, 1100}).save(path("page.png")));
    ToolOutput(QStringLiteral("convert"),
               {QStringLiteral("-units"), QStringLiteral("PixelsPerInch"),
                QStringLiteral("-density"), QStringLiteral("204x98"), path("page.png"),
                path("page.png"), QStringLiteral("-monochrome"), QStringLiteral("-compress"),
                QStringLiteral("Group4"), path("fax.tif")});

    Packet packet;
    const struct {
        const char* name;
        int pages;
    } documents[] = {
        {"contract.pdf", 3}, {"form.pdf", 1}, {"photo.png", 1}, {"scan.JPG", 1}, {"fax.tif", 2}};
    for (const auto& document : documents) {
        SCOPED_TRACE(document.name);
        Attachment attached = PrepareAttachment(path(document.name), kNoOffice);
        EXPECT_EQ(attached.pages, document.pages);
        EXPECT_EQ(PdfPages(attached.pdf), document.pages);
        packet.add(std::move(attached));
    }
    EXPECT_EQ(packet.attachedPages(), 8);

    JoinPdfs(packet.pdfs(path("cover.pdf")), path("packet.pdf"));
    EXPECT_EQ(PdfPages(path("packet.pdf")), 9);
    EXPECT_EQ(PdfPageText(path("packet.pdf"), 1), QStringLiteral("COVER SHEET"));
    EXPECT_EQ(PdfPageText(path("packet.pdf"), 4), QStringLiteral("Contract three"));
    EXPECT_EQ(PdfPageText(path("packet.pdf"), 5), QStringLiteral("Form on A4"));

    // The form first, the photo gone (and its pages with it).
    const QString photoPdf = packet.attachments()[2].pdf;
    packet.move(1, 0);
    packet.remove(2);
    EXPECT_FALSE(QFile::exists(photoPdf));
    EXPECT_EQ(packet.attachedPages(), 7);
    JoinPdfs(packet.pdfs(path("cover.pdf")), path("packet.pdf"));
    EXPECT_EQ(PdfPages(path("packet.pdf")), 8);
    EXPECT_EQ(PdfPageText(path("packet.pdf"), 2), QStringLiteral("Form on A4"));
    EXPECT_EQ(PdfPageText(path("packet.pdf"), 3), QStringLiteral("Contract one"));
    EXPECT_EQ(AttachmentsInTemp().size(), 4);
}

TEST_F(PacketTest, ABadFileIsRefusedWithItsReasonAndLeavesNothing) {
    WriteTextPdf(path("plain.pdf"), {"Secret"}, QPageSize::Letter);
    {
        QPDF plain;
        plain.processFile(QFile::encodeName(path("plain.pdf")).constData());
        QPDFWriter locked(plain, QFile::encodeName(path("locked.pdf")).constData());
        locked.setR6EncryptionParameters("user", "owner", true, true, true, true, true, true,
                                         qpdf_r3p_full, true);
        locked.write();
    }
    QFile(path("empty.pdf")).open(QIODevice::WriteOnly);
    QFile text(path("notes.pdf"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Just some notes, not a PDF at all.\n");
    text.close();
    QFile damaged(path("damaged.pdf"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("%PDF-1.7\n1 0 obj << /Type /Catalog >> endobj\ntrailer << >>\n%%EOF\n");
    damaged.close();
    ASSERT_TRUE(Picture(Qt::green).save(path("really-a.png"), "PNG"));
    QFile::copy(path("really-a.png"), path("photo.jpg"));
    QFile::copy(path("really-a.png"), path("program.exe"));

    const struct {
        const char* name;
        const char* reason;
    } cases[] = {
        {"missing.pdf", "does not exist"},
        {"empty.pdf", "is empty"},
        {"locked.pdf", "protected by a password"},
        {"notes.pdf", "not the .pdf file its name says"},
        {"damaged.pdf", "not a PDF file that can be read"},
        {"photo.jpg", "not the .jpg file its name says"},
        {"program.exe", "cannot be attached"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            PrepareAttachment(path(c.name), kNoOffice);
            ADD_FAILURE() << "attached";
        } catch (const Failure& failure) {
            const QString message = QString::fromStdString(failure.what());
            EXPECT_TRUE(message.contains(QLatin1String(c.reason))) << message;
            EXPECT_TRUE(message.contains(path(c.name))) << message;
        }
    }
    EXPECT_TRUE(AttachmentsInTemp().isEmpty()) << AttachmentsInTemp().join(", ");

    // The pages of a PDF are read through one loader, which tells the same reasons.
    const auto refusal = [&](const char* name) {
        try {
            FaxPages{path(name)};
        } catch (const Failure& failure) {
            return QString::fromStdString(failure.what());
        }
        return QStringLiteral("read");
    };
    for (const auto& c : {cases[0], cases[2], cases[4]}) {
        const QString message = refusal(c.name);
        EXPECT_TRUE(message.contains(QLatin1String(c.reason)) && message.contains(path(c.name)))
            << message;
    }
}

}  // namespace
}  // namespace velmora
