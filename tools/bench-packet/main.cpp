// bench-packet: runs the real program on the real office and prints one line of four times in
// ms: Start to the preview's first page painted with nothing attached; the same with a 50-page
// PDF attached; that 51-page packet saved as PDF (the dialog's OK to "Done."); a .docx made by
// the office attached (from the command to the list showing it). Between steps it pauses as a
// user would. tools/bench-packet.sh runs it several times and takes the medians.

#include "coversheet/OfficeJobs.h"
#include "editor/Form1.h"
#include "editor/ProgramMain.h"
#include "preview/AttachedDocuments.h"
#include "preview/Form2.h"
#include "preview/PictureBox.h"
#include "shell/TempFolder.h"
#include "shell/ui/MessageBox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;
using velmora::TempPath;

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "bench-packet: %s\n", why);
    std::_Exit(2);
}

void WaitFor(const std::function<bool()>& done, const char* what) {
    if (!QTest::qWaitFor(done, 60'000)) Fail(what);
}

void WriteReport(const QString& path, int pages) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    QPainter painter(&writer);
    painter.setFont(QFont(QStringLiteral("Liberation Serif"), 12));
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) writer.newPage();
        for (int line = 0; line < 40; ++line)
            painter.drawText(QPointF(600, 600 + line * 250),
                             QStringLiteral("Report page %1, line %2: the quarterly figures as "
                                            "agreed, with the notes of the meeting.")
                                 .arg(page)
                                 .arg(line + 1));
    }
}

class PacketBench : public QObject {
public:
    explicit PacketBench(int pauseMs) : pauseMs_(pauseMs) {}

    void run(velmora::Form1& editor) {
        editor_ = &editor;
        WriteReport(TempPath(QStringLiteral("report.pdf")), 50);
        pause();
        const double alone = startToFirstPage();
        back();
        attach(TempPath(QStringLiteral("report.pdf")));
        pause();
        const double withReport = startToFirstPage();
        pause();
        const double saved = save(TempPath(QStringLiteral("packet.pdf")), "PDF Files (*.pdf)");
        save(TempPath(QStringLiteral("letter.docx")), "Word 2007-365 Files (*.docx)");
        back();
        pause();
        const double docx = attach(TempPath(QStringLiteral("letter.docx")));
        std::printf("%.1f %.1f %.1f %.1f\n", alone, withReport, saved, docx);
        std::fflush(stdout);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }

    velmora::MessageAnswer answer(const velmora::MessageRequest& request) {
        if (request.text != QLatin1String("Done.")) Fail(request.text.toLocal8Bit().constData());
        done_ = true;
        return velmora::MessageAnswer::Ok;
    }

private:
    void pause() const { QTest::qWait(pauseMs_); }

    double startToFirstPage() {
        auto* start = editor_->findChild<QPushButton*>(QStringLiteral("PushButton6"));
        if (!start) Fail("no \"Start Creating Template\" button");
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(start, Qt::LeftButton);
        WaitFor(
            [&] {
                velmora::Form2* preview = editor_->previewWindow();
                if (!preview || !preview->isVisible()) return false;
                auto* page = preview->findChild<velmora::PictureBox*>(QStringLiteral("Picture1"));
                return page && !page->drawnImage().isNull();
            },
            "no page in the preview");
        return clock.nsecsElapsed() / 1.0e6;
    }

    double save(const QString& name, const char* filter) {
        velmora::Form2* preview = editor_->previewWindow();
        QElapsedTimer clock;
        preview->setSaveDialog([&](QWidget*, const velmora::SaveDialogRequest&) {
            clock.start();
            return velmora::SaveDialogChoice{name, QLatin1String(filter)};
        });
        done_ = false;
        QTest::keyClick(preview, Qt::Key_S, Qt::ControlModifier);
        WaitFor([&] { return done_; }, "no \"Done.\"");
        return clock.nsecsElapsed() / 1.0e6;
    }

    double attach(const QString& file) {
        velmora::FaxPacket& documents = editor_->packet();
        const int before = documents.count();
        QElapsedTimer clock;
        clock.start();
        documents.attach({file});
        WaitFor([&] { return documents.count() > before; }, "nothing attached");
        return clock.nsecsElapsed() / 1.0e6;
    }

    void back() {
        auto* back =
            editor_->previewWindow()->findChild<QPushButton*>(QStringLiteral("PushButton8"));
        WaitFor([&] { return back->isEnabled(); }, "the preview stays busy");
        QTest::mouseClick(back, Qt::LeftButton);
        WaitFor([&] { return editor_->isVisible(); }, "no editor");
    }

    const int pauseMs_;
    velmora::Form1* editor_ = nullptr;
    bool done_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    std::thread([] {
        std::this_thread::sleep_for(240s);
        std::fprintf(stderr, "bench-packet: not done within 240 seconds\n");
        std::_Exit(3);
    }).detach();
    const double pause = qEnvironmentVariable("BENCH_PACKET_SECONDS", "3").toDouble();
    PacketBench bench(int(pause * 1000));
    const velmora::ScopedMessageResponder boxes(
        [&](const velmora::MessageRequest& request) { return bench.answer(request); });
    return velmora::RunProgram(argc, argv, [&](velmora::Form1& editor) {
        QTimer::singleShot(0, &bench, [&bench, &editor] { bench.run(editor); });
    });
}
