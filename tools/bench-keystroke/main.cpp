// bench-keystroke: how long one typed character takes in the editor's message field while the
// message is long, in the real editor window with its real settings store; see README.md.
#include "editor/Form1.h"
#include "shell/LargeAllocations.h"
#include "shell/RunRecord.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace velmora;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// About `bytes` of text: lines of a letter, CR LF between them as the store keeps them, or
// one paragraph without a break.
QString Message(qsizetype bytes, bool lines) {
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    QString text;
    text.reserve(bytes + 100);
    int column = 0;
    while (text.size() < bytes) {
        text += sentence;
        if (lines && ++column % 2 == 0) text += QStringLiteral("\r\n");
    }
    return text;
}

struct Times {
    std::vector<double> key;     // the key press handled: the field, its store and its mirrors
    std::vector<double> answer;  // and the window painted again
};

Times TypeInto(Form1& editor, const QString& message, int keys) {
    FieldGroup& group = editor.group("txtMsg");
    group.setValue(0, message);
    editor.tabControl()->setCurrentIndex(0);
    auto* field = static_cast<QPlainTextEdit*>(group.member(0));
    field->setFocus();
    QApplication::processEvents();
    field->moveCursor(QTextCursor::End);
    Times times;
    for (int i = 0; i < keys; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(field, char('a' + i % 26));
        times.key.push_back(timer.nsecsElapsed() / 1e6);
        editor.repaint();
        QApplication::processEvents();
        times.answer.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (group.value(group.memberCount() - 1) != group.value(0))
        std::fprintf(stderr, "bench-keystroke: the members disagree\n");
    return times;
}

// The same keys into a field of the same size, font and text that belongs to no group: what
// the text field itself costs, without the store and the mirrors.
std::vector<double> TypeIntoFieldAlone(QPlainTextEdit& like, const QString& message, int keys) {
    QPlainTextEdit field(like.parentWidget());
    field.setGeometry(like.geometry());
    field.setFont(like.font());
    field.setVerticalScrollBarPolicy(like.verticalScrollBarPolicy());
    field.setPlainText(QString(message).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    field.show();
    field.raise();
    field.setFocus();
    QApplication::processEvents();
    field.moveCursor(QTextCursor::End);
    std::vector<double> times;
    for (int i = 0; i < keys; ++i) {
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(&field, char('a' + i % 26));
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return times;
}

}  // namespace

int main(int argc, char* argv[]) {
    // As the program does.
    ReuseLargeAllocations();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A settings store of its own, so the user's fields stay as they are.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    // The run's record of its files, which a save of the settings also keeps.
    const RunRecord record(config.path());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times one typed character in the message field with a 64 KB and a 1 MB message "
        "(as lines and as one paragraph); prints medians and the slowest key."));
    parser.addHelpOption();
    const QCommandLineOption keysOption(QStringLiteral("keys"),
                                        QStringLiteral("Keys typed per message (25)."),
                                        QStringLiteral("N"), QStringLiteral("25"));
    parser.addOption(keysOption);
    parser.addPositionalArgument(QStringLiteral("case"),
                                 QStringLiteral("Only the cases whose name contains this text."));
    parser.process(app);
    const QString only = parser.positionalArguments().value(0);
    const int keys = std::max(1, parser.value(keysOption).toInt());

    Form1 editor({.checkOffice = [] { return true; },
                  .drawVisitNumber = [] { return 2; },
                  .openUrl = [](const QUrl&) {},
                  .programFolder = config.path()});
    editor.Form_Load();
    editor.show();
    if (!QTest::qWaitForWindowExposed(&editor)) return 1;

    std::printf("%-22s %10s %10s %12s %12s %14s   (ms, %d keys)\n", "message", "key median",
                "key max", "answer med.", "answer max", "field alone", keys);
    const struct {
        const char* name;
        qsizetype bytes;
        bool lines;
    } cases[] = {{"64 KB, lines", 64 * 1024, true},
                 {"64 KB, one paragraph", 64 * 1024, false},
                 {"1 MB, lines", 1024 * 1024, true},
                 {"1 MB, one paragraph", 1024 * 1024, false}};
    for (const auto& c : cases) {
        if (!QLatin1String(c.name).contains(only)) continue;
        const QString message = Message(c.bytes, c.lines);
        const Times times = TypeInto(editor, message, keys);
        auto* typed = static_cast<QPlainTextEdit*>(editor.group("txtMsg").member(0));
        const double alone = Median(TypeIntoFieldAlone(*typed, message, keys));
        std::printf("%-22s %10.2f %10.2f %12.2f %12.2f %14.2f\n", c.name, Median(times.key),
                    *std::max_element(times.key.begin(), times.key.end()), Median(times.answer),
                    *std::max_element(times.answer.begin(), times.answer.end()), alone);
        std::fflush(stdout);
    }
    return 0;
}
