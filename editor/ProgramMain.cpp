#include "ProgramMain.h"

#include "coversheet/WordApplicationPool.h"
#include "coversheet/WordEngine.h"
#include "editor/Form1.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"

#include <QApplication>

namespace velmora {

int RunProgram(int argc, char* argv[], const std::function<void(Form1&)>& shown) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(kProductName));
    QApplication::setDesktopFileName(QStringLiteral("velmora"));
    QApplication::setWindowIcon(ProgramIcon());

    // Office instances start ahead of need: the start-up check's first, while the editor is
    // being built, then one for the document and one for its picture, while the user fills
    // in the fields.
    WordApplicationPool offices;
    const ScopedWordApplicationPool useTheOffices(offices);
    offices.keepReady(1, WordApplicationPool::Readiness::Started);

    Form1 editor;
    if (!editor.Form_Load()) return 0;
    editor.show();
    offices.keepReady(2);
    if (shown) shown(editor);
    return app.exec();
}

}  // namespace velmora
