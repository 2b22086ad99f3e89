#include "CanvasWidgetTestSupport.h"

#include "TestPaths.h"
#include "canvas/handlers/SelectionHandler.h"
#include "canvas/handlers/SelectionHandles.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>

using namespace snapkin;
using snapkin::canvastest::CanvasFixture;

namespace {

Annotation rect(QPointF p1, QPointF p2)
{
    return {.kind = AnnotationKind::rectangle, .p1 = p1, .p2 = p2};
}

} // namespace

TEST(CanvasSelection, MoveIsOneUndoStepAndSmallJittersAreIgnored)
{
    CanvasFixture f;
    const Annotation r = f.add(rect({100, 100}, {200, 150}));

    f.drag({150, 120}, {151, 121}); // within 1 on both axes: a tap, nothing moves
    EXPECT_EQ(f.store->selectedID(), r.id);
    EXPECT_EQ(f.only().p1, QPointF(100, 100));
    EXPECT_EQ(f.store->undoCount(), 0);

    f.drag({150, 120}, {190, 170}, 10);
    EXPECT_EQ(f.only().p1, QPointF(140, 150));
    EXPECT_EQ(f.only().p2, QPointF(240, 200));
    EXPECT_EQ(f.store->undoCount(), 1);
    f.store->undo();
    EXPECT_EQ(f.only().p1, QPointF(100, 100));

    // Moved away and brought back: the annotation stays where it last was.
    CanvasFixture g;
    g.add(rect({100, 100}, {200, 150}));
    QTest::mousePress(g.view.get(), Qt::LeftButton, {}, {150, 120});
    QTest::mouseMove(g.view.get(), {170, 120});
    QTest::mouseMove(g.view.get(), {150, 120});
    QTest::mouseRelease(g.view.get(), Qt::LeftButton, {}, {150, 120});
    EXPECT_EQ(g.only().p1, QPointF(120, 100));
    EXPECT_EQ(g.store->undoCount(), 1);
}

TEST(CanvasSelection, DragOnEmptyCanvasOnlyClearsTheSelection)
{
    CanvasFixture f;
    const Annotation r = f.add(rect({100, 100}, {200, 150}));
    f.store->setSelectedID(r.id);
    f.drag({300, 250}, {350, 280});
    EXPECT_FALSE(f.store->selectedID().has_value());
    EXPECT_EQ(f.only(), r);
    EXPECT_EQ(f.store->undoCount(), 0);
}

TEST(CanvasSelection, ResizeByHandleIsOneStepAndMayCrossTheOppositeEdge)
{
    CanvasFixture f;
    const Annotation r = f.add(rect({100, 100}, {200, 150}));
    // A rectangle on top, over the se handle of the first.
    f.add(rect({190, 140}, {260, 200}));
    f.store->setSelectedID(r.id);

    // The selection's handles win over the annotation lying on top.
    f.drag({200, 150}, {40, 170}, 8);
    const Annotation& resized = f.store->annotations()[0];
    EXPECT_EQ(resized.p1, QPointF(100, 100));
    EXPECT_EQ(resized.p2, QPointF(40, 170)); // p2 left of p1: not normalised
    EXPECT_EQ(f.store->undoCount(), 1);
    EXPECT_EQ(f.store->annotations()[1].p1, QPointF(190, 140));
}

TEST(CanvasSelection, HandlesPerKindAndHitOrder)
{
    const Annotation line{.kind = AnnotationKind::line, .p1 = {0, 0}, .p2 = {6, 0}};
    EXPECT_EQ(SelectionHandles::handleHit({3, 0}, line), HandleID::p1); // both within 9: p1 wins
    const Annotation curved{
        .kind = AnnotationKind::arrow, .p1 = {0, 0}, .p2 = {100, 0}, .curved = true};
    const auto handles = SelectionHandles::handlePoints(curved);
    ASSERT_EQ(handles.size(), 3);
    EXPECT_EQ(handles[2].first, HandleID::curve);
    EXPECT_NEAR(handles[2].second.x(), 50, 1e-9);
    EXPECT_NEAR(handles[2].second.y(), -22, 1e-9);
    Annotation curvedLine = line;
    curvedLine.curved = true;
    EXPECT_EQ(SelectionHandles::handlePoints(curvedLine).size(), 2); // a line never bends
    const Annotation text{.kind = AnnotationKind::text, .p1 = {0, 0}, .p2 = {0, 0}, .text = "x"};
    EXPECT_TRUE(SelectionHandles::handlePoints(text).isEmpty());
    const Annotation stamp{.kind = AnnotationKind::stamp, .p1 = {0, 0}, .p2 = {40, 40}};
    const auto stampHandles = SelectionHandles::handlePoints(stamp);
    ASSERT_EQ(stampHandles.size(), 9);
    EXPECT_EQ(stampHandles[8],
              SelectionHandles::Handle(HandleID::tail, QPointF(40 + 0.6 * 34, 20)));
}

