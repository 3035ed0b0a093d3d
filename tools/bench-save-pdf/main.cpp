// bench-save-pdf: runs the real program on the real office, makes a cover sheet and saves it
// as PDF a few times, each after a pause in which a user would look at the preview. Prints
// one line per save: the time from the save dialog's OK to the "Done." message, in ms.
// tools/bench-save-pdf.sh runs it several times and takes the median.

#include "editor/Form1.h"
#include "editor/ProgramMain.h"
#include "preview/Form2.h"
#include "shell/TempFolder.h"
#include "shell/ui/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;

class SaveBench : public QObject {
public:
    SaveBench(int saves, int pauseMs) : savesLeft_(saves), pauseMs_(pauseMs) {}

    void watch(velmora::Form1& editor) {
        editor_ = &editor;
        // Filling in the fields takes a user a while; the offices start meanwhile.
        QTimer::singleShot(pauseMs_, this, [this] {
            auto* start = editor_->findChild<QPushButton*>(QStringLiteral("PushButton6"));
            if (!start) fail("no \"Start Creating Template\" button");
            QTest::mouseClick(start, Qt::LeftButton);
            // The run works on the office's worker; the preview comes when it is done.
            velmora::Form2* preview = nullptr;
            if (!QTest::qWaitFor(
                    [&] {
                        preview = editor_->previewWindow();
                        return preview && preview->isVisible();
                    },
                    120'000))
                fail("no preview");
            // The dialog answers at once: its OK is where the user's wait starts.
            preview->setSaveDialog([this](QWidget*, const velmora::SaveDialogRequest&) {
                sinceOk_.start();
                return velmora::SaveDialogChoice{
                    velmora::TempPath(QStringLiteral("sheet-%1.pdf").arg(savesLeft_)),
                    QStringLiteral("PDF Files (*.pdf)")};
            });
            QTimer::singleShot(pauseMs_, this, [this] { save(); });
        });
    }

    velmora::MessageAnswer answer(const velmora::MessageRequest& request) {
        if (request.text != QLatin1String("Done.")) fail(request.text.toLocal8Bit().constData());
        std::printf("%.1f\n", sinceOk_.nsecsElapsed() / 1.0e6);
        std::fflush(stdout);
        if (savesLeft_ == 0) QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        return velmora::MessageAnswer::Ok;
    }

private:
    void save() {
        QTest::keyClick(editor_->previewWindow(), Qt::Key_S,
                        Qt::ControlModifier | Qt::ShiftModifier);
        // The save goes on on the office's worker; after the last one's "Done." the bench ends.
        if (--savesLeft_ > 0) QTimer::singleShot(pauseMs_, this, [this] { save(); });
    }

    [[noreturn]] static void fail(const char* why) {
        std::fprintf(stderr, "bench-save-pdf: %s\n", why);
        std::_Exit(2);
    }

    int savesLeft_;
    const int pauseMs_;
    velmora::Form1* editor_ = nullptr;
    QElapsedTimer sinceOk_;
};

}  // namespace

int main(int argc, char* argv[]) {
    std::thread([] {
        std::this_thread::sleep_for(180s);
        std::fprintf(stderr, "bench-save-pdf: not done within 180 seconds\n");
        std::_Exit(3);
    }).detach();
    const int saves = qEnvironmentVariable("BENCH_SAVES", "3").toInt();
    const double pause = qEnvironmentVariable("BENCH_SAVE_PDF_SECONDS", "3").toDouble();
    SaveBench bench(std::max(1, saves), int(pause * 1000));
    const velmora::ScopedMessageResponder boxes(
        [&](const velmora::MessageRequest& request) { return bench.answer(request); });
    return velmora::RunProgram(argc, argv, [&](velmora::Form1& editor) { bench.watch(editor); });
}
