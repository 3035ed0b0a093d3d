// The viewport's arithmetic, without widgets: a page is "captured" by giving the view a
// picture of a chosen size in twips and activating. A page 2 twips larger than the wanted
// original gives exactly that original, since the capture keeps the holder's size less 2.
#include "TestSupport.h"
#include "preview/ViewportModel.h"
#include "shell/Locations.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Zoom = ViewportModel::ZoomDirection;

class FakeCanvas : public PreviewCanvas {
public:
    void prepareView() override {}
    void holdViewPicture() override { ++holds; }
    void clearViewPicture() override { ++clears; }
    void paintPage(QSize imageSize, QSize sourceSize) override {
        ++paints;
        painted = imageSize;
        source = sourceSize;
    }
    void defaultPointer() override {}

    int holds = 0;
    int clears = 0;
    int paints = 0;
    QSize painted;
    QSize source;
};

class Viewport : public ::testing::Test {
protected:
    void capture(double originalWidth, double originalHeight) {
        model.assignViewPicture(QSizeF(originalWidth + 2, originalHeight + 2));
        model.formActivate();
    }
    void zoom(Zoom direction, int times = 1) {
        for (int i = 0; i < times; ++i) model.stepZoom(direction);
    }
    void drag(float fromX, float fromY, float toX, float toY) {
        model.mouseDown(fromX, fromY);
        model.mouseMove(true, toX, toY);
    }
    void expectView(float left, float top, float width, float height) {
        EXPECT_FLOAT_EQ(model.view().left, left);
        EXPECT_FLOAT_EQ(model.view().top, top);
        EXPECT_FLOAT_EQ(model.view().width, width);
        EXPECT_FLOAT_EQ(model.view().height, height);
    }
    void TearDown() override { EXPECT_TRUE(messages.all().empty()); }

    test::MessageRecorder messages;
    FakeCanvas canvas;
    ViewportModel model{canvas};
};

TEST_F(Viewport, CaptureShowsThePageOnceAtZoomOneAndLaterActivationsLeaveIt) {
    // The page picture: 1360 × 1760 pixels at 384 dpi.
    model.assignViewPicture(QSizeF(5100, 6600));
    EXPECT_FLOAT_EQ(model.view().width, 2340) << "sized to its picture only from the capture on";
    model.formActivate();

    EXPECT_FLOAT_EQ(model.zoom(), 1.0f);
    EXPECT_EQ(model.holderSize(), QSizeF(5100, 6600));
    EXPECT_EQ(model.origWidth(), 5098);
    EXPECT_EQ(model.origHeight(), 6598);
    EXPECT_EQ(model.imageWidth(), 5098);
    EXPECT_EQ(model.imageHeight(), 6598);
    expectView(0, 0, 5098, 6598);
    EXPECT_EQ(canvas.holds, 1);
    EXPECT_EQ(canvas.clears, 1);
    EXPECT_EQ(canvas.paints, 1);
    EXPECT_EQ(canvas.painted, QSize(5098, 6598));
    EXPECT_EQ(canvas.source, QSize(5098, 6598));
    EXPECT_FALSE(model.hScroll().enabled);
    EXPECT_FALSE(model.vScroll().enabled);
    EXPECT_EQ(model.hStep(), 0);
    EXPECT_EQ(model.vStep(), 0);
    EXPECT_FALSE(model.firstActivate());

    zoom(Zoom::In);
    model.formActivate();
    EXPECT_FLOAT_EQ(model.zoom(), 1.25f) << "only the first activation captures";
    EXPECT_EQ(canvas.paints, 2);

    // Captured again without a new picture, the view's own size is the page's.
    model.rearmCapture();
    model.formActivate();
    EXPECT_FLOAT_EQ(model.zoom(), 1.0f);
    EXPECT_EQ(model.origWidth(), 6370);
    EXPECT_EQ(canvas.paints, 3);
}

