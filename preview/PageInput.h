#pragma once

#include <QObject>
#include <QPointF>
#include <functional>

class QMenu;
class QMouseEvent;
class QWheelEvent;

namespace velmora {

class ViewportModel;
class ViewportNavigation;
class WindowPointer;
struct PreviewControls;

// The mouse over the preview's controls: a drag with any button moves the page, a still
// right click opens the page's menu; the wheel over the page, its frame or a bar scrolls
// (sideways with Shift) and with Ctrl zooms a step a notch; the pointer is a hand over the
// buttons and an arrow over Frame1 around them. The window installs it on those controls.
class PageInput : public QObject {
public:
    struct Window {
        ViewportModel& viewport;
        ViewportNavigation& navigation;
        WindowPointer& pointer;
        const PreviewControls& controls;
        std::function<void()> viewMoved;        // the view changed: mirror it
        std::function<void(bool in)> zoomStep;  // one step of the zoom commands
        std::function<QMenu*()> pageMenu;
    };

    PageInput(Window window, QObject* parent);

    // The wheel anywhere over the window.
    void turnWheel(QWheelEvent& event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pictureMouse(const QMouseEvent& event);

    Window window_;
    // A right-button press on the page opens the context menu at its release, unless the
    // mouse moved in between (a drag that pans the page).
    bool rightPressed_ = false;
    bool rightMoved_ = false;
    QPointF rightPressAt_;
};

}  // namespace velmora
