// Faxes followed through a HylaFAX server of the test's own (faxq and hfaxd on a private spool,
// a transmitter script deciding each outcome; as root, skipped otherwise), as the outbox follows
// them: sent, failed, resent, held for later, cancelled, the server gone and back; the notices,
// and the confirmation. HylaFAX's own faxstat and the spool's queue files judge what the server
// holds; pdftotext reads the confirmation.
#include "NotificationService.h"
#include "PdfReaders.h"
#include "PrivateFaxServer.h"
#include "TestSupport.h"
#include "coversheet/GenerationRun.h"
#include "fax/FaxPacket.h"
#include "fax/ImagePages.h"
#include "fax/SaveJob.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/HylaFaxSession.h"
#include "fax/server/SendJob.h"
#include "fax/server/SentFaxes.h"
#include "fax/server/TransmissionReport.h"
#include "preview/FaxNotices.h"
#include "shell/Failure.h"
#include "shell/Procedure.h"
#include "shell/ui/DesktopNotices.h"
#include "tests/coversheet/FakeHost.h"
#include "tests/coversheet/FakeWord.h"
#include "tests/preview/PreviewTestPages.h"

#include <gtest/gtest.h>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace velmora {
namespace {

using namespace std::chrono_literals;

const QString kRecipient = QStringLiteral("Martin Hale");

class OutboxThroughAServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.whyNot().isEmpty()) GTEST_SKIP() << server.whyNot().toStdString();
        ASSERT_TRUE(folder.isValid());
        outbox.setInterval(200ms);
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    FaxServerAddress address(const QString& user = QStringLiteral("clerk")) const {
        return *FaxServerAddress::parse(server.server(), user);
    }

    // Hands a PDF of `pages` pages to the server for `number`, as a send from the preview does,
    // and records it.
    SentFax send(const QString& number, int pages, const QDateTime& at = {}) {
        const QString pdf = path(QStringLiteral("fax-%1.pdf").arg(++sends));
        QStringList words;
        for (int page = 1; page <= pages; ++page) words << QStringLiteral("Page %1").arg(page);
        test::WriteTextPdf(pdf, words);
        HylaFaxSession session(address());
        FaxSubmission submission;
        submission.number = number;
        submission.recipient = kRecipient;
        submission.sendAt = at;
        const SubmittedJob job = SendPdfAsFax(session, pdf, submission);
        SentFax fax;
        fax.server = server.server();
        fax.user = QStringLiteral("clerk");
        fax.jobId = job.jobId;
        fax.groupId = job.groupId;
        fax.recipient = kRecipient;
        fax.number = number;
        fax.submitted = QDateTime::currentDateTimeUtc();
        fax.sendAt = at;
        fax.pagesTotal = pages;
        fax.id = record.add(fax, pdf);
        return fax;
    }
    // The fax `jobId` as the outbox shows it, once `done` says it is as awaited.
    std::optional<SentFax> shown(const QString& jobId,
                                 const std::function<bool(const SentFax&)>& done,
                                 std::chrono::milliseconds within = 30s) {
        std::optional<SentFax> found;
        (void)QTest::qWaitFor(
            [&] {
                outbox.refresh();
                for (const SentFax& fax : outbox.faxes())
                    if (fax.jobId == jobId && fax.server == server.server() && done(fax))
                        return bool(found = fax);
                return false;
            },
            int(within.count()));
        return found;
    }

    test::PrivateFaxServer server;
    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/outbox-XXXXXX")};
    SentFaxes record{path(QStringLiteral("record"))};
    FaxOutbox outbox{record};
    int sends = 0;
};

bool Ended(const SentFax& fax) {
    return FaxJobEnded(fax.state);
}

