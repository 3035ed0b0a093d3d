#pragma once

#include <QSize>

class QMenuBar;
class QStatusBar;
class QWidget;

namespace velmora {

// A window's designed client area with a menu bar above it and a status bar below it. The
// window's controls go into `client`, whose size is fixed at the designed one, so that their
// positions are those of the design whatever the bars measure. The two bars are equally tall,
// so the client area lies in the middle of the window's height. The window takes the size the
// three need and keeps it.
struct WindowChrome {
    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;
    QStatusBar* statusBar = nullptr;

    // The menus are in the menu bar: the status bar takes its height.
    void menusAdded() const;
    // While office work runs the status bar says so, and how to stop it.
    void showBusy(bool busy) const;
};

// Lays `window` out as menu bar, client area of `clientSize` pixels and status bar; all three
// are owned by the window.
WindowChrome AddWindowChrome(QWidget& window, QSize clientSize);

// Help > About Velmora: the program's name, version and purpose.
void ShowAbout(QWidget* parent);

}  // namespace velmora