TEST(CanvasSelection, CurveHandleBendsTheArrow)
{
    CanvasFixture f;
    const Annotation arrow = f.add({.kind = AnnotationKind::arrow,
                                    .p1 = {100, 200},
                                    .p2 = {300, 200},
                                    .curved = true,
                                    .curveHandle = {0.5, 0}});
    f.store->setSelectedID(arrow.id);
    f.drag({200, 200}, {200, 150});
    EXPECT_NEAR(f.only().curveHandle.x(), 0.5, 1e-9);
    EXPECT_NEAR(f.only().curveHandle.y(), -0.25, 1e-9);
    EXPECT_EQ(f.only().p1, QPointF(100, 200));
    EXPECT_EQ(f.store->undoCount(), 1);
}

TEST(CanvasSelection, RoundMagnifierStaysSquareAndStampTailFollowsItsHandle)
{
    Annotation loupe{.kind = AnnotationKind::magnifier, .p1 = {0, 0}, .p2 = {100, 100}};
    Annotation out = loupe;
    SelectionHandles::applyResize(out, loupe, HandleID::e, 30, 0);
    EXPECT_EQ(out.p1, QPointF(0, 0));
    EXPECT_EQ(out.p2, QPointF(130, 130));

    const Annotation stamp{.kind = AnnotationKind::stamp, .p1 = {0, 0}, .p2 = {40, 40}};
    Annotation tailed = stamp;
    // Dragging the tail handle of a stamp without a tail straight down-right makes one.
    const QPointF start = SelectionHandles::tailHandlePoint(stamp);
    SelectionHandles::applyResize(tailed, stamp, HandleID::tail, 20 - start.x(), 80 - start.y());
    ASSERT_TRUE(tailed.tailAngle.has_value());
    EXPECT_NEAR(*tailed.tailAngle, M_PI / 2, 1e-9);
    EXPECT_NEAR(tailed.tailLength, 60, 1e-9);
    // Pulled back to within half the stamp's width of its centre, the tail goes.
    Annotation untailed = tailed;
    const QPointF tip = *tailed.tailTip();
    SelectionHandles::applyResize(untailed, tailed, HandleID::tail, 25 - tip.x(), 25 - tip.y());
    EXPECT_FALSE(untailed.tailAngle.has_value());
}

TEST(CanvasSelection, TextShowsNoHandlesButMoves)
{
    CanvasFixture f;
    const Annotation t =
        f.add({.kind = AnnotationKind::text, .p1 = {50, 50}, .p2 = {50, 50}, .text = "Hi"});
    f.store->setSelectedID(t.id);
    f.drag({50, 50}, {80, 60}); // on the nw corner, where a box handle would be
    EXPECT_EQ(f.only().p1, QPointF(80, 60));
    EXPECT_EQ(f.store->undoCount(), 1);
}

// A stroke's anchors stay where it began, so its box would be a dot there; the outline,
// handles and resizing follow the points it passes through.
TEST(CanvasSelection, PenStrokeIsBoundedByItsPoints)
{
    CanvasFixture f(Tool::pen);
    f.drag({100, 100}, {200, 160}, 4);
    const Annotation stroke = f.only();
    EXPECT_EQ(SelectionHandles::selectionBounds(stroke), QRectF(100, 100, 100, 60));
    f.store->activate(Tool::select);
    ASSERT_EQ(f.store->selectedID(), stroke.id);
    const auto handles = SelectionHandles::handlePoints(stroke);
    EXPECT_EQ(handles[4], SelectionHandles::Handle(HandleID::se, QPointF(200, 160)));

    // Pen strokes are never hit, but the selected one resizes by its handles: se doubled.
    f.drag({200, 160}, {300, 220}, 5);
    const Annotation resized = f.only();
    EXPECT_EQ(f.store->undoCount(), 2);
    EXPECT_EQ(SelectionHandles::selectionBounds(resized), QRectF(100, 100, 200, 120));
    EXPECT_EQ(resized.points[2], QPointF(200, 160)); // the middle point (150, 130) scaled

    // Nudged by a key, every point moves with the anchors.
    QTest::keyClick(f.view.get(), Qt::Key_Right);
    EXPECT_EQ(f.only().points[0], QPointF(101, 100));
    EXPECT_EQ(f.only().p1.x(), resized.p1.x() + 1);
}

