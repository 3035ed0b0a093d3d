// Paper into the packet through SANE's own test scanner: a feeder scan in black and white
// joins the packet as one document of its pages, read back by Poppler's command-line readers;
// a scan given up in the dialog leaves nothing. The office stands in as the fake engine.
#include "PdfReaders.h"
#include "TestScanners.h"
#include "TestSupport.h"
#include "coversheet/OfficeJobs.h"
#include "fax/FaxPacket.h"
#include "preview/ScanDialog.h"
#include "scan/Scanner.h"
#include "shell/SettingsStore.h"
#include "shell/TempFolder.h"
#include "shell/TerminationSignals.h"
#include "tests/coversheet/FakeWord.h"

#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace velmora {
namespace {

using test::ToolOutput;

class ScanTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Pages come in slices with a pause between, so that a scan can be given up half-way.
        test::UseTestScanners(
            test::TestFolder(),
            {QStringLiteral("test-picture \"Color pattern\""), QStringLiteral("read-limit true"),
             QStringLiteral("read-limit-size 8192"), QStringLiteral("read-delay true"),
             QStringLiteral("read-delay-duration 20000")});
    }
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        test::WriteBytes(path("cover.doc"), test::SampleDocument('A'));
        QImage cover(340, 440, QImage::Format_RGB32);
        cover.fill(Qt::white);
        packet.setCoverDocument(path("cover.doc"));
        packet.setCoverPicture(cover);
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    // What the program made in the temporary folder.
    static QStringList working() {
        return QDir(TempFolder()).entryList({"velmora-*"}, QDir::Files);
    }

    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/scan-XXXXXX")};
    test::FakeWordLog log;
    test::FakeWordEngine engine{log};
    FaxPacket packet;
};

