#pragma once

#include <QPalette>

class QWidget;

namespace velmora::editor {

// The editor is white whatever the desktop's theme: a light palette with dark text, taking
// from the theme only its selection, link and tooltip colours, which come in pairs.
QPalette EditorPalette(const QPalette& theme);

// A white surface comes with its dark text, so that a dark theme cannot put light text on it.
void PaintWhite(QWidget* widget);

}  // namespace velmora::editor
