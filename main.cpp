#include "editor/Form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    velmora::Form1 editor;
    editor.show();
    return app.exec();
}
