// Faxes received by a HylaFAX server of the test's own (as root, skipped otherwise), put in its
// recvq as faxgetty leaves them: listed as the server lists them, told once when new, fetched,
// shown page by page, forwarded behind a cover, and deleted where the server lets the user.
// tiffinfo counts the pages; the spool itself says what the server holds.
#include "NotificationService.h"
#include "PdfReaders.h"
#include "PrivateFaxServer.h"
#include "TestSupport.h"
#include "fax/FaxPacket.h"
#include "fax/FaxTiff.h"
#include "fax/ImagePages.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/HylaFaxSession.h"
#include "fax/server/ReceivedFaxes.h"
#include "fax/server/SentFaxes.h"
#include "preview/FaxNotices.h"
#include "preview/FaxViewer.h"
#include "preview/PageView.h"
#include "shell/Failure.h"
#include "shell/Procedure.h"
#include "shell/ui/DesktopNotices.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace velmora {
namespace {

using namespace std::chrono_literals;

class ReceivedThroughAServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.whyNot().isEmpty()) GTEST_SKIP() << server.whyNot().toStdString();
        ASSERT_TRUE(folder.isValid());
        received.setInterval(200ms);
        received.setNameLookup([](const QString& number) {
            return number == QLatin1String("5550142") ? QStringLiteral("Acme Legal") : QString();
        });
    }
    // The program starts asking the server.
    void start() {
        received.setServer(*FaxServerAddress::parse(server.server(), QStringLiteral("clerk")));
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    // A fax of `pages` pages as faxgetty leaves it in the recvq: the program's own fax TIFF
    // (1728 dots wide, 1 bit, CCITT G3, 204 x 196 dpi), the sender's station id and the call's
    // number in its description, owned by the fax user, with the modem's RecvFileMode (0644)
    // unless told. Returns its name.
    QString receive(int pages, const QString& station, const QString& callerNumber,
                    int mode = 0644) {
        const QString name = QStringLiteral("fax%1.tif").arg(++faxes, 8, 10, QLatin1Char('0'));
        QStringList words;
        for (int page = 1; page <= pages; ++page)
            words << QStringLiteral("Received page %1").arg(page);
        const QString pdf = path(name + QStringLiteral(".pdf"));
        test::WriteTextPdf(pdf, words);
        const QString staged = path(name);
        EXPECT_EQ(WriteFaxTiff(pdf, staged), pages);
        const QString description = station + QLatin1Char('\n') + callerNumber;
        EXPECT_TRUE(
            test::ToolOutput(QStringLiteral("tiffset"),
                             {QStringLiteral("-s"), QStringLiteral("270"), description, staged})
                .isEmpty());
        const QString target = spoolFile(name);
        EXPECT_TRUE(QFile::copy(staged, target));
        const passwd* fax = getpwnam("uucp");
        EXPECT_NE(fax, nullptr);
        if (fax) EXPECT_EQ(chown(target.toLocal8Bit().constData(), fax->pw_uid, fax->pw_gid), 0);
        EXPECT_EQ(chmod(target.toLocal8Bit().constData(), mode_t(mode)), 0);
        return name;
    }
    QString spoolFile(const QString& name) const {
        return server.spool() + QStringLiteral("/recvq/") + name;
    }
    // The fax `name` as listed, once `done` says it is as awaited.
    std::optional<ReceivedFax> listed(
        const QString& name, const std::function<bool(const ReceivedFax&)>& done =
                                 [](const ReceivedFax&) { return true; }) {
        std::optional<ReceivedFax> found;
        (void)QTest::qWaitFor(
            [&] {
                received.refresh();
                for (const ReceivedFax& fax : received.faxes())
                    if (fax.file == name && done(fax)) return bool(found = fax);
                return false;
            },
            20'000);
        return found;
    }

    test::PrivateFaxServer server;
    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/received-XXXXXX")};
    ReceivedFaxes received{path(QStringLiteral("store"))};
    int faxes = 0;
};

QByteArray FileBytes(const QString& file) {
    QFile read(file);
    return read.open(QIODevice::ReadOnly) ? read.readAll() : QByteArray();
}

int TiffInfoPages(const QString& tiff) {
    return int(test::ToolOutput(QStringLiteral("tiffinfo"), {tiff})
                   .count(QRegularExpression(QStringLiteral("TIFF Directory at offset"))));
}

TEST_F(ReceivedThroughAServer, ANewFaxIsListedToldOnceOpenedPageByPageAndForwarded) {
    test::PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    test::NotificationService service(bus);
    ASSERT_TRUE(service.registered());
    DesktopNotices notices(bus.connect());
    SentFaxes record(path(QStringLiteral("record")));
    FaxOutbox outbox(record);
    FaxNotices faxNotices(outbox, notices);
    faxNotices.hear(received);
    QSignalSpy arrived(&received, &ReceivedFaxes::arrived);

    // One there before the program asked: listed, not told.
    const QString old = receive(1, QStringLiteral("+1 555 0100 OLD"), {});
    start();
    ASSERT_TRUE(listed(old));
    // One that arrives while it runs, from a number the phone book knows.
    const QString name = receive(3, QStringLiteral("+1 555 0142 ACME"), QStringLiteral("5550142"));
    const std::optional<ReceivedFax> fax = listed(name);
    ASSERT_TRUE(fax);
    EXPECT_EQ(fax->pages, TiffInfoPages(spoolFile(name)));
    EXPECT_EQ(fax->pages, 3);
    EXPECT_EQ(fax->sender, QStringLiteral("+1 555 0142 ACME"));
    EXPECT_EQ(fax->callerNumber, QStringLiteral("5550142"));
    EXPECT_EQ(fax->knownName, QStringLiteral("Acme Legal"));
    EXPECT_FALSE(fax->partial());
    EXPECT_FALSE(fax->read);
    EXPECT_LE(qAbs(fax->received.secsTo(QDateTime::currentDateTimeUtc())), 120);
    EXPECT_EQ(received.faxes().front().file, name) << "newest first";

    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.notices().empty(); }, 10'000));
    EXPECT_EQ(service.notices().front().summary,
              QStringLiteral("Fax received from Acme Legal: 3 pages"));
    received.refresh();
    QTest::qWait(600);
    ASSERT_EQ(arrived.count(), 1) << "the fax already there is not told, the new one once";
    EXPECT_EQ(service.notices().size(), 1u);

    // Fetched as the server holds it, shown page by page.
    auto tiff = std::make_shared<QString>();
    std::exception_ptr failure;
    bool fetched = false;
    QObject receiver;
    received.fetch(*fax, tiff, &receiver, [&](std::exception_ptr error) {
        failure = error;
        fetched = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return fetched; }, 20'000));
    ASSERT_FALSE(failure) << DescribeFailure(failure).toStdString();
    EXPECT_EQ(FileBytes(*tiff), FileBytes(spoolFile(name)));
    const QString pdf = path(QStringLiteral("shown.pdf"));
    ASSERT_EQ(WriteImagePdf(*tiff, pdf), 3);
    FaxViewer viewer(pdf, QStringLiteral("Fax from Acme Legal"), {});
    QSignalSpy drawn(&viewer, &FaxViewer::pageShown);
    ASSERT_TRUE(drawn.wait(20'000));
    EXPECT_EQ(viewer.pageCount(), 3);
    for (int page = 1; page < 3; ++page) {
        viewer.goToPage(page);
        ASSERT_TRUE(drawn.wait(20'000));
        EXPECT_EQ(viewer.pageIndex(), page);
        EXPECT_FALSE(viewer.page().picture().isNull());
    }
    // Fax view shows the fax's own dots: 1728 across.
    viewer.setFaxView(true);
    ASSERT_TRUE(drawn.wait(20'000));
    EXPECT_EQ(viewer.page().picture().width(), kFaxDotsAcross);

    // Forwarded: the fax behind a cover of its own.
    FaxPacket packet;
    packet.attach({*tiff});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !packet.attaching(); }, 30'000));
    EXPECT_EQ(packet.attachedPages(), 3);
}

TEST_F(ReceivedThroughAServer, AFaxStillComingInIsPartialAndToldOnlyOnceWhole) {
    QSignalSpy arrived(&received, &ReceivedFaxes::arrived);
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.answered(); }, 20'000));
    const QString name = receive(2, QStringLiteral("+1 555 0177"), {});
    // faxgetty holds the file locked while the call goes on.
    const int held = open(spoolFile(name).toLocal8Bit().constData(), O_RDWR);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const std::optional<ReceivedFax> coming = listed(name);
    ASSERT_TRUE(coming);
    EXPECT_TRUE(coming->receiving);
    EXPECT_TRUE(coming->partial());
    QTest::qWait(600);
    EXPECT_EQ(arrived.count(), 0);
    flock(held, LOCK_UN);
    close(held);
    // Touched as the end of the call leaves it: the server reads it again.
    QTest::qWait(1100);
    ASSERT_EQ(utime(spoolFile(name).toLocal8Bit().constData(), nullptr), 0);
    ASSERT_TRUE(listed(name, [](const ReceivedFax& fax) { return !fax.receiving; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return arrived.count() > 0; }, 5'000));
    EXPECT_EQ(arrived.count(), 1);
}

TEST_F(ReceivedThroughAServer, DeleteIsRefusedInTheServersWordsUnlessItsModeLetsTheUser) {
    start();
    const QString kept = receive(1, QStringLiteral("+1 555 0188"), {});
    const QString open = receive(1, QStringLiteral("+1 555 0189"), {}, 0646);
    const std::optional<ReceivedFax> keptFax = listed(kept);
    const std::optional<ReceivedFax> openFax = listed(open);
    ASSERT_TRUE(keptFax && openFax);
    const auto removeNow = [&](const ReceivedFax& fax) {
        std::optional<QString> outcome;
        QObject receiver;
        received.remove(fax, &receiver, [&](std::exception_ptr failure) {
            outcome = failure ? DescribeFailure(failure) : QString();
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 20'000));
        return outcome.value_or(QStringLiteral("no answer"));
    };
    const QString refused = removeNow(*keptFax);
    EXPECT_TRUE(refused.contains(QLatin1String("550"))) << refused.toStdString();
    EXPECT_TRUE(QFile::exists(spoolFile(kept)));
    EXPECT_EQ(removeNow(*openFax), QString());
    EXPECT_FALSE(QFile::exists(spoolFile(open)));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            received.refresh();
            return std::none_of(received.faxes().begin(), received.faxes().end(),
                                [&](const ReceivedFax& fax) { return fax.file == open; });
        },
        20'000));
}

}  // namespace
}  // namespace velmora
