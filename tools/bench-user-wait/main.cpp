// bench-user-wait: runs the real program once and reports, as one line of numbers, how long
// the user waits for the editor and for the preview, and the peak memory of the program and
// of its office processes. tools/bench-user-wait.sh runs it several times and takes medians.

#include "Processes.h"
#include "editor/Form1.h"
#include "editor/ProgramMain.h"
#include "preview/Form2.h"

#include <time.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using namespace std::chrono_literals;

double NowSinceBootMs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1.0e6;
}

// When this process started, in the same clock (the kernel counts it in ticks since boot).
double ProcessStartMs() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return NowSinceBootMs();
    const QByteArray text = stat.readAll();
    // The fields after the command's closing parenthesis; starttime is the 22nd field overall.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.value(19).toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

long StatusKb(const QString& pid, const char* key) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    return 0;
}

// The resident memory of every office process descending from us, added up.
long OfficeRssKb() {
    long total = 0;
    for (const pid_t office : velmora::test::OfficesUnder(getpid()))
        total += velmora::test::ResidentKb(office);
    return total;
}

class MemorySampler {
public:
    MemorySampler()
        : thread_([this] {
              while (!stop_) {
                  officePeakKb_ = std::max(officePeakKb_.load(), OfficeRssKb());
                  std::this_thread::sleep_for(20ms);
              }
          }) {}
    ~MemorySampler() {
        stop_ = true;
        thread_.join();
    }
    long officePeakKb() const { return officePeakKb_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<long> officePeakKb_{0};
    std::thread thread_;
};

// Watches the program's windows: the editor's first paint, then the preview painted with
// the page it has captured.
class Stopwatch : public QObject {
public:
    Stopwatch(double startMs, double waitMs) : startMs_(startMs), waitMs_(waitMs) {}

    void watch(velmora::Form1& editor) {
        editor_ = &editor;
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (window == editor_ && editorShownMs_ < 0) {
            editorShownMs_ = NowSinceBootMs() - startMs_;
            // The style asked for, chosen as a user would while filling in the fields.
            const QString tab = qEnvironmentVariable("BENCH_USER_WAIT_TAB");
            if (!tab.isEmpty()) editor_->tabControl()->setCurrentIndex(tab.toInt());
            QTimer::singleShot(int(waitMs_), this, [this] { click(); });
        }
        const velmora::Form2* preview = editor_ ? editor_->previewWindow() : nullptr;
        if (clickMs_ >= 0 && window == preview && preview->isVisible() &&
            !preview->viewport().firstActivate() && !finished_) {
            finished_ = true;
            const double previewMs = NowSinceBootMs() - clickMs_;
            std::printf("%.1f %.1f %ld %ld\n", editorShownMs_, previewMs,
                        StatusKb(QStringLiteral("self"), "VmHWM:"), sampler_.officePeakKb());
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        }
        return false;
    }

private:
    void click() {
        auto* button = editor_->findChild<QPushButton*>(QStringLiteral("PushButton6"));
        if (!button) {
            std::fprintf(stderr, "bench-user-wait: no \"Start Creating Template\" button\n");
            std::_Exit(2);
        }
        clickMs_ = NowSinceBootMs();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    MemorySampler sampler_;
    const double startMs_;
    const double waitMs_;
    velmora::Form1* editor_ = nullptr;
    double editorShownMs_ = -1;
    double clickMs_ = -1;
    bool finished_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    const double startMs = ProcessStartMs();
    const double waitMs = qEnvironmentVariable("BENCH_USER_WAIT_SECONDS", "3").toDouble() * 1000;
    // A run that never reaches the preview (an error message waiting for an answer) fails.
    std::thread([] {
        std::this_thread::sleep_for(120s);
        std::fprintf(stderr, "bench-user-wait: no preview within 120 seconds\n");
        std::_Exit(3);
    }).detach();

    Stopwatch stopwatch(startMs, waitMs);
    return velmora::RunProgram(argc, argv,
                               [&](velmora::Form1& editor) { stopwatch.watch(editor); });
}
