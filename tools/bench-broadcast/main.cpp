// bench-broadcast: how much longer a packet takes to go to three recipients, each behind a cover
// of its own made by the office, than to one, through a HylaFAX server of its own (as root),
// with the program's office kept ready as the program keeps it. Each run sends a cover and two
// pages to one recipient, then to three, from the click to the last fax queued on the server.
// One line of milliseconds per run: "one three". tools/bench-broadcast.sh gives the medians.
#include "PdfReaders.h"
#include "PrivateFaxServer.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "fax/FaxPacket.h"
#include "fax/server/SendJob.h"
#include "fax/server/SentFaxes.h"
#include "tests/coversheet/FakeHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <optional>

using namespace velmora;

namespace {

// From the click to the last fax queued; -1 when sending failed.
double SendToEach(FaxPacket& packet, const std::vector<CoverRecipient>& recipients,
                  const FaxCall& call, SentFaxes& record) {
    QElapsedTimer clock;
    clock.start();
    std::optional<bool> sent;
    QObject receiver;
    SendPacketToEach(packet, recipients, call, record, &receiver,
                     [&](std::exception_ptr failure, const std::vector<SentFax>& faxes,
                         const QString&) { sent = !failure && faxes.size() == recipients.size(); });
    if (!QTest::qWaitFor([&] { return sent.has_value(); }, 300'000) || !*sent) return -1;
    return double(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    qputenv("TEMP", folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder.path() + QStringLiteral("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    test::PrivateFaxServer server;
    if (!server.whyNot().isEmpty()) {
        std::fprintf(stderr, "bench-broadcast: %s\n", qPrintable(server.whyNot()));
        return 77;
    }
    WordApplicationPool offices({.start = StartWordApplication});
    const ScopedWordApplicationPool useTheOffices(offices);
    offices.keepReady(1, WordApplicationPool::Readiness::Started);

    test::FakeHost host = test::SampleSheet(coversheet::Professional);
    FaxPacket packet(&host);
    const auto settled = [&] {
        return QTest::qWaitFor(
            [&] { return packet.hasCover() && !packet.coverRun()->busy() && !packet.attaching(); },
            300'000);
    };
    packet.coverRun()->run();
    const QString terms = folder.filePath(QStringLiteral("terms.pdf"));
    test::WriteTextPdf(terms, {"Terms one", "Terms two"});
    if (!settled()) return 1;
    packet.attach({terms});
    if (!settled()) return 1;

    SentFaxes record(folder.filePath(QStringLiteral("record")));
    FaxCall call;
    call.server = *FaxServerAddress::parse(server.server(), QStringLiteral("clerk"));
    call.sendAt = QDateTime::currentDateTimeUtc().addDays(1);  // they wait: no modem is busy
    const std::vector<CoverRecipient> three{
        {QStringLiteral("Ann Lee"), QStringLiteral("555-010-1001"), {}, {}},
        {QStringLiteral("Bruno Diaz"), QStringLiteral("555-010-1002"), {}, {}},
        {QStringLiteral("Chen Wei"), QStringLiteral("555-010-1003"), {}, {}}};
    const std::vector<CoverRecipient> one{three.front()};
    SendToEach(packet, one, call, record);  // the office's first cover of the kind, not counted
    for (int run = 0; run < runs; ++run) {
        offices.waitUntilSettled();
        const double single = SendToEach(packet, one, call, record);
        offices.waitUntilSettled();
        const double several = SendToEach(packet, three, call, record);
        if (single < 0 || several < 0) return 1;
        std::printf("%.1f %.1f\n", single, several);
        std::fflush(stdout);
    }
    return 0;
}