TEST_F(Viewport, ZoomStopsAtBothEndsOfItsRange) {
    capture(2000, 2000);
    zoom(Zoom::In, 11);
    EXPECT_FLOAT_EQ(model.zoom(), 3.75f);
    EXPECT_EQ(model.imageWidth(), 7500);
    EXPECT_EQ(canvas.paints, 12);
    zoom(Zoom::In);
    EXPECT_FLOAT_EQ(model.zoom(), 3.75f);
    EXPECT_EQ(canvas.paints, 12) << "a step beyond the range draws nothing";

    model.rearmCapture();
    capture(2000, 2000);
    zoom(Zoom::Out, 3);
    EXPECT_FLOAT_EQ(model.zoom(), 0.25f);
    expectView(0, 0, 500, 500);
    const int paints = canvas.paints;
    zoom(Zoom::Out);
    EXPECT_FLOAT_EQ(model.zoom(), 0.25f);
    EXPECT_EQ(canvas.paints, paints);
}

// Zooming the page in from 1 to 2.25 makes it too wide to draw.
void ZoomPastTheSizeLimit(ViewportModel& model, const FakeCanvas& canvas) {
    for (int i = 0; i < 4; ++i) model.stepZoom(Zoom::In);
    ASSERT_FLOAT_EQ(model.zoom(), 2.0f);
    ASSERT_EQ(canvas.paints, 5);
    model.stepZoom(Zoom::In);
}

TEST_F(Viewport, TooLargeAPageGoesBackToZoomOneKeepingWhatTheViewShowed) {
    capture(5098, 6598);
    ZoomPastTheSizeLimit(model, canvas);

    EXPECT_FLOAT_EQ(model.zoom(), 1.0f);
    EXPECT_EQ(model.imageWidth(), 5098);
    EXPECT_EQ(model.imageHeight(), 6598);
    EXPECT_EQ(canvas.paints, 5) << "nothing drawn";
    expectView(0, 0, 10196, 13196);
    // The bars still fit the zoom-2 view: (10196 - 9330) / 10 and (13196 - 7425) / 10.
    EXPECT_EQ(model.hScroll().max, 87);
    EXPECT_EQ(model.vScroll().max, 577);

    zoom(Zoom::Out);
    EXPECT_FLOAT_EQ(model.zoom(), 0.75f);
    EXPECT_EQ(canvas.paints, 6);
    expectView(0, 0, 3823, 4948);
    EXPECT_FALSE(model.hScroll().enabled);
    EXPECT_FALSE(model.vScroll().enabled);
}

TEST_F(Viewport, AfterTheSizeLimitTheNextStepInStartsFromOne) {
    capture(5098, 6598);
    ZoomPastTheSizeLimit(model, canvas);
    zoom(Zoom::In);
    EXPECT_FLOAT_EQ(model.zoom(), 1.25f);
    EXPECT_EQ(canvas.paints, 6);
    expectView(0, 0, 6372, 8247);
    EXPECT_FALSE(model.hScroll().enabled);
    EXPECT_TRUE(model.vScroll().enabled);
    EXPECT_EQ(model.vScroll().max, 82);
    EXPECT_EQ(model.vStep(), 10);
}

