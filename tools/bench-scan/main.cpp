// bench-scan: a 10-page feeder scan at 200 dpi in black and white from SANE's own test scanner
// (its full area, 80 x 100 mm) into the scan dialog: for each page, the time from the scanner's
// last byte of it read on the scanner's worker to its thumbnail in the dialog's list, on the
// window's thread. One line per run, in milliseconds: "median worst". tools/bench-scan.sh runs
// it and gives the medians.
#include "TestScanners.h"
#include "fax/FaxPacket.h"
#include "preview/ScanDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace velmora;

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir folder;
    qputenv("TEMP", folder.path().toLocal8Bit());
    qputenv("VELMORA_TEST_FOLDER", folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (folder.path() + QStringLiteral("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    velmora::test::UseTestScanners(folder.path(),
                                   {QStringLiteral("test-picture \"Color pattern\"")});

    FaxPacket packet;
    for (int run = 0; run < runs; ++run) {
        ScanDialog dialog(packet, nullptr);
        dialog.show();
        QSignalSpy listed(&dialog, &ScanDialog::scannersListed);
        if (!listed.wait(30'000)) return 1;
        dialog.findChild<QComboBox*>("ScannerBox")->setCurrentIndex(0);
        dialog.findChild<QComboBox*>("SourceBox")->setCurrentIndex(1);
        std::vector<double> waits;
        QObject::connect(&dialog, &ScanDialog::pageShown, &dialog, [&](const ScannedPage& page) {
            const auto shown = std::chrono::steady_clock::now();
            waits.push_back(
                std::chrono::duration<double, std::milli>(shown - page.scannedAt).count());
        });
        QSignalSpy ended(&dialog, &ScanDialog::scanEnded);
        QTest::mouseClick(dialog.findChild<QPushButton*>("ScanButton"), Qt::LeftButton);
        if (!ended.wait(120'000) || waits.size() != 10) {
            std::fprintf(stderr, "bench-scan: %zu pages, not 10\n", waits.size());
            return 1;
        }
        std::sort(waits.begin(), waits.end());
        std::printf("%.1f %.1f\n", (waits[4] + waits[5]) / 2, waits.back());
        std::fflush(stdout);
    }
    return 0;
}
