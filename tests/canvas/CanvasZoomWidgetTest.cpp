// A zoomed-in canvas keeps a picture of the part on screen only; a zoom step shows the old
// picture stretched at once and the sharp one on the next turn; scrolling moves what stays in
// view. Whatever the path, the pixels that settle are those of a fresh view.
#include "CanvasWidgetTestSupport.h"

#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::canvastest;

namespace {

Annotation mark(AnnotationKind kind, QPointF p1, QPointF p2, const char* color)
{
    Annotation a{.kind = kind, .p1 = p1, .p2 = p2};
    a.colorHex = QString::fromLatin1(color);
    a.lineWidth = 5;
    return a;
}

// An image with detail everywhere, so a misplaced copy shows.
platform::BaseImage stripedImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 5) & 255, (y * 3) & 255, ((x / 16 + y / 16) % 2) * 200));
    return platform::BaseImage(image);
}

struct ZoomedCanvas {
    CanvasFixture f{Tool::select, stripedImage({600, 400})};
    QScrollArea area;

    ZoomedCanvas()
    {
        f.add(mark(AnnotationKind::rectangle, {40, 40}, {260, 180}, "#1E6FD9"));
        f.add(mark(AnnotationKind::arrow, {100, 350}, {550, 60}, "#E5322D"));
        f.add(mark(AnnotationKind::ellipse, {380, 220}, {580, 390}, "#2BA84A"));
        area.resize(260, 180);
        area.setWidget(f.view.release());
        area.show();
        settle();
    }
    CanvasView* view() const { return static_cast<CanvasView*>(area.widget()); }
    void settle()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    // What the viewport shows, painted as the window would paint it now.
    QImage shown()
    {
        return area.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // The same part of a fresh view at the same zoom.
    QImage expected()
    {
        CanvasView fresh(*f.store);
        fresh.setZoom(view()->zoom());
        QImage whole(fresh.size(), QImage::Format_RGB32);
        fresh.render(&whole);
        const QPoint origin = -view()->mapTo(area.viewport(), QPoint(0, 0));
        return whole.copy(QRect(origin, area.viewport()->size()));
    }
};

bool differs(QRgb p, QRgb q)
{
    return std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 ||
           std::abs(qBlue(p) - qBlue(q)) > 2;
}

int differentPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size()) return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (differs(a.pixel(x, y), b.pixel(x, y))) ++count;
    return count;
}

} // namespace

TEST(CanvasZoom, AStepShowsTheOldPictureStretchedThenTheSharpOne)
{
    ZoomedCanvas c;
    c.f.store->setSelectedID(std::nullopt);
    c.view()->setZoom(2);
    EXPECT_TRUE(c.view()->showsStandIn());
    // The stand-in covers the viewport: no area is left blank or stale.
    const QImage during = c.shown();
    EXPECT_LT(differentPixels(during, c.expected()), during.width() * during.height())
        << "the stretched picture is the same scene";
    c.settle();
    EXPECT_FALSE(c.view()->showsStandIn()) << "the sharp picture follows on the next turn";
    EXPECT_EQ(differentPixels(c.shown(), c.expected()), 0);

    // Zoomed in, only the part on screen (and a margin) is kept, not the 1200 × 800 canvas.
    const QRect kept = c.view()->stillPictureArea();
    EXPECT_LE(kept.width(), c.area.viewport()->width() + 2 * CanvasStillLayer::scrollMargin);
    EXPECT_LE(kept.height(), c.area.viewport()->height() + 2 * CanvasStillLayer::scrollMargin);

    // Zooming out reveals more than the old picture held: the rest is drawn, never left blank.
    c.view()->setZoom(1.5);
    EXPECT_TRUE(c.view()->showsStandIn());
    c.settle();
    EXPECT_EQ(differentPixels(c.shown(), c.expected()), 0);
}