TEST(CanvasSelection, TapRuleUsesFourPointsPerAxis)
{
    CanvasFixture f;
    const Annotation stamp =
        f.add({.kind = AnnotationKind::stamp, .p1 = {100, 100}, .p2 = {140, 140}});
    CanvasInteraction& input = f.view->interaction();
    // A drag that moved the stamp recorded a step: not a tap, even back within 4 points.
    input.pointerPressed({120, 120});
    input.pointerMoved({124, 124});
    input.pointerReleased({124, 124});
    EXPECT_EQ(f.store->undoCount(), 1);
    EXPECT_FALSE(input.state().lastSelectTapID.has_value());
    // Released 4 right and 4 down with no moves in between: a tap.
    input.pointerPressed({120, 120});
    input.pointerReleased({124, 124});
    EXPECT_EQ(input.state().lastSelectTapID, stamp.id);
    // Released 4.5 right: no tap, so no double tap either.
    input.pointerPressed({120, 120});
    input.pointerReleased({124.5, 120});
    EXPECT_FALSE(input.state().editingTextID.has_value());
    EXPECT_EQ(f.store->undoCount(), 1);
}

TEST(CanvasSelection, DoubleTapNeedsSameAnnotationWithinHalfASecond)
{
    AnnotationStore store(canvastest::plainImage());
    const Annotation text{
        .kind = AnnotationKind::text, .p1 = {10, 10}, .p2 = {10, 10}, .text = "Hi"};
    const Annotation other = rect({100, 100}, {150, 150});
    store.appendAnnotation(text);
    store.appendAnnotation(other);
    qint64 now = 1000;
    CanvasState state;
    TextEditing editing(store, state);
    SelectionHandler select(store, state, editing, [&] { return now; });

    select.handleSelectTap({15, 15});
    now += 500;
    select.handleSelectTap({15, 15});
    EXPECT_FALSE(state.editingTextID.has_value()); // 0.5 s apart: not a double tap
    now += 300;
    select.handleSelectTap({120, 120}); // another kind in between resets the pair
    now += 100;
    select.handleSelectTap({15, 15});
    EXPECT_FALSE(state.editingTextID.has_value());
    now += 300;
    select.handleSelectTap({15, 15});
    EXPECT_EQ(state.editingTextID, text.id);
    EXPECT_EQ(state.editingField, EditField::text);
}

// Writes what the canvas shows with a selection, for a person to look at.
TEST(CanvasSelection, SnapshotOfSelectionWithHandles)
{
    CanvasFixture f;
    f.add({.kind = AnnotationKind::ellipse, .p1 = {40, 40}, .p2 = {160, 120}, .lineWidth = 4});
    const Annotation arrow = f.add({.kind = AnnotationKind::arrow,
                                    .p1 = {60, 220},
                                    .p2 = {300, 160},
                                    .lineWidth = 6,
                                    .curved = true});
    f.add({.kind = AnnotationKind::stamp,
           .p1 = {300, 40},
           .p2 = {340, 80},
           .stampLabel = "Done",
           .tailAngle = 2.2});
    f.view->setZoom(1.5);
    f.click({250, 205}); // on the arrow's bend, (166.8, 137.2) in image points
    ASSERT_EQ(f.store->selectedID(), arrow.id);

    const QImage shot = f.view->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(600, 450));
    const QString path = QStringLiteral(SNAPKIN_BUILD_DIR "/canvas-selection.png");
    ASSERT_TRUE(shot.save(path));

    // The p1 handle: a white square with a brand-coloured border, drawn at the zoom.
    EXPECT_EQ(shot.pixelColor(90, 330), QColor(Qt::white));
    const QColor border = shot.pixelColor(int(60 * 1.5 - 5.5), int(220 * 1.5));
    EXPECT_GT(border.red(), 200);
    EXPECT_LT(border.green(), 150);
}
