#include "editor/Form1.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(velmora::kProductName));
    QApplication::setDesktopFileName(QStringLiteral("velmora"));
    QApplication::setWindowIcon(velmora::ProgramIcon());

    velmora::Form1 editor;
    if (!editor.Form_Load()) return 0;
    editor.show();
    return app.exec();
}