TEST_F(Viewport, BarRangesStepByOneUpToAHundredTwipsAndByTenBeyondRoundingTiesToEven) {
    struct Case {
        double width, height;
        bool horizontal;
        int max, step;
    };
    const Case cases[] = {
        {9430, 2000, true, 100, 1},     // 100 over: one twip a step
        {9431, 2000, true, 10, 10},     // 101 over: 10.1
        {9455, 2000, true, 12, 10},     // 125 over: 12.5 goes to the even 12
        {2000, 11890, false, 446, 10},  // 4465 over: 446.5 goes to the even 446
        {2000, 7525, false, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        model.rearmCapture();
        capture(c.width, c.height);
        const ScrollBarState& bar = c.horizontal ? model.hScroll() : model.vScroll();
        EXPECT_TRUE(bar.enabled);
        EXPECT_EQ(bar.max, c.max);
        EXPECT_EQ(bar.value, 0);
        EXPECT_EQ(c.horizontal ? model.hStep() : model.vStep(), c.step);
        const ScrollBarState& other = c.horizontal ? model.vScroll() : model.hScroll();
        EXPECT_FALSE(other.enabled);
    }
}

TEST_F(Viewport, ScrollingMovesTheViewByStepsAndOnlyWhenTheValueChanges) {
    capture(10000, 7500);  // 670 over: steps of 10 up to 67; 75 over: steps of 1
    model.setHScrollValue(5);
    model.setVScrollValue(75);
    expectView(-50, -75, 10000, 7500);

    drag(0, 0, -30, 0);
    EXPECT_FLOAT_EQ(model.view().left, -80);
    model.setHScrollValue(5);
    EXPECT_FLOAT_EQ(model.view().left, -80) << "an unchanged value leaves the view";
    model.setHScrollValue(6);
    EXPECT_FLOAT_EQ(model.view().left, -60);
    EXPECT_EQ(canvas.paints, 1) << "scrolling and panning only move the view";
}

TEST_F(Viewport, ABarIsSetByPercentOnlyFromZeroToAHundred) {
    capture(9355, 2000);  // 25 over
    ASSERT_EQ(model.hScroll().max, 25);
    model.setHScrollbarByPercent(-1);
    EXPECT_EQ(model.hScroll().value, 0);
    model.setHScrollbarByPercent(100);
    EXPECT_EQ(model.hScroll().value, 25);
    EXPECT_FLOAT_EQ(model.view().left, -25);
    model.setHScrollbarByPercent(101);
    EXPECT_EQ(model.hScroll().value, 25);
    model.setHScrollbarByPercent(50);
    EXPECT_EQ(model.hScroll().value, 12) << "12.5 goes to the even 12";
    EXPECT_FLOAT_EQ(model.view().left, -12);
}

TEST_F(Viewport, DraggingStopsAtTheEdgesOfALargePage) {
    capture(10000, 14000);
    drag(1000, 1000, 1500, 1500);
    expectView(0, 0, 10000, 14000);
    model.mouseMove(true, -2000, -9000);
    // The far edges: inner size less the view's size.
    expectView(9270 - 10000, 7365 - 14000, 10000, 14000);

    // Released there, the view's share is over 100 % of the bars' ranges (the ranges are
    // taken from the outer size): the bars stay where they were.
    model.mouseUp();
    EXPECT_EQ(model.hScroll().value, 0);
    EXPECT_EQ(model.vScroll().value, 0);
    EXPECT_FLOAT_EQ(model.view().left, -730);
    EXPECT_EQ(canvas.paints, 1);
}

TEST_F(Viewport, ReleasingSetsTheBarsToTheViewsShareAndTheViewFollowsThem) {
    capture(10000, 14000);  // bars up to 67 and 658, both in steps of 10
    ASSERT_EQ(model.hScroll().max, 67);
    ASSERT_EQ(model.vScroll().max, 658);
    drag(0, 0, -335, -3000);
    model.mouseUp();
    // 335 of 670 is 50 %: 33.5 goes to 34; 3000 of 6575 is 46 %: 302.68 goes to 303.
    EXPECT_EQ(model.hScroll().value, 34);
    EXPECT_EQ(model.vScroll().value, 303);
    expectView(-340, -3030, 10000, 14000);
}

TEST_F(Viewport, MovingWithoutAButtonDoesNothing) {
    capture(10000, 14000);
    model.mouseDown(500, 500);
    model.mouseMove(false, 100, 100);
    expectView(0, 0, 10000, 14000);
}

TEST_F(Viewport, AViewAsWideAsTheViewportHasNoBarAndItsReleaseLeavesTheBar) {
    capture(9330, 2000);
    EXPECT_FALSE(model.hScroll().enabled);
    EXPECT_EQ(model.hStep(), 0);
    drag(100, 100, 50, 100);
    EXPECT_FLOAT_EQ(model.view().left, -50);
    model.mouseUp();  // no share of an empty range, and no error report either
    EXPECT_EQ(model.hScroll().value, 0);
    EXPECT_FLOAT_EQ(model.view().left, -50);
}

TEST_F(Viewport, APageSmallerThanTheViewportJumpsToItsFarSide) {
    capture(3000, 3000);
    drag(100, 100, 200, 200);
    expectView(0, 0, 3000, 3000);
    model.mouseMove(true, 50, 50);
    // Any move left of the start puts the page against the far side of the viewport.
    expectView(9270 - 3000, 7365 - 3000, 3000, 3000);
    model.mouseUp();  // negative shares are ignored
    EXPECT_EQ(model.hScroll().value, 0);
    EXPECT_EQ(model.vScroll().value, 0);
    expectView(6270, 4365, 3000, 3000);
}

}  // namespace
}  // namespace velmora
