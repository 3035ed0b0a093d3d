// The packet's ways out as jobs: each is given up through its own handle, leaves nothing
// behind, and the jobs around it go on. Real files, a real fax TIFF writer and printer; the
// office stands in as the fake engine, and the fax server as one that takes its time.
#include "PdfReaders.h"
#include "PreviewTestPages.h"
#include "SlowFaxServer.h"
#include "TestSupport.h"
#include "coversheet/OfficeJobs.h"
#include "fax/FaxPacket.h"
#include "fax/SaveJob.h"
#include "fax/server/SendJob.h"
#include "fax/server/SentFaxes.h"
#include "preview/PrintJob.h"
#include "shell/Job.h"
#include "shell/TempFolder.h"
#include "tests/coversheet/FakeWord.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

namespace velmora {
namespace {

using test::WriteBytes;

class WaysOut : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        WriteBytes(path("cover.doc"), test::SampleDocument('A'));
        QImage cover(340, 440, QImage::Format_RGB32);
        cover.fill(Qt::white);
        packet.setCoverDocument(path("cover.doc"));
        packet.setCoverPicture(cover);
        // Forty pages behind the cover: long enough to be given up half-way.
        QStringList pages;
        for (int page = 1; page <= 40; ++page) pages << QStringLiteral("Page %1").arg(page);
        test::WriteTextPdf(path("long.pdf"), pages);
        packet.attach({path("long.pdf")});
        ASSERT_TRUE(QTest::qWaitFor([this] { return !packet.attaching(); }, 30'000));
        ASSERT_EQ(packet.pageTotal(), 41);
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    // What the program made in the temporary folder.
    static QStringList working() {
        return QDir(TempFolder()).entryList({"velmora-*"}, QDir::Files);
    }
    // Runs jobs until each has told its end.
    static void finish(const QList<QPointer<Job>>& jobs) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !OfficeJobs::shared().busy(); }, 120'000));
        for (const QPointer<Job>& job : jobs) EXPECT_TRUE(!job || job->ended());
    }

    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/ways-out-XXXXXX")};
    test::FakeWordLog log;
    test::FakeWordEngine engine{log};
    FaxPacket packet;
};

struct Outcome {
    bool told = false;
    bool failed = false;
    void operator()(std::exception_ptr failure) {
        told = true;
        failed = bool(failure);
    }
};

TEST_F(WaysOut, EachIsGivenUpThroughItsOwnHandleLeavingNothingAndTheOthersGoOn) {
    // A save given up half-way through its fax TIFF, with a save before it and a print after.
    Outcome firstSave, tiff, print;
    QObject receiver;
    const auto pdfSave = SavePacket(packet, {path("first.pdf"), DocumentFormat::Pdf}, &receiver,
                                    std::ref(firstSave));
    QPointer<Job> tiffSave = SavePacket(packet, {path("packet.tif"), DocumentFormat::FaxTiff},
                                        &receiver, std::ref(tiff));
    QObject::connect(tiffSave, &Job::progress, tiffSave, [&](int done) {
        if (done == 5) tiffSave->cancel();
    });
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFileName(path("printed.pdf"));
    QPointer<Job> printing = PrintPacket(packet, printer, &receiver, std::ref(print));
    finish({pdfSave, tiffSave, printing});
    EXPECT_TRUE(firstSave.told && !firstSave.failed);
    EXPECT_EQ(test::PdfPages(path("first.pdf")), 41);
    EXPECT_TRUE(tiff.told);
    EXPECT_FALSE(QFile::exists(path("packet.tif"))) << "the TIFF given up is not written";
    EXPECT_TRUE(print.told && !print.failed);
    EXPECT_EQ(test::PdfPages(path("printed.pdf")), 41) << "the print after it went on";
    EXPECT_TRUE(QDir(folder.path()).entryList({".*new*"}, QDir::Hidden | QDir::Files).isEmpty());

    // A print given up as its pages go out: the file printed to goes, the save after it is made.
    Outcome printAgain, secondSave;
    QFile::remove(path("printed.pdf"));
    printing = PrintPacket(packet, printer, &receiver, std::ref(printAgain));
    QObject::connect(printing, &Job::progress, printing, [&](int printed) {
        if (printed == 3) printing->cancel();
    });
    const auto docSave = SavePacket(packet, {path("cover copy.doc"), DocumentFormat::Word97},
                                    &receiver, std::ref(secondSave));
    finish({printing, docSave});
    EXPECT_TRUE(printAgain.told);
    EXPECT_FALSE(QFile::exists(path("printed.pdf")));
    EXPECT_TRUE(secondSave.told && !secondSave.failed);
    EXPECT_EQ(test::ReadBytes(path("cover copy.doc")), test::SampleDocument('A'));

    // A send given up while the server takes the fax in: the fax is never queued, its TIFF
    // goes, nothing is told as sent or recorded; a job queued behind it was given up before it
    // began and never begins.
    test::SlowFaxServer server(folder.path(), 300);
    ASSERT_NE(server.port(), 0);
    SentFaxes record(path("record"));
    bool sent = false;
    FaxCall call;
    call.number = QStringLiteral("555 0100");
    call.server = *FaxServerAddress::parse(server.server());
    QPointer<Job> sending =
        SendPacket(packet, call, record, &receiver,
                   [&](std::exception_ptr failure, const SentFax& fax, const QString&) {
                       sent = !failure && !fax.jobId.isEmpty();
                   });
    Outcome never;
    QPointer<Job> queued =
        SavePacket(packet, {path("never.pdf"), DocumentFormat::Pdf}, &receiver, std::ref(never));
    queued->cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.noted("started") == 1; }, 60'000));
    QElapsedTimer sinceStop;
    sinceStop.start();
    sending->cancel();
    finish({sending, queued});
    EXPECT_LT(sinceStop.elapsed(), 10'000) << "the send stopped at once, not at its bound";
    EXPECT_FALSE(sent);
    EXPECT_EQ(server.noted("submitted"), 0);
    EXPECT_TRUE(record.all().empty());
    EXPECT_TRUE(never.told);
    EXPECT_FALSE(QFile::exists(path("never.pdf")));

    // Only the packet's own working files stay: its document's PDF and the cover's.
    packet.remove(0);
    packet.discardCover();
    EXPECT_TRUE(working().isEmpty()) << working().join(' ');
}

}  // namespace
}  // namespace velmora
