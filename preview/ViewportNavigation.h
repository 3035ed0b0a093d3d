#pragma once

#include <QKeySequence>
#include <QList>
#include <QPoint>
#include <cstdint>
#include <functional>

namespace velmora {

class ViewportModel;

// The keys and the wheel of the preview, worked out as the viewport's own scroll changes:
// each move sets a scroll bar's value, so the view, the bars and the designed arithmetic
// stay in step, and a bar that is disabled (the page fits) does not move at all. Zooming is
// left to the window's zoom commands; the wheel only counts the notches for them.
class ViewportNavigation {
public:
    enum class Axis { Horizontal, Vertical };

    static constexpr float kLineTwips = 300;  // an arrow key's move: 20 pixels at 96 dpi
    static constexpr int kNotch = 120;        // a wheel's notch, in eighths of a degree

    explicit ViewportNavigation(ViewportModel& viewport) : viewport_(viewport) {}

    // The keys that move the page wherever the focus is in the window, each with its move.
    struct Key {
        QKeySequence keys;
        std::function<void(ViewportNavigation&)> move;
    };
    static QList<Key> Keys();

    // Arrow keys and the wheel: whole lines, down or right for positive counts.
    void scrollLines(Axis axis, int lines);
    // PgUp and PgDn: by the viewport's inside height (or width).
    void scrollPages(Axis axis, int pages);
    // Home and End.
    void scrollToStart(Axis axis);
    void scrollToEnd(Axis axis);

    // A turn of the wheel, as the platform reports it: `angleDelta` in eighths of a degree,
    // positive away from the user. Scrolls `linesPerNotch` lines per notch, vertically, or
    // horizontally with Shift (or for a sideways wheel); with Ctrl it scrolls nothing and
    // returns the notches to zoom by, positive to zoom in. Turns smaller than a notch add
    // up until they make one.
    int wheel(QPoint angleDelta, bool control, bool shift, int linesPerNotch);

private:
    void scrollBy(Axis axis, float twips);
    void setValue(Axis axis, int value);
    int takeNotches(int& pending, int delta);

    ViewportModel& viewport_;
    int pendingX_ = 0;
    int pendingY_ = 0;
    int pendingZoom_ = 0;
};

}  // namespace velmora
