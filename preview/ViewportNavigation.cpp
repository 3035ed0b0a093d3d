#include "ViewportNavigation.h"

#include "ViewportModel.h"

#include <algorithm>
#include <cmath>

namespace velmora {

void ViewportNavigation::scrollLines(Axis axis, int lines) {
    scrollBy(axis, float(lines) * kLineTwips);
}

void ViewportNavigation::scrollPages(Axis axis, int pages) {
    const float page = axis == Axis::Horizontal ? ViewportModel::kViewportInnerWidth
                                                : ViewportModel::kViewportInnerHeight;
    scrollBy(axis, float(pages) * page);
}

void ViewportNavigation::scrollToStart(Axis axis) {
    setValue(axis, 0);
}

void ViewportNavigation::scrollToEnd(Axis axis) {
    const ScrollBarState& bar =
        axis == Axis::Horizontal ? viewport_.hScroll() : viewport_.vScroll();
    setValue(axis, bar.max);
}

void ViewportNavigation::scrollBy(Axis axis, float twips) {
    const bool horizontal = axis == Axis::Horizontal;
    const std::int16_t step = horizontal ? viewport_.hStep() : viewport_.vStep();
    if (step == 0) return;
    const ScrollBarState& bar = horizontal ? viewport_.hScroll() : viewport_.vScroll();
    setValue(axis, bar.value + int(std::lround(twips / float(step))));
}

void ViewportNavigation::setValue(Axis axis, int value) {
    const bool horizontal = axis == Axis::Horizontal;
    const ScrollBarState& bar = horizontal ? viewport_.hScroll() : viewport_.vScroll();
    if (!bar.enabled) return;
    const auto clamped = static_cast<std::int16_t>(std::clamp<int>(value, 0, bar.max));
    if (horizontal)
        viewport_.setHScrollValue(clamped);
    else
        viewport_.setVScrollValue(clamped);
}

int ViewportNavigation::takeNotches(int& pending, int delta) {
    pending += delta;
    const int notches = pending / kNotch;  // toward zero, so the remainder keeps its sign
    pending -= notches * kNotch;
    return notches;
}

int ViewportNavigation::wheel(QPoint angleDelta, bool control, bool shift, int linesPerNotch) {
    const int turn = angleDelta.y() ? angleDelta.y() : angleDelta.x();
    if (control) return takeNotches(pendingZoom_, turn);
    // Turning the wheel away from the user shows what lies above (or to the left).
    if (shift) {
        scrollLines(Axis::Horizontal, -takeNotches(pendingX_, turn) * linesPerNotch);
        return 0;
    }
    if (angleDelta.x())
        scrollLines(Axis::Horizontal, -takeNotches(pendingX_, angleDelta.x()) * linesPerNotch);
    if (angleDelta.y())
        scrollLines(Axis::Vertical, -takeNotches(pendingY_, angleDelta.y()) * linesPerNotch);
    return 0;
}

QList<ViewportNavigation::Key> ViewportNavigation::Keys() {
    using To = ViewportNavigation;
    return {
        {QKeySequence(Qt::Key_Up), [](To& to) { to.scrollLines(Axis::Vertical, -1); }},
        {QKeySequence(Qt::Key_Down), [](To& to) { to.scrollLines(Axis::Vertical, 1); }},
        {QKeySequence(Qt::Key_Left), [](To& to) { to.scrollLines(Axis::Horizontal, -1); }},
        {QKeySequence(Qt::Key_Right), [](To& to) { to.scrollLines(Axis::Horizontal, 1); }},
        {QKeySequence(Qt::Key_PageUp), [](To& to) { to.scrollPages(Axis::Vertical, -1); }},
        {QKeySequence(Qt::Key_PageDown), [](To& to) { to.scrollPages(Axis::Vertical, 1); }},
        {QKeySequence(Qt::Key_Home), [](To& to) { to.scrollToStart(Axis::Vertical); }},
        {QKeySequence(Qt::Key_End), [](To& to) { to.scrollToEnd(Axis::Vertical); }},
    };
}

}  // namespace velmora
