// Times the office engine for one cover sheet; see README.md.
#include "coversheet/CoverSheet.h"
#include "coversheet/PageSnapshot.h"
#include "coversheet/WordEngine.h"
#include "shell/AtomicFile.h"
#include "shell/TempFolder.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

using namespace velmora;
using namespace velmora::coversheet;

const char* const kSteps[] = {"start", "open",  "fill", "fields",
                              "save",  "close", "quit", "snapshot"};

class Stopwatch {
public:
    explicit Stopwatch(std::map<QString, std::vector<double>>& times) : times_(times) {}
    template <class Action>
    void time(const char* step, Action&& action) {
        QElapsedTimer timer;
        timer.start();
        action();
        times_[QLatin1String(step)].push_back(timer.nsecsElapsed() / 1e6);
    }

private:
    std::map<QString, std::vector<double>>& times_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A message of about `bytes` characters: lines of 64 characters, or one paragraph.
QString LongMessage(qsizetype bytes, bool oneParagraph) {
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog, %1 times. ");
    QString text;
    text.reserve(bytes + 80);
    for (int i = 0; text.size() < bytes; ++i) {
        text += line.arg(i, 6);
        if (!oneParagraph) text += QStringLiteral("\r\n");
    }
    return text;
}

// Twenty writes over the bookmarks the style fills, as a busy cover sheet would.
std::vector<std::pair<QString, QString>> TwentyWrites(int tab, const QString& message) {
    std::vector<QString> names;
    for (const Bookmark& bookmark : Bookmarks())
        if (bookmark.filledOnTab[tab]) names.push_back(QLatin1String(bookmark.name));
    std::vector<std::pair<QString, QString>> writes;
    for (int i = 0; i < 20; ++i) {
        const QString& name = names[size_t(i) % names.size()];
        const Bookmark& bookmark = BookmarkNamed(name.toStdString());
        QString value = QStringLiteral("Value %1 for %2 — Zoë").arg(i).arg(name);
        if (bookmark.form == Written::Tick) value = QStringLiteral("V");
        if (name == QLatin1String("bkMsg"))
            value = message.isEmpty() ? QStringLiteral(
                                            "First line.\r\nSecond line.\r\nThird line, a little "
                                            "longer.")
                                      : message;
        writes.emplace_back(name, value);
    }
    return writes;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir temp;
    qputenv("TEMP", temp.path().toLocal8Bit());
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the office engine for one cover sheet: start, open, fill of twenty bookmarks, "
        "field update, save, close, quit, and one whole snapshot; prints medians."));
    parser.addHelpOption();
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Number of runs (5)."), QStringLiteral("N"),
                                        QStringLiteral("5"));
    // Not "style": the application takes that for its widget style and drops it.
    const QCommandLineOption styleOption(QStringLiteral("tab"),
                                         QStringLiteral("Cover-sheet style 0..3 (1)."),
                                         QStringLiteral("tab"), QStringLiteral("1"));
    const QCommandLineOption keepOption(QStringLiteral("keep-snapshot"),
                                        QStringLiteral("Copy the last snapshot to FILE."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption messageOption(
        QStringLiteral("message"),
        QStringLiteral("A message of about N characters instead of three lines."),
        QStringLiteral("N"));
    const QCommandLineOption paragraphOption(QStringLiteral("one-paragraph"),
                                             QStringLiteral("That message as one paragraph."));
    const QCommandLineOption keepDocumentOption(QStringLiteral("keep-document"),
                                                QStringLiteral("Copy the last document to FILE."),
                                                QStringLiteral("FILE"));
    parser.addOptions(
        {runsOption, styleOption, keepOption, keepDocumentOption, messageOption, paragraphOption});
    parser.process(app);
    const int runs = std::max(1, parser.value(runsOption).toInt());
    const int tab = std::clamp(parser.value(styleOption).toInt(), 0, kTabCount - 1);

    // Any error the snapshot reports goes to standard error: no boxes are set here.
    const QString templatePath = TempPath(QStringLiteral("template.dot"));
    const QString documentPath = TempPath(QStringLiteral("sheet.doc"));
    std::map<QString, std::vector<double>> times;
    Stopwatch watch(times);
    try {
        NewFile::Write(templatePath, LoadResData(StyleOfTab(tab).resourceId));
        const auto writes = TwentyWrites(
            tab, parser.isSet(messageOption) ? LongMessage(parser.value(messageOption).toLongLong(),
                                                           parser.isSet(paragraphOption))
                                             : QString());
        for (int run = 0; run < runs; ++run) {
            QFile::remove(documentPath);
            std::unique_ptr<WordConnection> word;
            watch.time("start", [&] { word = CreateWordApplication(); });
            watch.time("open", [&] { word->documentsOpen(templatePath, true); });
            watch.time("fill", [&] {
                for (const auto& [name, value] : writes) word->setBookmarkText(name, value);
            });
            watch.time("fields", [&] { word->fieldsUpdate(); });
            watch.time("save", [&] { word->saveAs(documentPath); });
            watch.time("close", [&] { word->close(); });
            watch.time("quit", [&] { word->quit(); });
            word.reset();
            watch.time("snapshot", [&] { SaveDocAsJPG(documentPath); });
            if (parser.isSet(keepDocumentOption)) {
                QFile::remove(parser.value(keepDocumentOption));
                QFile::copy(documentPath, parser.value(keepDocumentOption));
            }
            std::fprintf(stderr, "run %d of %d done\n", run + 1, runs);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench-engine: %s\n", error.what());
        return 1;
    }
    if (parser.isSet(keepOption)) {
        QFile::remove(parser.value(keepOption));
        QFile::copy(SnapshotPath(), parser.value(keepOption));
    }

    std::printf("%-10s %10s %10s %10s   (ms, %d runs, style %d)\n", "step", "median", "min", "max",
                runs, tab);
    for (const char* step : kSteps) {
        const auto& values = times[QLatin1String(step)];
        std::printf("%-10s %10.1f %10.1f %10.1f\n", step, Median(values),
                    *std::min_element(values.begin(), values.end()),
                    *std::max_element(values.begin(), values.end()));
    }
    return 0;
}
