#pragma once

#include <QApplication>
#include <QPointer>
#include <QWidget>

namespace velmora {

// Shows the program's one window of a kind, held in `held`: made by `make` the first time, and
// again once it was closed, as a window of its own that goes when it is closed or when the
// program quits (before what it shows), placed beside `from`; raised and made active each time.
template <class Window, class Make>
Window* ShowOneWindow(QPointer<Window>& held, QWidget* from, Make&& make) {
    if (!held) {
        held = make();
        held->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, held, &QObject::deleteLater);
        if (from) held->move(from->frameGeometry().topLeft() + QPoint(40, 40));
    }
    held->show();
    held->raise();
    held->activateWindow();
    return held;
}

}  // namespace velmora
