#include "EditorPalette.h"

#include <QWidget>

namespace velmora::editor {

QPalette EditorPalette(const QPalette& theme) {
    QPalette light(QColor(0xf0, 0xf0, 0xf0), Qt::white);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (const auto role :
             {QPalette::Highlight, QPalette::HighlightedText, QPalette::Link, QPalette::LinkVisited,
              QPalette::ToolTipBase, QPalette::ToolTipText})
            light.setColor(group, role, theme.color(group, role));
    return light;
}

void PaintWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    const QPalette light = EditorPalette(palette);
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (const auto role : {QPalette::Window, QPalette::Base, QPalette::WindowText,
                                QPalette::Text, QPalette::ButtonText})
            palette.setColor(group, role, light.color(group, role));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace velmora::editor