TEST(CanvasZoom, ScrollingLeavesWhatAFreshViewDrawsInEveryDirection)
{
    ZoomedCanvas c;
    c.f.store->setSelectedID(std::nullopt);
    c.view()->setZoom(3);
    c.settle();
    ASSERT_EQ(differentPixels(c.shown(), c.expected()), 0);
    // Short scrolls (inside the kept margin), long ones (past it) and back, both axes.
    const QList<QPoint> positions{{40, 30},   {400, 30}, {400, 500}, {1100, 700},
                                  {900, 650}, {0, 0},    {700, 0}};
    for (const QPoint& p : positions) {
        c.area.horizontalScrollBar()->setValue(p.x());
        c.area.verticalScrollBar()->setValue(p.y());
        c.settle();
        EXPECT_EQ(differentPixels(c.shown(), c.expected()), 0)
            << "scrolled to " << p.x() << "," << p.y();
    }
    // An edit after scrolling lands where it is drawn.
    c.f.store->appendAnnotation(mark(AnnotationKind::rectangle, {250, 180}, {330, 260}, "#F5D90A"));
    c.settle();
    EXPECT_EQ(differentPixels(c.shown(), c.expected()), 0);
}

TEST(CanvasZoom, ALargeImageShowsAtOnceThenSmoothlyShrunk)
{
    // Shrinking a large image smoothly takes several frames: its first showing stretches the
    // full image, and the smooth copy follows on the next turn.
    CanvasFixture f(Tool::select, stripedImage({2600, 1600}));
    f.store->setSelectedID(std::nullopt);
    f.view->setZoom(0.3);
    f.view->show();
    const QImage first = f.view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(f.view->showsStandIn());
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(f.view->showsStandIn());
    const QImage settled = f.view->grab().toImage().convertToFormat(QImage::Format_RGB32);

    CanvasView fresh(*f.store); // never shown: drawn smooth at once
    fresh.setZoom(0.3);
    QImage expected(fresh.size(), QImage::Format_RGB32);
    fresh.render(&expected);
    EXPECT_EQ(differentPixels(settled, expected), 0);
    EXPECT_GT(differentPixels(first, expected), 0) << "the first showing is the quick one";
}

TEST(CanvasZoom, AStepBackOutCoversWhatTheLastPictureMissedWithTheOneFromBeforeZoomingIn)
{
    // At 0.4 the whole canvas is in sight; zoomed in, only the part on screen is kept. Stepping
    // back out uncovers more than that part: it is shown from the 0.4 picture, stretched (one
    // copy, not the image and every mark drawn there), and sharp on the next turn.
    ZoomedCanvas c;
    // A mark in the strip the step back out uncovers, so drawing it afresh would show.
    c.f.add(mark(AnnotationKind::rectangle, {215, 20}, {245, 100}, "#7A1FD1"));
    c.f.store->setSelectedID(std::nullopt);
    c.view()->setZoom(0.4);
    c.settle();
    CanvasView fresh(*c.f.store);
    fresh.setZoom(0.4);
    QImage overview(fresh.size(), QImage::Format_RGB32);
    fresh.render(&overview);

    c.view()->setZoom(1);
    c.settle();
    c.view()->setZoom(1.25);
    c.settle();
    c.area.horizontalScrollBar()->setValue(0);
    c.area.verticalScrollBar()->setValue(0);
    c.settle();
    const QRect kept = c.view()->stillPictureArea();
    ASSERT_EQ(kept.topLeft(), QPoint(0, 0));

    c.view()->setZoom(1);
    ASSERT_TRUE(c.view()->showsStandIn());
    const QImage during = c.shown();
    // The 0.4 picture as the step shows it: nearest pixel, stretched to the new zoom.
    QImage stretched(during.size(), QImage::Format_RGB32);
    {
        QPainter p(&stretched);
        p.drawImage(QRectF(QPointF(0, 0), QSizeF(overview.size()) * 2.5), overview);
    }
    const QRect held(QPoint(0, 0), (QSizeF(kept.size()) * 0.8).toSize());
    int strip = 0, different = 0;
    for (int y = 0; y < during.height(); ++y)
        for (int x = 0; x < during.width(); ++x) {
            if (held.adjusted(-1, -1, 1, 1).contains(x, y)) continue;
            ++strip;
            if (differs(during.pixel(x, y), stretched.pixel(x, y))) ++different;
        }
    ASSERT_GT(strip, 1000);
    EXPECT_EQ(different, 0);
    c.settle();
    EXPECT_FALSE(c.view()->showsStandIn());
    EXPECT_EQ(differentPixels(c.shown(), c.expected()), 0);
}
