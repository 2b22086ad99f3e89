#include "editor/EditorZoom.h"
#include "canvas/ToolCursor.h"
#include "model/AnnotationStore.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <limits>

using namespace snapkin;

TEST(EditorZoomSteps, StayWithinQuarterAndFourLowerBoundFirst)
{
    EditorZoom zoom(3.5);
    zoom.zoomIn();
    EXPECT_DOUBLE_EQ(zoom.scale(), 4.0);
    zoom.zoomIn();
    EXPECT_DOUBLE_EQ(zoom.scale(), 4.0);

    zoom.setScale(0.3);
    zoom.zoomOut();
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);

    // Below the step range after a fit: both directions land on 0.25.
    zoom.setScale(0.1);
    zoom.zoomOut();
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);
    zoom.setScale(0.1);
    zoom.zoomIn();
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);
    zoom.setScale(0.1);
    zoom.zoomBy(1.1); // the wheel uses the same bounds
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);

    zoom.choosePreset(3.0);
    EXPECT_DOUBLE_EQ(zoom.scale(), 3.0);
    zoom.actualSize();
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.0);
}

TEST(EditorZoomSteps, AnnouncesOnlyRealChangesAndIgnoresNonNumbers)
{
    EditorZoom zoom(1.0);
    QSignalSpy spy(&zoom, &EditorZoom::scaleChanged);
    zoom.choosePreset(1.0);
    zoom.setScale(std::numeric_limits<double>::quiet_NaN());
    zoom.zoomBy(std::numeric_limits<double>::infinity());
    zoom.zoomBy(0);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.0);
    zoom.zoomIn();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_DOUBLE_EQ(spy.at(0).at(0).toDouble(), 1.25);
}

TEST(EditorZoomPresets, CheckMarkWithinOneThousandth)
{
    EXPECT_EQ(EditorZoom::presets.size(), 7u);
    EXPECT_DOUBLE_EQ(EditorZoom::presets.front(), 0.25);
    EXPECT_DOUBLE_EQ(EditorZoom::presets.back(), 3.0);
    EXPECT_TRUE(EditorZoom::matchesPreset(0.75, 0.7505));
    EXPECT_FALSE(EditorZoom::matchesPreset(0.75, 0.7515));
}

TEST(EditorZoomFit, NeedsAViewportAndKeepsAMargin)
{
    EditorZoom zoom(1.5);
    zoom.fit({400, 300}); // no viewport yet
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.5);
    zoom.setViewportSize({848, 648});
    zoom.fit({0, 300});
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.5);

    zoom.fit({1600, 300}); // (848 − 48) / 1600 is the smaller ratio
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.5);
    zoom.fit({100, 50}); // could grow eightfold: capped at 4
    EXPECT_DOUBLE_EQ(zoom.scale(), 4.0);
    zoom.fit({40000, 300}); // far too wide: 0.1 at least, below the step range
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.1);

    zoom.setViewportSize({30, 30}); // smaller than the margin: each side counts as 1 point
    EXPECT_DOUBLE_EQ(*EditorZoom::fitScale({2, 2}, zoom.viewportSize()), 0.5);
}

TEST(EditorZoomFit, FitsTheBareImageWhileCroppingAndTheFramedCanvasOtherwise)
{
    QImage pixels(400, 200, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::white);
    AnnotationStore store{platform::BaseImage(pixels)};
    FrameStyle frame;
    frame.padding = 0.3;
    store.assignFrame(frame);
    ASSERT_GT(store.frameLayout().canvasSize.width(), 400);

    EditorZoom zoom;
    zoom.setViewportSize({448, 1000});
    zoom.zoomToFit(store);
    EXPECT_LT(zoom.scale(), 1.0);
    store.setIsCropping(true);
    zoom.zoomToFit(store);
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.0);
}
