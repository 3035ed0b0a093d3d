#include "PageInput.h"

#include "PreviewLayout.h"
#include "ViewportModel.h"
#include "ViewportNavigation.h"
#include "shell/Twips.h"
#include "shell/ui/WindowPointer.h"

#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstdlib>
#include <utility>

namespace velmora {
namespace {

// A right-button press and release count as a click when the pointer moved less than this
// (in pixels, either way) in between; more is a drag.
constexpr qreal kStillClickSlack = 2;

}  // namespace

PageInput::PageInput(Window window, QObject* parent)
    : QObject(parent), window_(std::move(window)) {}

void PageInput::turnWheel(QWheelEvent& event) {
    event.accept();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const int zoomSteps =
        window_.navigation.wheel(event.angleDelta(), modifiers & Qt::ControlModifier,
                                 modifiers & Qt::ShiftModifier, QApplication::wheelScrollLines());
    // One zoom step per notch, through the zoom commands themselves.
    for (int step = 0; step < std::abs(zoomSteps); ++step) window_.zoomStep(zoomSteps > 0);
    window_.viewMoved();
}

bool PageInput::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::Wheel &&
        (watched == window_.controls.hScroll1 || watched == window_.controls.vScroll1 ||
         watched == window_.controls.picture1 || watched == window_.controls.picture2)) {
        turnWheel(static_cast<QWheelEvent&>(*event));
        return true;
    }
    if (watched == window_.controls.picture1 &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
         type == QEvent::MouseButtonRelease)) {
        pictureMouse(static_cast<const QMouseEvent&>(*event));
        return true;
    }
    if (type == QEvent::MouseMove) {
        const auto& move = static_cast<const QMouseEvent&>(*event);
        if (watched == parent()) {
            // Over the window itself or its client area, not over a control.
            const auto& window = static_cast<const QWidget&>(*parent());
            const QWidget* under = window.childAt(move.position().toPoint());
            if (!under || under == window_.controls.chrome.client) window_.pointer.arrowRule();
            return false;
        }
        if (watched == window_.controls.frame1 &&
            !window_.controls.frame1->childAt(move.position().toPoint())) {
            window_.pointer.arrowRule();
        } else if (watched == window_.controls.pushButton1 ||
                   watched == window_.controls.pushButton2 ||
                   watched == window_.controls.pushButton6 ||
                   watched == window_.controls.pushButton8) {
            window_.pointer.handRule();
            // Hovering ends here; a button left to itself would pass the move on to Frame1.
            if (move.buttons() == Qt::NoButton) return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PageInput::pictureMouse(const QMouseEvent& event) {
    const auto x = static_cast<float>(event.position().x() * kTwipsPerPixel);
    const auto y = static_cast<float>(event.position().y() * kTwipsPerPixel);
    // The view moves with a drag, so movement is measured on the screen.
    const QPointF onScreen = event.globalPosition();
    switch (event.type()) {
        case QEvent::MouseButtonPress:
            if (event.button() == Qt::RightButton) {
                rightPressed_ = true;
                rightMoved_ = false;
                rightPressAt_ = onScreen;
            }
            window_.viewport.picture1_MouseDown(x, y);
            break;
        case QEvent::MouseMove:
            if (rightPressed_ && (onScreen - rightPressAt_).manhattanLength() > kStillClickSlack)
                rightMoved_ = true;
            window_.viewport.picture1_MouseMove(event.buttons() != Qt::NoButton, x, y);
            break;
        default:
            window_.viewport.Picture1_MouseUp();
            break;
    }
    window_.viewMoved();
    if (event.type() == QEvent::MouseButtonRelease && event.button() == Qt::RightButton &&
        std::exchange(rightPressed_, false) && !rightMoved_)
        window_.pageMenu()->popup(onScreen.toPoint());
}

}  // namespace velmora
