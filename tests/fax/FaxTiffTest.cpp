// The packet as a fax TIFF: judged by HylaFAX's own check and by libtiff's tiffinfo, read back
// page by page, and written whole or not at all.
#include "fax/FaxTiff.h"
#include "fax/HylaFaxFiles.h"
#include "fax/ImagePages.h"
#include "fax/PdfFiles.h"
#include "shell/Failure.h"

#include "PdfReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace velmora {
namespace {

using test::ToolOutput;

TEST(FaxTiff, AFaxServerTakesThePacketAsItIsInFineAndInStandard) {
    QTemporaryDir folder;
    const auto path = [&](const char* name) { return folder.filePath(QLatin1String(name)); };
    // A packet of four pages: Letter, A4, Legal lying on its side, and a picture.
    test::WriteTextPdf(path("letter.pdf"), {"Letter page"}, QPageSize::Letter);
    test::WriteTextPdf(path("a4.pdf"), {"A4 page"}, QPageSize::A4);
    test::WriteTextPdf(path("legal.pdf"), {"Legal landscape"}, QPageSize::Legal,
                       QPageLayout::Landscape);
    QImage picture(600, 400, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    ASSERT_TRUE(picture.save(path("picture.png")));
    WriteImagePdf(path("picture.png"), path("picture.pdf"));
    ASSERT_EQ(JoinPdfs({path("letter.pdf"), path("a4.pdf"), path("legal.pdf"), path("picture.pdf")},
                       path("packet.pdf")),
              4);
    ASSERT_TRUE(QFileInfo(QLatin1String(hylafax::kTiffCheck)).isExecutable())
        << hylafax::kTiffCheck << " is missing: tools/install-deps.sh --tests installs it";

    for (const FaxResolution resolution : {FaxResolution::Fine, FaxResolution::Standard}) {
        const int lines = FaxLinesPerInch(resolution);
        SCOPED_TRACE(lines);
        const QString tiff = path(resolution == FaxResolution::Fine ? "fine.tif" : "standard.tif");
        ASSERT_EQ(WriteFaxTiff(path("packet.pdf"), tiff, resolution), 4);

        // HylaFAX sends it as it is: nothing to convert, resample or cut.
        const QString check = ToolOutput(QLatin1String(hylafax::kTiffCheck),
                                         {QStringLiteral("-r"), QString::number(lines), tiff})
                                  .trimmed();
        EXPECT_EQ(check, QStringLiteral("OK")) << check;

        const QStringList pages =
            ToolOutput(QStringLiteral("tiffinfo"), {tiff})
                .split(QRegularExpression(QStringLiteral("=== TIFF directory \\d+ ===")),
                       Qt::SkipEmptyParts);
        ASSERT_EQ(pages.size(), 4);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            const QString& page = pages[i];
            for (const QString& field :
                 {QStringLiteral("Image Width: 1728 "),
                  QStringLiteral("Resolution: 204, %1 pixels/inch").arg(lines),
                  QStringLiteral("Bits/Sample: 1\n"),
                  QStringLiteral("Compression Scheme: CCITT Group 3\n"),
                  QStringLiteral("Photometric Interpretation: min-is-white"),
                  QStringLiteral("FillOrder: lsb-to-msb"),
                  QStringLiteral("Group 3 Options: EOL padding (4 = 0x4)"),
                  QStringLiteral("Subfile Type: multi-page document"),
                  QStringLiteral("Page Number: %1-4").arg(i)})
                EXPECT_TRUE(page.contains(field)) << field << " not in\n" << page;
            // One strip of the whole page, of the page's own length.
            const auto number = [&](const char* name) {
                const auto match =
                    QRegularExpression(QLatin1String(name) + QStringLiteral(": (\\d+)"))
                        .match(page);
                return match.hasMatch() ? match.captured(1).toInt() : -1;
            };
            EXPECT_EQ(number("Rows/Strip"), number("Image Length"));
            EXPECT_EQ(number("Image Length"), FaxPageLines(resolution));
        }

        // Read back, every page is the one the fax view shows.
        ImagePages read(tiff);
        ASSERT_EQ(read.count(), 4);
        const FaxPages shown(path("packet.pdf"));
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            const QImage page = shown.page(i, resolution);
            const QImage back = read.next();
            EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32),
                      page.convertToFormat(QImage::Format_RGB32));
            EXPECT_EQ(back.dotsPerMeterY(), page.dotsPerMeterY());
        }
    }

    // A failed save leaves the file it was to replace, and nothing beside it.
    QFile notPdf(path("notes.pdf"));
    ASSERT_TRUE(notPdf.open(QIODevice::WriteOnly));
    notPdf.write("Not a PDF at all.\n");
    notPdf.close();
    const QByteArray before = [&] {
        QFile file(path("fine.tif"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const QStringList files = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_THROW(WriteFaxTiff(path("notes.pdf"), path("fine.tif")), Failure);
    QFile after(path("fine.tif"));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), files);
}

}  // namespace
}  // namespace velmora
