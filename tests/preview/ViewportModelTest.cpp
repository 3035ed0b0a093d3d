// The viewport's arithmetic without widgets. A page is captured by giving the view a
// picture 2 twips larger than the wanted original, since the capture keeps the holder's
// size less 2, and activating.
#include "TestSupport.h"
#include "preview/ViewportModel.h"

#include <gtest/gtest.h>
#include <QRectF>

namespace velmora {
namespace {

using Zoom = ViewportModel::ZoomDirection;

class FakeCanvas : public PreviewCanvas {
public:
    void prepareView() override {}
    void holdViewPicture() override {}
    void clearViewPicture() override {}
    void paintPage(QSize imageSize, QSize sourceSize) override {
        ++paints;
        painted = imageSize;
        source = sourceSize;
    }
    void defaultPointer() override {}
    int paints = 0;
    QSize painted, source;
};

class Viewport : public ::testing::Test {
protected:
    void capture(double width, double height) {
        model.rearmCapture();
        model.assignViewPicture(QSizeF(width + 2, height + 2));
        model.Form_Activate();
    }
    void zoom(Zoom direction, int times = 1) {
        for (int i = 0; i < times; ++i) model.StepZoom(direction);
    }
    void drag(float fromX, float fromY, float toX, float toY) {
        model.picture1_MouseDown(fromX, fromY);
        model.picture1_MouseMove(true, toX, toY);
    }
    void expectView(float left, float top, float width, float height) {
        const TwipsRect& view = model.view();
        EXPECT_EQ(QRectF(view.left, view.top, view.width, view.height),
                  QRectF(left, top, width, height));
    }
    void TearDown() override { EXPECT_TRUE(messages.all().empty()); }

