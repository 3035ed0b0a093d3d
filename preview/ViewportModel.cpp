#include "ViewportModel.h"

#include "shell/Failure.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"

#include <cmath>
#include <limits>

namespace velmora {
namespace {

// Whole numbers are rounded to the nearest, ties to even, and must fit their type.
template <class Int>
Int checked(double value) {
    if (!(value >= std::numeric_limits<Int>::min() && value <= std::numeric_limits<Int>::max()))
        throw Failure(QStringLiteral("Overflow"));
    return static_cast<Int>(value);
}

template <class Int>
Int rounded(double value) {
    return checked<Int>(std::nearbyint(value));
}

}  // namespace

ViewportModel::ViewportModel(PreviewCanvas& canvas) : canvas_(canvas) {}

void ViewportModel::assignViewPicture(QSizeF naturalSize) {
    viewPicture_ = naturalSize;
    if (viewAutoSize_) {
        view_.width = static_cast<float>(naturalSize.width());
        view_.height = static_cast<float>(naturalSize.height());
    }
}

void ViewportModel::Form_Activate() {
    Procedure proc(location::Form2_Form_Activate);
    if (proc.test(
            100, [&] { return mFirstActivate; }, false)) {
        proc.step(102, [&] { canvas_.prepareView(); });
        proc.step(106, [&] {
            viewAutoSize_ = true;
            if (viewPicture_) assignViewPicture(*viewPicture_);
        });
        proc.step(112, [&] { holderSize_.setWidth(view_.width); });
        proc.step(114, [&] { holderSize_.setHeight(view_.height); });
        proc.step(122, [&] { canvas_.holdViewPicture(); });
        proc.step(124, [&] { mZoom = 1.0f; });
        takeOriginalFromHolder(proc);
        proc.step(134, [&] { RedrawImage(); });
        proc.step(136, [&] { SetupScrollbars(); });
    }
    proc.step(138, [&] { mFirstActivate = false; });
}

// Steps 126 to 132, shared by the capture and by the redraw's way back to zoom 1. The
// holder has no border, so its inner size is its size.
void ViewportModel::takeOriginalFromHolder(Procedure& proc) {
    proc.step(126, [&] {
        mOrigWidth = rounded<std::int32_t>(static_cast<float>(holderSize_.width()) - 2.0f);
    });
    proc.step(128, [&] {
        mOrigHeight = rounded<std::int32_t>(static_cast<float>(holderSize_.height()) - 2.0f);
    });
    proc.step(130, [&] { mImageWidth = mOrigWidth; });
    proc.step(132, [&] { mImageHeight = mOrigHeight; });
}

void ViewportModel::RedrawImage() {
    Procedure proc(location::Form2_RedrawImage);
    proc.step(100, [&] {
        mImageWidth = checked<std::int32_t>(std::floor(double(mOrigWidth) * double(mZoom)));
    });
    proc.step(102, [&] {
        mImageHeight = checked<std::int32_t>(std::floor(double(mOrigHeight) * double(mZoom)));
    });
    const bool fits = proc.test(
        104, [&] { return mImageWidth < kImageWidthLimit && mImageHeight < kImageHeightLimit; },
        false);
    if (fits) {
        proc.step(106, [&] {
            viewPicture_.reset();
            canvas_.clearViewPicture();
        });
        proc.step(108, [&] { view_.width = static_cast<float>(mImageWidth); });
        proc.step(110, [&] { view_.height = static_cast<float>(mImageHeight); });
        proc.step(112, [&] {
            canvas_.paintPage(QSize(mImageWidth, mImageHeight), QSize(mOrigWidth, mOrigHeight));
        });
        proc.step(114, [&] { canvas_.defaultPointer(); });
        proc.step(116, [&] { setHScrollValue(0); });
        proc.step(118, [&] { setVScrollValue(0); });
        proc.step(120, [&] { hScroll_.enabled = kViewportInnerWidth < mImageWidth; });
        proc.step(122, [&] { vScroll_.enabled = kViewportInnerHeight < mImageHeight; });
    } else {
        // Too large to draw: back to zoom 1; the view keeps showing what it showed.
        proc.step(124, [&] { mZoom = 1.0f; });
        takeOriginalFromHolder(proc);
    }
}

void ViewportModel::SetupScrollbars() {
    view_.left = 0;
    view_.top = 0;
    setupBar(Axis::Horizontal);
    setupBar(Axis::Vertical);
}

void ViewportModel::setupBar(Axis axis) {
    const bool horizontal = axis == Axis::Horizontal;
    const float size = horizontal ? view_.width : view_.height;
    const float outer = horizontal ? kViewportOuterWidth : kViewportOuterHeight;
    ScrollBarState& scroll = bar(axis);
    if (size <= outer) {
        scroll.enabled = false;
        step(axis) = 0;
        return;
    }
    const float overhang = size - outer;
    scroll.enabled = true;
    if (overhang <= 100) {
        setBarMax(axis, rounded<std::int16_t>(overhang));
        step(axis) = 1;
    } else {
        setBarMax(axis, rounded<std::int16_t>(overhang / 10));
        step(axis) = 10;
    }
    setBarValue(axis, 0);
}

void ViewportModel::StepZoom(ZoomDirection direction) {
    const float proposed = direction == ZoomDirection::In ? mZoom + kZoomStep : mZoom - kZoomStep;
    SetZoom(proposed);
}

void ViewportModel::SetZoom(float proposed) {
    if (proposed < kMinZoom || proposed > kMaxZoom) return;
    mZoom = proposed;
    RedrawImage();
    SetupScrollbars();
}

void ViewportModel::setHScrollValue(std::int16_t value) {
    setBarValue(Axis::Horizontal, value);
}
void ViewportModel::setVScrollValue(std::int16_t value) {
    setBarValue(Axis::Vertical, value);
}

// A lower maximum pulls the value down with it, which counts as a change.
void ViewportModel::setBarMax(Axis axis, std::int16_t max) {
    if (max < 0) throw Failure(QStringLiteral("Invalid property value"));
    ScrollBarState& scroll = bar(axis);
    scroll.max = max;
    if (scroll.value > max) {
        scroll.value = max;
        barChanged(axis);
    }
}

void ViewportModel::setBarValue(Axis axis, std::int16_t value) {
    ScrollBarState& scroll = bar(axis);
    if (value < 0 || value > scroll.max) throw Failure(QStringLiteral("Invalid property value"));
    if (value == scroll.value) return;
    scroll.value = value;
    barChanged(axis);
}

void ViewportModel::barChanged(Axis axis) {
    const float offset = -static_cast<float>(std::int32_t(step(axis)) * bar(axis).value);
    (axis == Axis::Horizontal ? view_.left : view_.top) = offset;
}

void ViewportModel::SetHScrollbarByPercent(std::int16_t percent) {
    setBarByPercent(Axis::Horizontal, percent);
}

void ViewportModel::SetVScrollbarByPercent(std::int16_t percent) {
    setBarByPercent(Axis::Vertical, percent);
}

void ViewportModel::setBarByPercent(Axis axis, std::int16_t percent) {
    if (percent < 0 || percent > 100) return;
    setBarValue(axis, rounded<std::int16_t>(percent / 100.0 * bar(axis).max));
}

void ViewportModel::picture1_MouseDown(float x, float y) {
    Procedure proc(location::Form2_picture1_MouseDown);
    proc.step(100, [&] { mDragStartX = x; });
    proc.step(102, [&] { mDragStartY = y; });
}

void ViewportModel::picture1_MouseMove(bool anyButtonDown, float x, float y) {
    Procedure proc(location::Form2_picture1_MouseMove);
    if (!proc.test(
            100, [&] { return anyButtonDown; }, false))
        return;
    float left = 0;
    float top = 0;
    proc.step(102, [&] { left = view_.left - mDragStartX + x; });
    if (proc.test(
            104, [&] { return left > 0; }, false)) {
        proc.step(106, [&] { left = 0; });
    } else if (proc.test(
                   108, [&] { return kViewportInnerWidth - view_.width > left; }, false)) {
        proc.step(110, [&] { left = kViewportInnerWidth - view_.width; });
    }
    proc.step(112, [&] { top = view_.top - mDragStartY + y; });
    if (proc.test(
            114, [&] { return top > 0; }, false)) {
        proc.step(116, [&] { top = 0; });
    } else if (proc.test(
                   118, [&] { return kViewportInnerHeight - view_.height > top; }, false)) {
        proc.step(120, [&] { top = kViewportInnerHeight - view_.height; });
    }
    proc.step(124, [&] {
        view_.left = left;
        view_.top = top;
    });
}

void ViewportModel::Picture1_MouseUp() {
    Procedure proc(location::Form2_Picture1_MouseUp);
    // A view exactly as large as the viewport has no range to take a share of.
    std::optional<double> hPercent;
    std::optional<double> vPercent;
    proc.step(100, [&] {
        const double range = double(view_.width) - kViewportOuterWidth;
        if (range != 0) hPercent = std::nearbyint(std::fabs(view_.left) / range * 100);
    });
    proc.step(102, [&] {
        const double range = double(view_.height) - kViewportOuterHeight;
        if (range != 0) vPercent = std::nearbyint(std::fabs(view_.top) / range * 100);
    });
    if (hPercent) proc.step(104, [&] { SetHScrollbarByPercent(checked<std::int16_t>(*hPercent)); });
    if (vPercent) proc.step(106, [&] { SetVScrollbarByPercent(checked<std::int16_t>(*vPercent)); });
}

}  // namespace velmora
