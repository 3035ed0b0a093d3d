// The transmission report of a fax, read back with Poppler's command-line readers: every value
// in its words, one page on the locale's paper, the cover as a picture, and a report still made
// when the fax's kept copy is gone.
#include "fax/server/TransmissionReport.h"

#include "PdfReaders.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QTemporaryDir>

namespace velmora {
namespace {

using test::PdfPages;
using test::PdfPageSize;
using test::PdfPageText;
using test::ToolOutput;

// The default locale, for as long as it lives.
class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedLocale() { QLocale::setDefault(previous_); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    QLocale previous_;
};

// pdfimages' list of the pictures in `pdf`, one line each (its two heading lines left out).
QStringList Pictures(const QString& pdf) {
    QStringList lines = ToolOutput(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf})
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(2);
}

SentFax ReportedFax(const QString& document) {
    SentFax fax;
    fax.server = QStringLiteral("fax.example.org:4559");
    fax.jobId = QStringLiteral("4711");
    fax.recipient = QStringLiteral("Ann Smith");
    fax.company = QStringLiteral("Smith & Daughters");
    fax.number = QStringLiteral("+1 555 0100");
    fax.submitted = QDateTime(QDate(2024, 3, 5), QTime(10, 0), Qt::UTC);
    fax.resolution = FaxResolution::Standard;
    fax.document = document;
    fax.pagesSent = 4;
    fax.pagesTotal = 4;
    fax.tries = 2;
    return fax;
}

class TransmissionReportTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return folder.filePath(QLatin1String(name)); }
    QTemporaryDir folder;
};

TEST_F(TransmissionReportTest, ASentFaxsReportReadsEveryValueAndShowsTheCover) {
    const ScopedLocale locale(QLocale(QLocale::English, QLocale::UnitedStates));
    test::WriteTextPdf(path("sent.pdf"),
                       {QStringLiteral("COVER FOR ANN SMITH"), QStringLiteral("Contract"),
                        QStringLiteral("Terms"), QStringLiteral("Signature")});
    SentFax fax = ReportedFax(path("sent.pdf"));
    fax.state = FaxJobState::Done;
    fax.remoteStation = QStringLiteral("+1 555 0100 SMITH");
    // Set to go half an hour after the hand-over: the duration runs from then.
    fax.sendAt = fax.submitted.addSecs(30 * 60);
    fax.finished = fax.sendAt.addSecs(3 * 60 + 25);

    WriteTransmissionReport(fax, path("report.pdf"));

    EXPECT_EQ(PdfPages(path("report.pdf")), 1);
    EXPECT_EQ(PdfPageSize(path("report.pdf"), 1), QStringLiteral("612 x 792"));
    const QString text = PdfPageText(path("report.pdf"), 1);
    for (const char* words :
         {"Fax Transmission Report", "4711 on fax.example.org:4559", "Ann Smith, Smith & Daughters",
          "+1 555 0100", "4 of 4", "+1 555 0100 SMITH", "Standard (204 × 98 dpi)", "Sent",
          " 3 min 25 s (from the time set for sending to end)", "March", "2024",
          "The first page as sent (the cover)"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words << "\n" << text;

    // The cover, and only it, as a picture that shows its words: dark dots on white paper.
    ASSERT_EQ(Pictures(path("report.pdf")).size(), 1) << Pictures(path("report.pdf")).join('\n');
    ToolOutput(QStringLiteral("pdfimages"),
               {QStringLiteral("-png"), path("report.pdf"), path("picture")});
    const QImage cover(path("picture-000.png"));
    ASSERT_FALSE(cover.isNull());
    EXPECT_GT(cover.width(), 500);
    qint64 dark = 0;
    for (int y = 0; y < cover.height(); ++y)
        for (int x = 0; x < cover.width(); ++x) dark += qGray(cover.pixel(x, y)) < 0x80;
    EXPECT_GT(dark, 200);
    EXPECT_LT(dark, qint64(cover.width()) * cover.height() / 20);
}

TEST_F(TransmissionReportTest, AReportIsWrittenWhenTheFaxAsSentIsGoneOrUnreadable) {
    const ScopedLocale locale(QLocale(QLocale::German, QLocale::Germany));
    QFile damaged(path("damaged.pdf"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("%PDF-1.4 and nothing after it");
    damaged.close();
    for (const char* document : {"gone.pdf", "damaged.pdf"}) {
        SCOPED_TRACE(document);
        SentFax fax = ReportedFax(path(document));
        fax.state = FaxJobState::Failed;
        fax.status = QStringLiteral("No carrier detected");
        fax.pagesSent = 1;
        fax.finished = fax.submitted.addSecs(3600 + 2 * 60 + 7);

        WriteTransmissionReport(fax, path("report.pdf"));

        EXPECT_EQ(PdfPages(path("report.pdf")), 1);
        EXPECT_EQ(PdfPageSize(path("report.pdf"), 1), QStringLiteral("595 x 842"));
        const QString text = PdfPageText(path("report.pdf"), 1);
        for (const char* words :
             {"(the fax as sent is no longer kept)", "Failed: No carrier detected", "1 of 4",
              "not given", "1 h 2 min 7 s (from hand-over to end)"})
            EXPECT_TRUE(text.contains(QLatin1String(words))) << words << "\n" << text;
        EXPECT_TRUE(Pictures(path("report.pdf")).isEmpty());
    }
}

}  // namespace
}  // namespace velmora
