#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>

namespace velmora {

// A window's one pointer setting: the default arrow, the hourglass while the window works,
// or the custom hand over its command buttons. The hover rules never change the hourglass.
class WindowPointer {
public:
    enum Pointer { Default = 0, Hourglass = 11, Custom = 99 };

    explicit WindowPointer(QWidget& window) : window_(&window) {}

    // Whether the program folder holds the custom pointer's picture, HAND-M.CUR.
    static bool customCursorExists(const QString& programFolder);

    // The custom pointer's picture: HAND-M.CUR from the program folder when that file
    // exists and can be read; the returned flag says whether it was loaded.
    bool loadCustomCursor(const QString& programFolder);

    Pointer pointer() const { return pointer_; }
    void set(Pointer pointer);

    void arrowRule() {
        if (pointer_ != Hourglass) set(Default);
    }
    void handRule() {
        if (pointer_ != Hourglass) set(Custom);
    }

private:
    QPointer<QWidget> window_;
    Pointer pointer_ = Default;
    QCursor custom_{Qt::PointingHandCursor};
};

}  // namespace velmora