TEST_F(OutboxThroughAServer, APacketIsFollowedToSentWithANoticeAndAConfirmation) {
    test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::NotificationService service(bus);
    ASSERT_TRUE(service.registered());
    DesktopNotices notices(bus.connect());
    FaxNotices faxNotices(outbox, notices);

    // The packet as the preview sends it: a cover and three pages behind it.
    test::FakeWordLog log;
    test::FakeWordEngine engine(log);
    FaxPacket packet;
    test::WriteBytes(path("cover.doc"), test::SampleDocument('A'));
    QImage cover(340, 440, QImage::Format_RGB32);
    cover.fill(Qt::white);
    packet.setCoverDocument(path("cover.doc"));
    packet.setCoverPicture(cover);
    test::WriteTextPdf(path("contract.pdf"), {"Contract one", "Contract two", "Contract three"});
    packet.attach({path("contract.pdf")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !packet.attaching(); }, 30'000));
    ASSERT_EQ(packet.pageTotal(), 4);
    std::optional<SentFax> sent;
    QObject receiver;
    FaxCall call;
    call.number = QStringLiteral("555-014-2278");
    call.server = address();
    call.recipient = kRecipient;
    SendPacket(packet, call, record, &receiver,
               [&](std::exception_ptr failure, const SentFax& fax, const QString&) {
                   EXPECT_FALSE(failure) << DescribeFailure(failure).toStdString();
                   sent = fax;
               });
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.has_value(); }, 60'000));
    ASSERT_FALSE(sent->jobId.isEmpty());
    ASSERT_GT(sent->id, 0) << "recorded";

    // As the server holds it: one fax TIFF of the packet's four pages, in fine resolution.
    const QString queued = server.queueFile(sent->jobId);
    EXPECT_TRUE(queued.contains(QLatin1String("\nresolution:196\n"))) << queued.toStdString();
    EXPECT_TRUE(queued.contains(QLatin1String("\nnumber:555-014-2278\n"))) << queued.toStdString();
    const QRegularExpressionMatch document =
        QRegularExpression(QStringLiteral("\n!?tiff:\\d*:[^:]*:(docq/[^\n]+)")).match(queued);
    ASSERT_TRUE(document.hasMatch()) << queued.toStdString();
    ImagePages pages(server.spool() + QLatin1Char('/') + document.captured(1));
    ASSERT_EQ(pages.count(), 4);
    for (int page = 0; page < pages.count(); ++page) {
        const QImage image = pages.next();
        EXPECT_EQ(image.width(), kFaxDotsAcross);
        EXPECT_EQ(image.height(), FaxPageLines(FaxResolution::Fine));
    }

    QSignalSpy ended(&outbox, &FaxOutbox::ended);
    const std::optional<SentFax> done = shown(sent->jobId, Ended);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->state, FaxJobState::Done) << FaxStateWords(*done).toStdString();
    EXPECT_EQ(FaxStateWords(*done), QStringLiteral("Sent"));
    EXPECT_EQ(done->pagesSent, 4);
    EXPECT_EQ(done->pagesTotal, 4);
    EXPECT_EQ(done->remoteStation, QStringLiteral("+1 555 0199 TEST"));
    EXPECT_TRUE(server.faxstat({QStringLiteral("-d")})
                    .contains(QRegularExpression(
                        QStringLiteral("(^|\\n)%1 +\\d+ +D .* 4:4 ").arg(sent->jobId))))
        << server.faxstat({QStringLiteral("-d")}).toStdString();

    // Told once, on the desktop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.notices().empty(); }, 10'000));
    EXPECT_EQ(service.notices().front().summary,
              QStringLiteral("Fax to Martin Hale sent: 4 pages"));
    outbox.refresh();
    QTest::qWait(600);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(service.notices().size(), 1u);

    // The confirmation, as pdftotext reads it.
    const QString confirmation = path("confirmation.pdf");
    WriteTransmissionReport(*record.find(done->id), confirmation);
    EXPECT_EQ(test::PdfPages(confirmation), 1);
    const QString words = test::PdfPageText(confirmation, 1);
    for (const QString& shownWord :
         {sent->jobId, QStringLiteral("555-014-2278"), QStringLiteral("4 of 4"), kRecipient})
        EXPECT_TRUE(words.contains(shownWord)) << shownWord.toStdString() << " not in\n"
                                               << words.toStdString();
}

