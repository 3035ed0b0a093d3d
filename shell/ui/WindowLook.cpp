#include "WindowLook.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>

namespace velmora {

QFont ArialBold(qreal points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

void PaintButtonFace(QWidget* widget) {
    // The button face comes with the text colour drawn on it, so that light and dark themes
    // both keep their text readable.
    const QPalette system = QApplication::palette();
    QPalette palette = widget->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, system.color(group, QPalette::Button));
        palette.setColor(group, QPalette::WindowText, system.color(group, QPalette::ButtonText));
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void SetButtonFaceColors(QWidget* window) {
    // A plain QFrame is a frame; labels and scroll areas are QFrames too, but not frames.
    const auto isFrame = [](const QWidget* w) {
        return qobject_cast<const QGroupBox*>(w) || w->metaObject() == &QFrame::staticMetaObject;
    };
    PaintButtonFace(window);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QLabel*>(child) || isFrame(child))
            PaintButtonFace(child);
    }
}

bool CentreOnScreen(QWidget& window) {
    const QScreen* onScreen = window.screen();
    if (!onScreen) return false;
    QRect frame = window.frameGeometry();
    frame.moveCenter(onScreen->availableGeometry().center());
    window.move(frame.topLeft());
    return true;
}

}  // namespace velmora
