#pragma once

#include <QSize>
#include <QSizeF>
#include <cstdint>
#include <optional>

namespace velmora {

class Procedure;

// What the viewport asks of the widgets that show it. Sizes are in twips.
class PreviewCanvas {
public:
    // The view keeps what is drawn into it and shows a white background.
    virtual void prepareView() = 0;
    // The holder of the unscaled page takes the picture the view shows.
    virtual void holdViewPicture() = 0;
    // The view lets go of its assigned picture and keeps showing what was drawn into it.
    virtual void clearViewPicture() = 0;
    // Draws the holder's page, the part measuring `sourceSize` from its top left corner,
    // into the view at (0, 0) measuring `imageSize`.
    virtual void paintPage(QSize imageSize, QSize sourceSize) = 0;
    // The window's pointer goes back to the default arrow.
    virtual void defaultPointer() = 0;

protected:
    ~PreviewCanvas() = default;
};

// A scroll bar as the viewport sees it: minimum 0, small and large change 1.
struct ScrollBarState {
    std::int16_t value = 0;
    std::int16_t max = 32767;
    bool enabled = true;
};

// A control's position and size in twips, relative to its container's inside.
struct TwipsRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// The page preview's zoom, scrolling and panning, worked out in twips. Picture2 is the
// viewport, which clips the view (Picture1) inside it; Zoom_Ori, never shown, holds the
// unscaled page. The viewport has a sunken border of two pixels on every side: its outer
// size is 9330 × 7425 twips, its inner size 9270 × 7365. The view and the holder have no
// border, so their inner sizes are their outer sizes.
//
// The model owns the view's position and size, the holder's size and the state of both
// scroll bars; the window mirrors them to its widgets after each call. The located
// procedures report their own failures and carry on; the plain operations throw Failure
// into the caller's step.
class ViewportModel {
public:
    static constexpr float kViewportOuterWidth = 9330;
    static constexpr float kViewportOuterHeight = 7425;
    static constexpr float kViewportInnerWidth = 9270;
    static constexpr float kViewportInnerHeight = 7365;
    static constexpr std::int32_t kImageWidthLimit = 11100;
    static constexpr std::int32_t kImageHeightLimit = 14900;
    static constexpr float kZoomStep = 0.25f;
    static constexpr float kMinZoom = 0.25f;
    static constexpr float kMaxZoom = 3.75f;

    enum class ZoomDirection { In = 0, Out = 1 };

    explicit ViewportModel(PreviewCanvas& canvas);

    // The view was given a picture whose own size is `naturalSize`; it takes that size if
    // it sizes itself to its picture.
    void assignViewPicture(QSizeF naturalSize);

    // The next activation captures the view's picture again.
    void rearmCapture() { mFirstActivate = true; }

    // Form_Activate: on the first activation, takes the view's picture as the unscaled
    // page and shows it at zoom 1.
    void Form_Activate();

    // Redraws the page at the current zoom, or, when it would grow too large, goes back to
    // zoom 1 without drawing anything.
    void RedrawImage();

    // Puts the view at the top left corner and sets the bars' ranges for its size.
    void SetupScrollbars();

    // Zooms by one step, in or out; ignored at either end of the range.
    void StepZoom(ZoomDirection direction);
    void SetZoom(float proposed);

    // The scroll bars' values, as the user or the program sets them; a changed value moves
    // the view. Throws Failure for a value outside the bar's range.
    void setHScrollValue(std::int16_t value);
    void setVScrollValue(std::int16_t value);

    // Sets a bar to `percent` of its range; anything outside 0..100 is ignored.
    void SetHScrollbarByPercent(std::int16_t percent);
    void SetVScrollbarByPercent(std::int16_t percent);

    // Panning with any mouse button; positions are in the view's own coordinates.
    void picture1_MouseDown(float x, float y);
    void picture1_MouseMove(bool anyButtonDown, float x, float y);
    void Picture1_MouseUp();

    float zoom() const { return mZoom; }
    std::int32_t origWidth() const { return mOrigWidth; }
    std::int32_t origHeight() const { return mOrigHeight; }
    std::int32_t imageWidth() const { return mImageWidth; }
    std::int32_t imageHeight() const { return mImageHeight; }
    std::int16_t hStep() const { return mHStep; }
    std::int16_t vStep() const { return mVStep; }
    bool firstActivate() const { return mFirstActivate; }
    const TwipsRect& view() const { return view_; }
    QSizeF holderSize() const { return holderSize_; }
    const ScrollBarState& hScroll() const { return hScroll_; }
    const ScrollBarState& vScroll() const { return vScroll_; }

private:
    enum class Axis { Horizontal, Vertical };

    void takeOriginalFromHolder(Procedure& proc);
    void setBarMax(Axis axis, std::int16_t max);
    void setBarValue(Axis axis, std::int16_t value);
    void barChanged(Axis axis);
    void setupBar(Axis axis);
    void setBarByPercent(Axis axis, std::int16_t percent);

    ScrollBarState& bar(Axis axis) { return axis == Axis::Horizontal ? hScroll_ : vScroll_; }
    std::int16_t& step(Axis axis) { return axis == Axis::Horizontal ? mHStep : mVStep; }

    PreviewCanvas& canvas_;

    float mZoom = 1.0f;
    std::int32_t mOrigWidth = 0;
    std::int32_t mOrigHeight = 0;
    std::int32_t mImageWidth = 0;
    std::int32_t mImageHeight = 0;
    std::int16_t mHStep = 0;
    std::int16_t mVStep = 0;
    float mDragStartX = 0;
    float mDragStartY = 0;
    bool mFirstActivate = true;

    // Picture1 as laid out in the window, not yet sizing itself to its picture.
    TwipsRect view_{0, 0, 2340, 3435};
    bool viewAutoSize_ = false;
    std::optional<QSizeF> viewPicture_;
    QSizeF holderSize_{735, 375};
    ScrollBarState hScroll_;
    ScrollBarState vScroll_;
};

}  // namespace velmora