TEST_F(OutboxThroughAServer, AFailedFaxIsToldAndResentAndAWaitingOneIsHeldForItsTimeOrCancelled) {
    test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::NotificationService service(bus);
    DesktopNotices notices(bus.connect());
    FaxNotices faxNotices(outbox, notices);

    server.setOutcome(QStringLiteral("555-0111"), QStringLiteral("failed No answer from remote"));
    const SentFax failing = send(QStringLiteral("555-0111"), 2);
    const std::optional<SentFax> failed = shown(failing.jobId, Ended);
    ASSERT_TRUE(failed);
    EXPECT_EQ(FaxStateWords(*failed), QStringLiteral("Failed: No answer from remote"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.notices().empty(); }, 10'000));
    EXPECT_EQ(service.notices().front().summary,
              QStringLiteral("Fax to Martin Hale failed: No answer from remote"));

    // Resend: a new job with the same document and number, which is sent.
    server.setOutcome(QStringLiteral("555-0111"), QStringLiteral("sent"));
    QSignalSpy commands(&outbox, &FaxOutbox::commandDone);
    outbox.resend(*failed);
    ASSERT_TRUE(commands.wait(30'000));
    EXPECT_TRUE(commands.at(0).at(1).toString().isEmpty())
        << commands.at(0).at(1).toString().toStdString();
    const std::vector<SentFax> all = record.all();
    const auto resent = std::find_if(all.begin(), all.end(), [&](const SentFax& fax) {
        return fax.id != failing.id && fax.number == failing.number;
    });
    ASSERT_NE(resent, all.end());
    EXPECT_NE(resent->jobId, failing.jobId);
    const std::optional<SentFax> resentDone = shown(resent->jobId, Ended);
    ASSERT_TRUE(resentDone) << server.faxstat({"-s", "-d"}).toStdString();
    EXPECT_EQ(FaxStateWords(*resentDone), QStringLiteral("Sent"));
    EXPECT_EQ(resentDone->pagesSent, 2);

    // Send later: the server holds the job until the time chosen.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QDateTime tomorrow(now.date().addDays(1), QTime(now.time().hour(), now.time().minute()),
                             Qt::UTC);
    const SentFax later = send(QStringLiteral("555-0122"), 1, tomorrow);
    const QString queued = server.queueFile(later.jobId);
    EXPECT_TRUE(queued.contains(
        QRegularExpression(QStringLiteral("(^|\n)tts:%1\n").arg(tomorrow.toSecsSinceEpoch()))))
        << queued.toStdString();
    // Given up 3 hours after its time, not 3 hours after it was handed over.
    EXPECT_TRUE(queued.contains(QRegularExpression(
        QStringLiteral("\nkilltime:%1\n").arg(tomorrow.toSecsSinceEpoch() + 3 * 3600 - 60))))
        << queued.toStdString();
    const std::optional<SentFax> waiting =
        shown(later.jobId, [](const SentFax& fax) { return fax.state == FaxJobState::Pending; });
    ASSERT_TRUE(waiting);
    EXPECT_TRUE(FaxStateWords(*waiting).startsWith(QStringLiteral("To be sent ")))
        << FaxStateWords(*waiting).toStdString();

    // Cancel: out of the queue, never sent, and no notice of a failure.
    const size_t noticesBefore = service.notices().size();
    commands.clear();
    outbox.cancel(*waiting);
    ASSERT_TRUE(commands.wait(30'000));
    EXPECT_TRUE(commands.at(0).at(1).toString().isEmpty())
        << commands.at(0).at(1).toString().toStdString();
    const std::optional<SentFax> cancelled = shown(later.jobId, Ended);
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(FaxStateWords(*cancelled), QStringLiteral("Cancelled"));
    EXPECT_FALSE(server.faxstat({QStringLiteral("-s")})
                     .contains(QRegularExpression(QStringLiteral("(^|\\n)%1 ").arg(later.jobId))));
    QTest::qWait(600);
    EXPECT_EQ(service.notices().size(), noticesBefore);
}

TEST_F(OutboxThroughAServer, AServerGoneIsToldPlainlyAndTheOutboxRecoversWhenItReturns) {
    const SentFax later =
        send(QStringLiteral("555-0133"), 1, QDateTime::currentDateTimeUtc().addDays(1));
    outbox.setWatched(true, address());
    ASSERT_TRUE(
        shown(later.jobId, [](const SentFax& fax) { return fax.state == FaxJobState::Pending; }));

    server.halt();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            outbox.refresh();
            return outbox.problem().contains(QStringLiteral("could not be reached"));
        },
        20'000))
        << outbox.problem().toStdString();
    EXPECT_TRUE(outbox.problem().contains(server.server())) << outbox.problem().toStdString();
    // The fax stays listed as last heard of.
    EXPECT_TRUE(std::any_of(outbox.faxes().begin(), outbox.faxes().end(),
                            [&](const SentFax& fax) { return fax.jobId == later.jobId; }));

    ASSERT_TRUE(server.start());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            outbox.refresh();
            return outbox.problem().isEmpty();
        },
        20'000))
        << outbox.problem().toStdString();
    EXPECT_TRUE(
        shown(later.jobId, [](const SentFax& fax) { return fax.state == FaxJobState::Pending; }));
}

TEST_F(OutboxThroughAServer, APasswordIsAskedForOnceAndARefusedOneIsToldAsSuch) {
    // The server asks "keeper" for a password ("secret").
    QFile hosts(server.spool() + QStringLiteral("/etc/hosts.hfaxd"));
    ASSERT_TRUE(hosts.open(QIODevice::ReadOnly));
    const QByteArray others = hosts.readAll();
    hosts.close();
    QProcess crypt;
    crypt.start(QStringLiteral("openssl"), {"passwd", "-1", "secret"});
    ASSERT_TRUE(crypt.waitForFinished());
    const QByteArray hashed = crypt.readAll().trimmed();
    ASSERT_FALSE(hashed.isEmpty());
    test::WriteBytes(hosts.fileName(), "^keeper@.*:60011:" + hashed + ":\n" + others);

    const FaxServerAddress keeper = address(QStringLiteral("keeper"));
    FaxServerPasswords::forget(keeper);
    const auto asked = [&]() -> std::optional<bool> {
        try {
            HylaFaxSession session(keeper);
            session.jobs();
            return std::nullopt;
        } catch (const FaxServerPasswordNeeded& needed) {
            EXPECT_EQ(needed.address(), keeper);
            return needed.refused();
        }
    };
    EXPECT_EQ(asked(), std::optional<bool>(false)) << "asked for";
    FaxServerPasswords::remember(keeper, QStringLiteral("wrong"));
    EXPECT_EQ(asked(), std::optional<bool>(true)) << "refused";
    EXPECT_FALSE(FaxServerPasswords::find(keeper)) << "a refused password is not kept";
    FaxServerPasswords::remember(keeper, QStringLiteral("secret"));
    EXPECT_EQ(asked(), std::nullopt) << "let in";
    FaxServerPasswords::forget(keeper);
}

// One packet to three recipients: the office makes a cover for each from the sheet's values with
// the recipient's name, number and phone; each goes as a job of its own, the three one group in
// the record of faxes sent, each job's document its own cover and the two pages behind it. Saved
// instead, the same makes a PDF for each in a folder.
TEST_F(OutboxThroughAServer, ThreeRecipientsGetACoverEachAsOneGroupOfJobsOrAPdfEach) {
    test::FakeHost host = test::SampleSheet(coversheet::Professional);
    FaxPacket packet(&host);
    const auto settled = [&] {
        return QTest::qWaitFor(
            [&] { return packet.hasCover() && !packet.coverRun()->busy() && !packet.attaching(); },
            180'000);
    };
    packet.coverRun()->run();
    ASSERT_TRUE(settled());
    test::WriteTextPdf(path(QStringLiteral("terms.pdf")), {"Terms one", "Terms two"});
    packet.attach({path(QStringLiteral("terms.pdf"))});
    ASSERT_TRUE(settled());
    ASSERT_EQ(packet.pageTotal(), 3);

    const std::vector<CoverRecipient> recipients{
        {QStringLiteral("Ann Lee"), QStringLiteral("555-010-1001"), QStringLiteral("555-020-2001"),
         QStringLiteral("5550101001")},
        {QStringLiteral("Bruno D\u00edaz"), QStringLiteral("555-010-1002"), {}, {}},
        {QStringLiteral("Chen Wei \u9648\u4f1f"), QStringLiteral("555-010-1003"), {}, {}}};
    // Another's name on a cover is the fault: each first page names its own recipient alone.
    const auto expectCoverOf = [&](const QString& pdf, size_t n) {
        const QString first = test::PdfPageText(pdf, 1);
        EXPECT_TRUE(first.contains(recipients[n].name)) << first.toStdString();
        EXPECT_TRUE(first.contains(recipients[n].number)) << first.toStdString();
        for (size_t other = 0; other < recipients.size(); ++other)
            if (other != n) EXPECT_FALSE(first.contains(recipients[other].name));
        EXPECT_FALSE(first.contains(QLatin1String("Martin Hale")));
        EXPECT_EQ(test::PdfPages(pdf), 3);
        EXPECT_TRUE(test::PdfPageText(pdf, 3).contains(QLatin1String("Terms two")));
    };

    FaxCall call;
    call.server = address();
    std::optional<std::vector<SentFax>> sent;
    QObject receiver;
    Job* job = SendPacketToEach(
        packet, recipients, call, record, &receiver,
        [&](std::exception_ptr failure, const std::vector<SentFax>& faxes, const QString& problem) {
            EXPECT_FALSE(failure) << DescribeFailure(failure).toStdString();
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
            sent = faxes;
        });
    QSignalSpy progress(job, &Job::progress);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sent.has_value(); }, 180'000));
    ASSERT_EQ(sent->size(), 3u);
    EXPECT_GE(progress.count(), 3);
    QSet<QString> jobs;
    for (size_t n = 0; n < sent->size(); ++n) {
        const SentFax& fax = (*sent)[n];
        jobs.insert(fax.jobId);
        EXPECT_EQ(fax.recipient, recipients[n].name);
        EXPECT_EQ(fax.groupId, sent->front().groupId) << "one group";
        EXPECT_EQ(record.find(fax.id)->groupId, sent->front().groupId) << "kept as one group";
        const QString queued = server.queueFile(fax.jobId);
        const QString dialled =
            recipients[n].dialled.isEmpty() ? recipients[n].number : recipients[n].dialled;
        EXPECT_TRUE(queued.contains(QStringLiteral("\nnumber:%1\n").arg(dialled)))
            << queued.toStdString();
        const QRegularExpressionMatch document =
            QRegularExpression(QStringLiteral("\n!?tiff:\\d*:[^:]*:(docq/[^\n]+)")).match(queued);
        ASSERT_TRUE(document.hasMatch()) << queued.toStdString();
        EXPECT_EQ(ImagePages(server.spool() + QLatin1Char('/') + document.captured(1)).count(), 3);
        // What went out, as the record keeps it.
        const std::optional<SentFax> kept = record.find(fax.id);
        ASSERT_TRUE(kept);
        expectCoverOf(kept->document, n);
    }
    EXPECT_EQ(jobs.size(), 3);

    QTemporaryDir saved(test::TestFolder() + QStringLiteral("/each-XXXXXX"));
    std::optional<QStringList> written;
    SavePacketForEach(packet, recipients, saved.path(), &receiver,
                      [&](std::exception_ptr failure, const QStringList& files) {
                          EXPECT_FALSE(failure) << DescribeFailure(failure).toStdString();
                          written = files;
                      });
    ASSERT_TRUE(QTest::qWaitFor([&] { return written.has_value(); }, 180'000));
    ASSERT_EQ(written->size(), 3);
    for (size_t n = 0; n < recipients.size(); ++n) {
        EXPECT_EQ(QFileInfo((*written)[int(n)]).fileName(), recipients[n].name + ".pdf");
        expectCoverOf((*written)[int(n)], n);
    }
}

}  // namespace
}  // namespace velmora
