#include "canvas/ToolCursor.h"
#include "editor/EditorCanvasCursor.h"
#include "editor/EditorZoom.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace snapkin;

TEST(EditorZoom, ScaleStaysWithinBoundsAndAnnouncesChanges)
{
    EditorZoom zoom;
    QSignalSpy spy(&zoom, &EditorZoom::scaleChanged);
    zoom.zoom(1.25);
    EXPECT_DOUBLE_EQ(zoom.scale(), 1.25);
    for (int i = 0; i < 20; ++i) zoom.zoom(1.25);
    EXPECT_DOUBLE_EQ(zoom.scale(), EditorZoom::maxScale);
    for (int i = 0; i < 40; ++i) zoom.zoom(0.8);
    EXPECT_DOUBLE_EQ(zoom.scale(), EditorZoom::minScale);
    const int changes = spy.count();
    zoom.zoom(0.5); // already at the minimum: nothing changes
    zoom.zoom(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(spy.count(), changes);
    EXPECT_DOUBLE_EQ(zoom.scale(), EditorZoom::minScale);
}

TEST(EditorCanvasCursor, CropWhileCroppingArrowForSelectAndFrame)
{
    const auto isTool = [](const QCursor& c, Tool tool) {
        return c.shape() == Qt::BitmapCursor
            && c.pixmap().cacheKey() == ToolCursor::cursor(tool).pixmap().cacheKey();
    };
    EXPECT_TRUE(isTool(editorCanvasCursor(Tool::arrow, true), Tool::crop));
    EXPECT_EQ(editorCanvasCursor(Tool::select, false).shape(), Qt::ArrowCursor);
    EXPECT_EQ(editorCanvasCursor(Tool::frame, false).shape(), Qt::ArrowCursor);
    EXPECT_TRUE(isTool(editorCanvasCursor(Tool::pen, false), Tool::pen));
}
