#pragma once

#include <QFont>

class QWidget;

namespace velmora {

// Arial, bold, as the windows' captions and buttons are; Liberation Sans stands in for it
// where it is not installed, with the same metrics.
QFont ArialBold(qreal points);

// Gives the window, and its option buttons, tick boxes, frames and labels, the button-face
// colour; every other control keeps its own.
void SetButtonFaceColors(QWidget* window);

// Fills the widget's background with the button-face colour, and gives its text the colour
// that goes with it.
void PaintButtonFace(QWidget* widget);

// Moves `window` to the middle of its screen's available area; false where it has no screen.
bool CentreOnScreen(QWidget& window);

}  // namespace velmora
