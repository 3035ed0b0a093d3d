#pragma once

#include <QString>

class QWidget;

namespace velmora {

// A window of the program as assistive technology should find it: a frame (Qt reads a plain
// widget window as a nameless "filler"), with a name and a description of its own, so that
// windows that share a caption can be told apart; the caption (the window title) stays as it
// is. Best called first in the window's constructor, before anything reads it.
void SetWindowAccessibility(QWidget& window, const QString& name, const QString& description);

}  // namespace velmora
