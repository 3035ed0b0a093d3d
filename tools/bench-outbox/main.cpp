// bench-outbox: the outbox with 500 faxes waiting on a HylaFAX server of its own (as root):
// how long the window takes to list them all with their states from the server, and how long
// each refresh holds the window's thread (the model brought up to date and the table painted).
// One line of milliseconds per run: "listed refresh-median refresh-max". tools/bench-outbox.sh
// runs it and gives the medians.
#include "PrivateFaxServer.h"
#include "fax/FaxTiff.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/HylaFaxSession.h"
#include "fax/server/SentFaxes.h"
#include "preview/OutboxWindow.h"
#include "shell/TempFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velmora;

namespace {

constexpr int kFaxes = 500;
constexpr int kRefreshes = 10;

void WriteOnePagePdf(const QString& path) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    QPainter painter(&writer);
    painter.drawText(QPointF(200, 200), QStringLiteral("A page of a fax"));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    qputenv("TEMP", folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder.path() + QStringLiteral("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    test::PrivateFaxServer server;
    if (!server.whyNot().isEmpty()) {
        std::fprintf(stderr, "bench-outbox: %s\n", qPrintable(server.whyNot()));
        return 77;
    }
    const FaxServerAddress address = *FaxServerAddress::parse(server.server(), QStringLiteral("clerk"));
    const QString pdf = folder.filePath(QStringLiteral("fax.pdf"));
    const QString tiff = folder.filePath(QStringLiteral("fax.tif"));
    WriteOnePagePdf(pdf);
    WriteFaxTiff(pdf, tiff);

    // 500 faxes for tomorrow: they wait on the server, each with its state.
    SentFaxes record(folder.filePath(QStringLiteral("record")));
    const QDateTime tomorrow = QDateTime::currentDateTimeUtc().addDays(1);
    {
        HylaFaxSession session(address);
        for (int i = 0; i < kFaxes; ++i) {
            FaxSubmission fax;
            fax.tiff = tiff;
            fax.number = QStringLiteral("555-%1").arg(1000 + i);
            fax.recipient = QStringLiteral("Recipient %1").arg(i);
            fax.sendAt = tomorrow;
            const SubmittedJob job = session.submit(fax);
            SentFax sent;
            sent.server = address.text();
            sent.user = address.user;
            sent.jobId = job.jobId;
            sent.groupId = job.groupId;
            sent.recipient = fax.recipient;
            sent.number = fax.number;
            sent.submitted = QDateTime::currentDateTimeUtc();
            sent.sendAt = tomorrow;
            sent.pagesTotal = 1;
            record.add(sent, pdf);
        }
    }

    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer listing;
        listing.start();
        FaxOutbox outbox(record);
        // The window's thread from the outbox's answer to the table painted: timed from a slot
        // connected before the window's own to one connected after it.
        QElapsedTimer handling;
        qint64 handled = -1;
        QObject::connect(&outbox, &FaxOutbox::changed, &outbox, [&] { handling.start(); });
        OutboxWindow window(outbox);
        QObject::connect(&outbox, &FaxOutbox::changed, &outbox, [&] {
            window.repaint();
            handled = handling.nsecsElapsed();
        });
        window.show();
        const auto allListed = [&] {
            const auto& faxes = outbox.faxes();
            return faxes.size() >= size_t(kFaxes) &&
                   std::all_of(faxes.begin(), faxes.end(), [](const SentFax& fax) {
                       return fax.state == FaxJobState::Pending;
                   });
        };
        if (!QTest::qWaitFor(allListed, 30'000)) {
            std::fprintf(stderr, "bench-outbox: the faxes were not listed: %s\n",
                         qPrintable(outbox.problem()));
            return 1;
        }
        const double listed = listing.nsecsElapsed() / 1e6;
        std::vector<double> refreshes;
        for (int i = 0; i < kRefreshes; ++i) {
            handled = -1;
            while (outbox.polling()) QTest::qWait(5);
            outbox.refresh();
            if (!QTest::qWaitFor([&] { return handled >= 0; }, 30'000)) return 1;
            refreshes.push_back(handled / 1e6);
        }
        std::sort(refreshes.begin(), refreshes.end());
        std::printf("%.1f %.1f %.1f\n", listed, refreshes[refreshes.size() / 2], refreshes.back());
        std::fflush(stdout);
    }
    return 0;
}
