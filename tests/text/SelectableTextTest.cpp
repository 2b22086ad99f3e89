#include "text/SelectableTextRoute.h"
#include "text/TextAnalysis.h"

#include <gtest/gtest.h>

using snapkin::FrameLayout;
using snapkin::SelectableTextRoute;
using snapkin::SelectableTextRouteState;
using snapkin::TextAnalysis;
using snapkin::Tool;
using snapkin::platform::RecognizedTextLine;
using snapkin::platform::RecognizedTextWord;

namespace {

// A 200 × 100 canvas with the 160 × 60 image at (20, 20), shown at twice its size; a word at
// overlay (100, 100)–(140, 120), an annotation over the image's top-left quarter.
SelectableTextRouteState selectTool()
{
    SelectableTextRouteState state;
    state.overlaySize = QSizeF(400, 200);
    state.layout.canvasSize = QSizeF(200, 100);
    state.layout.imageRect = QRectF(20, 20, 160, 60);
    state.onControl = [](QPointF p) { return QRectF(360, 0, 40, 20).contains(p); };
    state.annotationAt = [](QPointF image) { return QRectF(0, 0, 80, 30).contains(image); };
    state.onWord = [](QPointF p) {
        return QRectF(100, 100, 40, 20).contains(p) || QRectF(60, 50, 20, 20).contains(p) ||
               QRectF(365, 5, 10, 10).contains(p);
    };
    return state;
}

RecognizedTextLine line(QStringList words, double y, double x = 0.1)
{
    RecognizedTextLine result;
    result.text = words.join(' ');
    result.box = QRectF(x, y, 0.1 * words.size(), 0.05);
    for (int i = 0; i < words.size(); ++i)
        result.words.push_back({words[i], QRectF(x + 0.1 * i, y, 0.09, 0.05)});
    return result;
}

} // namespace

TEST(SelectableTextRoute, TheOverlayTakesPressesOnlyWithTheSelectToolOutsideCropping)
{
    const QPointF word(110, 110);
    auto state = selectTool();
    EXPECT_EQ(route(word, state), SelectableTextRoute::overlay);
    state.tool = Tool::arrow;
    EXPECT_EQ(route(word, state), SelectableTextRoute::canvas);
    state = selectTool();
    state.isCropping = true;
    EXPECT_EQ(route(word, state), SelectableTextRoute::canvas);
    state = selectTool();
    state.storeAlive = false;
    EXPECT_EQ(route(word, state), SelectableTextRoute::canvas);
    state = selectTool();
    state.hidden = true;
    EXPECT_EQ(route(word, state), SelectableTextRoute::canvas);
    // Outside the overlay, even with a selection.
    state = selectTool();
    state.hasSelection = true;
    EXPECT_EQ(route(QPointF(401, 10), state), SelectableTextRoute::canvas);
}

TEST(SelectableTextRoute, ControlsBeforeAnnotationsBeforeWordsAndTheSelection)
{
    auto state = selectTool();
    // The word at (60, 50) lies under the annotation: image point (10, 5).
    EXPECT_EQ(route(QPointF(65, 55), state), SelectableTextRoute::canvas);
    // The button wins over a word under it, and over an annotation.
    state.annotationAt = [](QPointF) { return true; };
    EXPECT_EQ(route(QPointF(370, 10), state), SelectableTextRoute::overlay);
    // With text selected, anywhere without an annotation goes to the overlay.
    state = selectTool();
    EXPECT_EQ(route(QPointF(300, 180), state), SelectableTextRoute::canvas);
    state.hasSelection = true;
    EXPECT_EQ(route(QPointF(300, 180), state), SelectableTextRoute::overlay);
    EXPECT_EQ(route(QPointF(65, 55), state), SelectableTextRoute::canvas);
}

TEST(SelectableTextRoute, ImagePointsUseTheCanvasScaleAndScaleOneForACanvasWithoutWidth)
{
    FrameLayout layout;
    layout.canvasSize = QSizeF(200, 100);
    layout.imageRect = QRectF(20, 20, 160, 60);
    EXPECT_EQ(snapkin::imagePoint(QPointF(100, 100), QSizeF(400, 200), layout), QPointF(30, 30));
    layout.canvasSize = QSizeF(0, 100);
    EXPECT_EQ(snapkin::imagePoint(QPointF(100, 100), QSizeF(400, 200), layout), QPointF(80, 80));
}

TEST(TextAnalysis, WordsFollowTheReadingOrderOfLinesAndJoinByRows)
{
    // Reported bottom line first, and a right-hand column on the first row.
    const auto analysis = TextAnalysis::from(
        {line({"third", "line"}, 0.5), line({"right"}, 0.1, 0.7), line({"first", "row"}, 0.1),
         RecognizedTextLine{"", QRectF(0, 0.3, 0.1, 0.05), {}}});
    ASSERT_EQ(analysis.words.size(), 5u);
    EXPECT_EQ(analysis.lines.size(), 3u);
    EXPECT_EQ(analysis.allText(), QStringLiteral("first row right\nthird line"));
    EXPECT_EQ(analysis.text(1, 3), QStringLiteral("row right\nthird"));
    EXPECT_EQ(analysis.words[3].line, 2);
    EXPECT_TRUE(TextAnalysis::from({}).allText().isEmpty());
    EXPECT_FALSE(TextAnalysis::from({}).hasText());
}
