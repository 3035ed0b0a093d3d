// Shows the editor on the display it is given and saves a picture of each tab, for looking
// the layout over: editor_screenshots <folder>. The office check is skipped.
#include "editor/Form1.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    velmora::EditorEnvironment environment;
    environment.checkOffice = [] { return true; };
    environment.drawVisitNumber = [] { return 1; };
    velmora::Form1 editor(environment);
    editor.Form_Load();
    editor.show();
    int tab = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        editor.grab().save(QStringLiteral("%1/editor-tab%2.png").arg(folder).arg(tab));
        if (++tab == editor.tabControl()->count()) {
            timer.stop();
            QApplication::exit(0);
            return;
        }
        editor.tabControl()->setCurrentIndex(tab);
    });
    timer.start(700);
    return app.exec();
}