TEST_F(ScanTest, AFeederScanJoinsThePacketAsOneDocumentOfItsPagesInPlace) {
    test::WriteTextPdf(path("letter.pdf"), {"Letter one"});
    packet.attach({path("letter.pdf")});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !packet.attaching(); }, 30'000));
    ASSERT_EQ(packet.pageTotal(), 2);

    // The program's end on a kill, as its signal handling makes it: still its own after a scan
    // (the test backend takes SIGTERM for its reading, which ended the program untidied).
    const TerminationSignals handled([](int) {});
    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);

    Scanner scanner;
    std::vector<QImage> pages;
    QObject::connect(&scanner, &Scanner::pageScanned, &scanner,
                     [&](const ScannedPage& page) { pages.push_back(page.image); });
    std::optional<std::exception_ptr> outcome;
    scanner.scan({.device = QStringLiteral("test:0"),
                  .mode = ScanMode::BlackAndWhite,
                  .resolution = 200,
                  .source = ScanSource::Feeder,
                  .area = QSizeF(40, 50),
                  .pageLimit = 3},
                 [&](std::exception_ptr failure) { outcome = failure; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 60'000));
    ASSERT_FALSE(*outcome);
    ASSERT_EQ(pages.size(), 3u);
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
    for (const QImage& page : pages) {
        EXPECT_EQ(page.format(), QImage::Format_Mono);
        EXPECT_EQ(page.size(), QSize(314, 393)) << "40 x 50 mm at 200 dpi, as the scanner rounds";
        EXPECT_EQ(page.dotsPerMeterX(), 7874);
    }

    packet.attachPages(pages);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !packet.attaching(); }, 30'000));
    ASSERT_EQ(packet.count(), 2);
    const Attachment& scan = packet.documents().attachments()[1];
    EXPECT_EQ(scan.source, QStringLiteral("Scan, 3 pages"));
    EXPECT_EQ(scan.pages, 3);
    EXPECT_EQ(scan.kind, PageKind::Document) << "black and white is thresholded as text";
    EXPECT_EQ(packet.attachedPages(), 4) << "what the cover counts when it is made";
    EXPECT_EQ(packet.pageTotal(), 5);
    EXPECT_EQ(packet.pageOrigin(2).source, scan.source);

    // The packet as it goes out: the scanned pages behind the letter, each its picture at 200
    // dpi, 1 bit a dot.
    bool saved = false;
    QObject receiver;
    packet.postWithPdfs(
        &receiver,
        [&](const QStringList& pdfs) {
            WithPacketPdf(pdfs,
                          [&](const QString& joined) { QFile::copy(joined, path("out.pdf")); });
        },
        [&](std::exception_ptr failure) { saved = !failure; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return saved; }, 60'000));
    EXPECT_EQ(test::PdfPages(path("out.pdf")), 5);
    EXPECT_EQ(test::PdfPageText(path("out.pdf"), 2), QStringLiteral("Letter one"));
    EXPECT_EQ(test::PdfPageSize(path("out.pdf"), 3), QStringLiteral("113 x 141"));
    // pdfimages -list: page num type width height color comp bpc enc interp object ID x-ppi y-ppi
    const QStringList rows =
        ToolOutput(QStringLiteral("pdfimages"), {"-list", path("out.pdf")}).split('\n');
    QStringList scanned;
    for (const QString& row : rows.mid(2)) {
        const QStringList cells = row.simplified().split(' ');
        if (cells.size() < 14) continue;
        scanned << QStringList{cells[0], cells[3], cells[4], cells[7], cells[12]}.join(' ');
    }
    EXPECT_EQ(scanned, (QStringList{"3 314 393 1 200", "4 314 393 1 200", "5 314 393 1 200"}));
}

TEST_F(ScanTest, TheDialogShowsEachPageAsItComesAndACancelledScanLeavesNothing) {
    SaveSetting(QStringLiteral("Scanner"), QStringLiteral("test:1"));
    const QStringList before = working();
    ScanDialog dialog(packet, nullptr);
    dialog.show();
    QSignalSpy listed(&dialog, &ScanDialog::scannersListed);
    ASSERT_TRUE(listed.wait(30'000));
    auto* device = dialog.findChild<QComboBox*>("ScannerBox");
    auto* scan = dialog.findChild<QPushButton*>("ScanButton");
    auto* cancel = dialog.findChild<QPushButton*>("CancelScanButton");
    auto* attach = dialog.findChild<QPushButton*>("AttachScanButton");
    auto* thumbnails = dialog.findChild<QListWidget*>("ScannedPages");
    auto* status = dialog.findChild<QLabel*>("ScanStatus");
    EXPECT_EQ(device->currentData().toString(), QStringLiteral("test:1")) << "the one used last";
    EXPECT_TRUE(scan->isEnabled());
    EXPECT_FALSE(cancel->isEnabled());
    EXPECT_FALSE(attach->isEnabled());

    // The feeder's pages given up as the first is shown: none stay, nothing is attached.
    dialog.findChild<QComboBox*>("SourceBox")->setCurrentIndex(1);
    QSignalSpy ended(&dialog, &ScanDialog::scanEnded);
    QObject::connect(
        &dialog, &ScanDialog::pageShown, cancel,
        [&] {
            EXPECT_EQ(thumbnails->count(), 1);
            EXPECT_EQ(status->text(), QStringLiteral("Page 1 scanned"));
            EXPECT_TRUE(cancel->isEnabled());
            EXPECT_FALSE(scan->isEnabled());
            QTest::keyClick(&dialog, Qt::Key_Escape);
        },
        Qt::SingleShotConnection);
    QTest::mouseClick(scan, Qt::LeftButton);
    ASSERT_TRUE(ended.wait(60'000));
    EXPECT_TRUE(dialog.isVisible()) << "Esc gave the scan up, not the dialog";
    EXPECT_EQ(status->text(), QStringLiteral("Scan cancelled."));
    EXPECT_EQ(thumbnails->count(), 0);
    EXPECT_TRUE(dialog.pages().empty());
    EXPECT_FALSE(attach->isEnabled());
    EXPECT_EQ(packet.count(), 0);
    EXPECT_EQ(working(), before);

    // One page from the flatbed, attached: the dialog closes, the page is behind the cover.
    dialog.findChild<QComboBox*>("SourceBox")->setCurrentIndex(0);
    dialog.findChild<QComboBox*>("ModeBox")->setCurrentIndex(1);
    QTest::mouseClick(scan, Qt::LeftButton);
    ASSERT_TRUE(ended.wait(60'000));
    ASSERT_EQ(thumbnails->count(), 1);
    EXPECT_EQ(dialog.pages().front().format(), QImage::Format_Grayscale8);
    ASSERT_TRUE(attach->isEnabled());
    QTest::mouseClick(attach, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !packet.attaching(); }, 30'000));
    ASSERT_EQ(packet.count(), 1);
    EXPECT_EQ(packet.documents().attachments()[0].source, QStringLiteral("Scan, 1 page"));
    EXPECT_EQ(packet.documents().attachments()[0].kind, PageKind::Picture);
    EXPECT_EQ(packet.pageTotal(), 2);
}

}  // namespace
}  // namespace velmora
