#include "ProgramMain.h"

#include "coversheet/OfficeJobs.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "coversheet/office/OfficeFiles.h"
#include "editor/Form1.h"
#include "fax/server/FaxOutbox.h"
#include "fax/server/ReceivedFaxes.h"
#include "fax/server/SentFaxes.h"
#include "preview/FaxNotices.h"
#include "preview/SendFaxDialog.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/LargeAllocations.h"
#include "shell/RunRecord.h"
#include "shell/TempFolder.h"
#include "shell/TerminationSignals.h"
#include "shell/ui/DesktopNotices.h"
#include "shell/ui/ErrorBox.h"
#include "shell/ui/MessageBox.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPointer>

#include <cstdio>

namespace velmora {

namespace {

// The program's options: --help and --version print and end the program before any window or
// X connection is made; Qt's own options (-display, -platform, ...) are taken by the
// application; anything else is reported on standard error and changes nothing.
class CommandLine {
public:
    CommandLine() {
        parser_.setApplicationDescription(
            QStringLiteral("Fills in a fax cover sheet and keeps it as a Word document."));
        parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    }

    // Handles --help and --version; true when the program should end here.
    bool printedAnswer(int argc, char* argv[]) {
        const QStringList given = arguments(argc, argv);
        (void)parser_.parse(given);
        if (parser_.isSet(help_) || parser_.isSet(QStringLiteral("help-all"))) {
            // Without an application the parser cannot know the program's own name.
            QString text = parser_.helpText();
            text.replace(QLatin1String("<executable_name>"),
                         QFileInfo(given.value(0, QStringLiteral("velmora"))).fileName());
            std::fputs(qPrintable(text), stdout);
            return true;
        }
        if (parser_.isSet(version_)) {
            std::printf("%s %s\n", kProductName, VELMORA_VERSION);
            return true;
        }
        return false;
    }

    // What is left once the application has taken its own options: the program has no other.
    static void reportIgnored(const QStringList& left) {
        if (left.size() > 1)
            std::fprintf(stderr, "velmora: ignored on the command line: %s\n",
                         qPrintable(left.mid(1).join(QLatin1Char(' '))));
    }

private:
    static QStringList arguments(int argc, char* argv[]) {
        QStringList list;
        for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
        return list;
    }

    QCommandLineParser parser_;
    QCommandLineOption help_ = parser_.addHelpOption();
    QCommandLineOption version_ = parser_.addVersionOption();
};

}  // namespace

int RunProgram(int argc, char* argv[], const std::function<void(Form1&)>& shown) {
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
    QCoreApplication::setApplicationVersion(QLatin1String(VELMORA_VERSION));
    CommandLine commandLine;
    if (commandLine.printedAnswer(argc, argv)) return 0;
    ReuseLargeAllocations();
    QApplication app(argc, argv);
    CommandLine::reportIgnored(QApplication::arguments());
    QApplication::setDesktopFileName(QLatin1String(VELMORA_DESKTOP_ID));
    QApplication::setWindowIcon(ProgramIcon());
    // The numbered steps report through the "Application Error" box.
    const ScopedErrorBoxes errorBoxes;

    // Office instances start ahead of need: the start-up check's first, while the editor is
    // being built, then one for the document and one for its picture, while the user fills
    // in the fields.
    // Made before the offices, so that it outlives them: at the end it removes what this run
    // still holds in the temporary folder, and at the start what a crashed run left there,
    // each document with the office's lock file beside it.
    const RunRecord record(TempFolder(), office::LockFileOf);

    // A logout, a closed terminal or a kill ends the program as closing its window does. Made
    // before the worker, so that it outlives it: a signal that comes while the program ends
    // (the worker's jobs given up and waited for) is taken, not left to end the program by the
    // signal with a job's process still out there.
    bool ended = false;
    QPointer<Form1> shownEditor;
    const TerminationSignals endOnSignal([&](int) {
        ended = true;
        if (shownEditor) shownEditor->endProgram();
    });

    WordApplicationPool offices({.start = StartWordApplication});
    const ScopedWordApplicationPool useTheOffices(offices);
    offices.keepReady(1, WordApplicationPool::Readiness::Started);
    // The office work of the windows; it ends before the offices do.
    OfficeJobs officeJobs;
    const ScopedOfficeJobs useTheWorker(officeJobs);

    // The faxes sent from here, followed on the fax server's worker while the program runs,
    // and told when they are sent or fail.
    SentFaxes sentFaxes;
    FaxOutbox outbox(sentFaxes);
    const ScopedFaxOutbox useTheOutbox(outbox);
    DesktopNotices notices;
    FaxNotices faxNotices(outbox, notices);
    // The faxes the server received, asked for while the program runs; a new one is told.
    ReceivedFaxes receivedFaxes;
    const ScopedReceivedFaxes useTheReceivedFaxes(receivedFaxes);
    receivedFaxes.setNameLookup(PhoneBookName);
    receivedFaxes.setServer(LastFaxServer());
    faxNotices.hear(receivedFaxes);

    Form1 editor;
    shownEditor = &editor;
    if (!editor.Form_Load() || ended) return 0;
    editor.show();
    if (const QString problem = sentFaxes.problem(); !problem.isEmpty())
        QMetaObject::invokeMethod(
            &editor,
            [problem] {
                ShowMessage({.title = {}, .text = problem, .icon = MessageIcon::Warning});
            },
            Qt::QueuedConnection);
    offices.keepReady(2);
    if (shown) shown(editor);
    return app.exec();
}

}  // namespace velmora