    test::MessageRecorder messages;
    FakeCanvas canvas;
    ViewportModel model{canvas};
};

TEST_F(Viewport, CaptureDrawsThePageOnceAtZoomOneAndLaterActivationsLeaveIt) {
    model.assignViewPicture(QSizeF(5100, 6600));  // 1360 × 1760 pixels at 384 dpi
    model.Form_Activate();
    EXPECT_FLOAT_EQ(model.zoom(), 1.0f);
    EXPECT_EQ(model.holderSize(), QSizeF(5100, 6600));
    EXPECT_EQ(QSize(model.origWidth(), model.origHeight()), QSize(5098, 6598));
    expectView(0, 0, 5098, 6598);
    EXPECT_EQ(canvas.paints, 1);
    EXPECT_EQ(canvas.painted, QSize(5098, 6598));
    EXPECT_EQ(canvas.source, QSize(5098, 6598));
    EXPECT_FALSE(model.hScroll().enabled || model.vScroll().enabled);
    EXPECT_EQ(model.hStep() + model.vStep(), 0);

    zoom(Zoom::In);
    model.Form_Activate();
    EXPECT_FLOAT_EQ(model.zoom(), 1.25f) << "only the first activation captures";
    EXPECT_EQ(canvas.paints, 2);
    // Captured again without a new picture, the view's own size is the page's.
    model.rearmCapture();
    model.Form_Activate();
    EXPECT_FLOAT_EQ(model.zoom(), 1.0f);
    EXPECT_EQ(model.origWidth(), 6370);
}

TEST_F(Viewport, ZoomStopsAtBothEndsOfItsRange) {
    capture(2000, 2000);
    zoom(Zoom::In, 11);
    EXPECT_FLOAT_EQ(model.zoom(), 3.75f);
    EXPECT_EQ(canvas.paints, 12);
    zoom(Zoom::In);
    EXPECT_FLOAT_EQ(model.zoom(), 3.75f);
    EXPECT_EQ(canvas.paints, 12) << "a step beyond the range draws nothing";

    capture(2000, 2000);
    zoom(Zoom::Out, 3);
    EXPECT_FLOAT_EQ(model.zoom(), 0.25f);
    expectView(0, 0, 500, 500);
    zoom(Zoom::Out);
    EXPECT_FLOAT_EQ(model.zoom(), 0.25f);
    EXPECT_EQ(canvas.paints, 16);
}

TEST_F(Viewport, TooLargeAPageGoesBackToZoomOneKeepingWhatTheViewShowed) {
    for (const Zoom next : {Zoom::Out, Zoom::In}) {
        capture(5098, 6598);
        zoom(Zoom::In, 5);  // 2.25 makes it 11470 twips wide
        EXPECT_FLOAT_EQ(model.zoom(), 1.0f);
        EXPECT_EQ(QSize(model.imageWidth(), model.imageHeight()), QSize(5098, 6598));
        expectView(0, 0, 10196, 13196);  // still zoom 2, and its bars: 866 and 5771 over
        EXPECT_EQ(model.hScroll().max, 87);
        EXPECT_EQ(model.vScroll().max, 577);
        const int paints = canvas.paints;

        zoom(next);
        EXPECT_EQ(canvas.paints, paints + 1);
        if (next == Zoom::Out) {
            EXPECT_FLOAT_EQ(model.zoom(), 0.75f);
            expectView(0, 0, 3823, 4948);
        } else {
            EXPECT_FLOAT_EQ(model.zoom(), 1.25f);
            expectView(0, 0, 6372, 8247);
            EXPECT_EQ(model.vScroll().max, 82);
        }
    }
}

TEST_F(Viewport, BarRangesStepByOneUpToAHundredTwipsOverAndByTenBeyondTiesToEven) {
    struct Case {
        double width, height;
        int max, step;
    };
    const Case cases[] = {
        {9430, 2000, 100, 1},    // 100 over
        {9431, 2000, 10, 10},    // 10.1
        {9455, 2000, 12, 10},    // 12.5
        {2000, 11890, 446, 10},  // 446.5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        capture(c.width, c.height);
        const bool horizontal = c.width > c.height;
        const ScrollBarState& bar = horizontal ? model.hScroll() : model.vScroll();
        EXPECT_TRUE(bar.enabled);
        EXPECT_EQ(bar.max, c.max);
        EXPECT_EQ(horizontal ? model.hStep() : model.vStep(), c.step);
        EXPECT_FALSE((horizontal ? model.vScroll() : model.hScroll()).enabled);
    }
}

TEST_F(Viewport, ScrollingMovesTheViewByStepsOnlyWhenTheValueChanges) {
    capture(10000, 7500);  // steps of 10 across, of 1 down
    model.setHScrollValue(5);
    model.setVScrollValue(75);
    expectView(-50, -75, 10000, 7500);
    drag(0, 0, -30, 0);
    model.setHScrollValue(5);
    EXPECT_FLOAT_EQ(model.view().left, -80) << "an unchanged value leaves the view";
    model.setHScrollValue(6);
    EXPECT_FLOAT_EQ(model.view().left, -60);
    EXPECT_EQ(canvas.paints, 1) << "scrolling and panning only move the view";
}

TEST_F(Viewport, ABarIsSetByPercentOnlyFromZeroToAHundred) {
    capture(9355, 2000);  // 25 over
    for (const auto& [percent, value] : {std::pair{-1, 0}, {100, 25}, {101, 25}, {50, 12}}) {
        model.SetHScrollbarByPercent(static_cast<std::int16_t>(percent));
        EXPECT_EQ(model.hScroll().value, value) << percent;
    }
    EXPECT_FLOAT_EQ(model.view().left, -12);
}

TEST_F(Viewport, DraggingStopsAtTheEdgesAndReleasingSetsTheBarsToTheViewsShare) {
    capture(10000, 14000);  // bars up to 67 and 658, in steps of 10
    model.picture1_MouseDown(500, 500);
    model.picture1_MouseMove(false, 100, 100);
    expectView(0, 0, 10000, 14000);
    drag(1000, 1000, 1500, 1500);
    expectView(0, 0, 10000, 14000);
    model.picture1_MouseMove(true, -2000, -9000);
    expectView(9270 - 10000, 7365 - 14000, 10000, 14000);
    // The far edge is over 100 % of the ranges, which are taken from the outer size.
    model.Picture1_MouseUp();
    EXPECT_EQ(model.hScroll().value, 0);

    capture(10000, 14000);
    drag(0, 0, -335, -3000);
    model.Picture1_MouseUp();
    // 335 of 670 is 50 %: 33.5 goes to 34; 3000 of 6575 is 46 %: 302.68 goes to 303.
    EXPECT_EQ(model.hScroll().value, 34);
    EXPECT_EQ(model.vScroll().value, 303);
    expectView(-340, -3030, 10000, 14000);
}

TEST_F(Viewport, AViewAsWideAsTheViewportHasNoBarAndItsReleaseLeavesTheBar) {
    capture(9330, 2000);
    EXPECT_FALSE(model.hScroll().enabled);
    EXPECT_EQ(model.hStep(), 0);
    drag(100, 100, 50, 100);
    model.Picture1_MouseUp();  // no share of an empty range, and no error report
    EXPECT_EQ(model.hScroll().value, 0);
    EXPECT_FLOAT_EQ(model.view().left, -50);
}

TEST_F(Viewport, APageSmallerThanTheViewportJumpsToItsFarSide) {
    capture(3000, 3000);
    drag(100, 100, 200, 200);
    expectView(0, 0, 3000, 3000);
    model.picture1_MouseMove(true, 50, 50);
    expectView(9270 - 3000, 7365 - 3000, 3000, 3000);
    model.Picture1_MouseUp();  // negative shares are ignored
    EXPECT_EQ(model.hScroll().value + model.vScroll().value, 0);
    expectView(6270, 4365, 3000, 3000);
}

}  // namespace
}  // namespace velmora
