#include "ProgramMain.h"

#include "coversheet/OfficeJobs.h"
#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "editor/Form1.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/LargeAllocations.h"
#include "shell/RunRecord.h"
#include "shell/TempFolder.h"
#include "shell/TerminationSignals.h"
#include "shell/ui/ErrorBox.h"

#include <QApplication>

namespace velmora {

int RunProgram(int argc, char* argv[], const std::function<void(Form1&)>& shown) {
    ReuseLargeAllocations();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(kProductName));
    QApplication::setDesktopFileName(QStringLiteral("velmora"));
    QApplication::setWindowIcon(ProgramIcon());
    // The numbered steps report through the "Application Error" box.
    const ScopedErrorBoxes errorBoxes;

    // Office instances start ahead of need: the start-up check's first, while the editor is
    // being built, then one for the document and one for its picture, while the user fills
    // in the fields.
    // Made before the offices, so that it outlives them: at the end it removes what this run
    // still holds in the temporary folder, and at the start what a crashed run left there.
    const RunRecord record(TempFolder());

    WordApplicationPool offices;
    const ScopedWordApplicationPool useTheOffices(offices);
    offices.keepReady(1, WordApplicationPool::Readiness::Started);
    // The office work of the windows; it ends before the offices do.
    OfficeJobs officeJobs;
    const ScopedOfficeJobs useTheWorker(officeJobs);

    Form1 editor;
    // A logout, a closed terminal or a kill ends the program as closing its window does.
    bool ended = false;
    const TerminationSignals endOnSignal([&](int) {
        ended = true;
        editor.endProgram();
    });
    if (!editor.Form_Load() || ended) return 0;
    editor.show();
    offices.keepReady(2);
    if (shown) shown(editor);
    return app.exec();
}

}  // namespace velmora
