#include "canvas/ToolCursor.h"
#include "ui/canvas/CanvasCursor.h"
#include "ui/canvas/CanvasZoomWheel.h"

#include <QApplication>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

struct Area {
    QWidget window;
    QScrollArea* area = new QScrollArea(&window);
    QWidget* canvas = new QWidget;
    QWidget* toolbar = new QWidget(&window);
    std::vector<double> factors;
    CanvasZoomWheel* wheel = nullptr;

    Area()
    {
        window.resize(400, 400);
        toolbar->setGeometry(0, 0, 400, 40);
        area->setGeometry(0, 40, 400, 360);
        canvas->resize(2000, 2000);
        area->setWidget(canvas);
        wheel = new CanvasZoomWheel(area, [this](double f) { factors.push_back(f); });
        window.show();
    }

    // Sends a wheel event to `target` at its centre; returns whether anyone accepted it.
    void wheelAt(QWidget* target, QPoint pixelDelta, QPoint angleDelta, Qt::KeyboardModifiers mods)
    {
        // A point on the visible part of the target.
        const QPointF local = target == canvas ? QPointF(50, 50) : QRectF(target->rect()).center();
        const QPointF global = target->mapToGlobal(local);
        QWheelEvent event(local, global, pixelDelta, angleDelta, Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
    }
};

} // namespace

TEST(CanvasZoomWheel, MouseWheelWithCtrlZoomsByFixedNotches)
{
    Area a;
    a.wheelAt(a.canvas, {}, {0, 120}, Qt::ControlModifier);
    a.wheelAt(a.canvas, {}, {0, 480}, Qt::ControlModifier);
    a.wheelAt(a.canvas, {}, {0, -120}, Qt::ControlModifier);
    ASSERT_EQ(a.factors.size(), 3u);
    EXPECT_DOUBLE_EQ(a.factors[0], 1.25);
    EXPECT_DOUBLE_EQ(a.factors[1], 1.25);
    EXPECT_DOUBLE_EQ(a.factors[2], 0.8);
}

TEST(CanvasZoomWheel, PreciseDeltasZoomInProportionAndAreBounded)
{
    Area a;
    a.wheelAt(a.canvas, {0, 5}, {0, 40}, Qt::ControlModifier);
    a.wheelAt(a.canvas, {0, -5}, {0, -40}, Qt::ControlModifier);
    a.wheelAt(a.canvas, {0, -4000}, {0, -32000}, Qt::ControlModifier); // a fast flick
    a.wheelAt(a.canvas, {0, 4000}, {0, 32000}, Qt::ControlModifier);
    ASSERT_EQ(a.factors.size(), 4u);
    EXPECT_DOUBLE_EQ(a.factors[0], 1.05);
    EXPECT_DOUBLE_EQ(a.factors[1], 0.95);
    EXPECT_DOUBLE_EQ(a.factors[2], CanvasZoomWheel::minPreciseFactor);
    EXPECT_DOUBLE_EQ(a.factors[3], CanvasZoomWheel::maxPreciseFactor);
    EXPECT_GT(a.factors[2], 0.0);
}

TEST(CanvasZoomWheel, HorizontalCtrlScrollIsSwallowedWithoutZoom)
{
    Area a;
    const int before = a.area->horizontalScrollBar()->value();
    a.wheelAt(a.canvas, {}, {120, 0}, Qt::ControlModifier);
    a.wheelAt(a.canvas, {30, 0}, {120, 0}, Qt::ControlModifier);
    EXPECT_TRUE(a.factors.empty());
    EXPECT_EQ(a.area->horizontalScrollBar()->value(), before);
}

TEST(CanvasZoomWheel, PlainWheelScrollsTheCanvas)
{
    Area a;
    a.wheelAt(a.area->viewport(), {}, {0, -120}, Qt::NoModifier);
    EXPECT_TRUE(a.factors.empty());
    EXPECT_GT(a.area->verticalScrollBar()->value(), 0);
}

TEST(CanvasZoomWheel, EventsOutsideTheAreaPassUntouched)
{
    Area a;
    a.wheelAt(a.toolbar, {}, {0, 120}, Qt::ControlModifier);
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2,
                              QPointF(5, 5), QPointF(5, 5), a.toolbar->mapToGlobal(QPointF(5, 5)),
                              0.1, QPointF(), 0);
    QApplication::sendEvent(a.toolbar, &pinch);
    EXPECT_TRUE(a.factors.empty());
}

TEST(CanvasZoomWheel, PinchOverCanvasZoomsByMagnification)
{
    Area a;
    const QPointF local(50, 50);
    QNativeGestureEvent pinch(Qt::ZoomNativeGesture, QPointingDevice::primaryPointingDevice(), 2,
                              local, local, a.canvas->mapToGlobal(local), 0.1, QPointF(), 0);
    QApplication::sendEvent(a.canvas, &pinch);
    ASSERT_EQ(a.factors.size(), 1u);
    EXPECT_DOUBLE_EQ(a.factors[0], 1.1);
}

TEST(CanvasCursorArea, ToolCursorOverVisibleCanvasArrowOverScrollBars)
{
    Area a;
    CanvasCursor cursor(a.area);
    int changes = 0;
    struct Counter : QObject {
        int* count;
        explicit Counter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::CursorChange) ++*count;
            return false;
        }
    } counter(&changes);
    a.area->viewport()->installEventFilter(&counter);

    cursor.setCursor(ToolCursor::cursor(Tool::arrow, 1.0));
    EXPECT_TRUE(CanvasCursor::sameCursor(a.area->viewport()->cursor(),
                                         ToolCursor::cursor(Tool::arrow, 1.0)));
    EXPECT_TRUE(CanvasCursor::sameCursor(a.canvas->cursor(), ToolCursor::cursor(Tool::arrow, 1.0)));
    EXPECT_EQ(a.area->verticalScrollBar()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(changes, 1);

    cursor.setCursor(ToolCursor::cursor(Tool::arrow, 1.0)); // the same again: nothing happens
    EXPECT_EQ(changes, 1);
    cursor.setCursor(ToolCursor::cursor(Tool::pen, 1.0)); // a tool change applies at once
    EXPECT_EQ(changes, 2);

    // The area follows the visible canvas, without the scroll bars, also after a resize.
    const QRect area = cursor.cursorArea();
    EXPECT_EQ(area.size(), a.area->viewport()->size());
    EXPECT_LT(area.width(), a.area->width());
    a.area->resize(300, 200);
    EXPECT_EQ(cursor.cursorArea().size(), a.area->viewport()->size());
}
