#include "CanvasWidgetTestSupport.h"

#include <gtest/gtest.h>

#include "canvas/AnnotationRenderer.h"

#include <QPainter>

using namespace snapkin;
using snapkin::canvastest::CanvasFixture;

namespace {

platform::BaseImage halves(QColor left, QColor right)
{
    QImage image(400, 300, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.fillRect(0, 0, 200, 300, left);
    painter.fillRect(200, 0, 200, 300, right);
    painter.end();
    return platform::BaseImage(image);
}

} // namespace

TEST(CanvasViewPaint, ShowsTheCurrentImageAtTheZoom)
{
    CanvasFixture f(Tool::select, halves(Qt::red, Qt::blue));
    f.view->setZoom(0.5);
    EXPECT_EQ(f.view->size(), QSize(200, 150));
    QImage shot = f.view->grab().toImage();
    EXPECT_EQ(shot.pixelColor(40, 75), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(160, 75), QColor(Qt::blue));

    // A new image (a crop, an undo) replaces the shrunk copy at once.
    f.store->setImage(halves(Qt::green, Qt::yellow));
    shot = f.view->grab().toImage();
    EXPECT_EQ(shot.pixelColor(40, 75), QColor(Qt::green));

    f.view->setZoom(2);
    EXPECT_EQ(f.view->size(), QSize(800, 600));
    shot = f.view->grab().toImage();
    EXPECT_EQ(shot.pixelColor(300, 300), QColor(Qt::green));
    EXPECT_EQ(shot.pixelColor(500, 300), QColor(Qt::yellow));

    // Input is read in image points whatever the zoom.
    f.store->activate(Tool::rectangle);
    f.drag({100, 100}, {300, 200});
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().box(), QRectF(50, 50, 100, 50));
}

TEST(CanvasViewPaint, SelectionIsDrawnOnlyWithTheSelectTool)
{
    CanvasFixture f(Tool::select, halves(Qt::white, Qt::white));
    const Annotation r =
        f.add({.kind = AnnotationKind::rectangle, .p1 = {100, 100}, .p2 = {200, 150}});
    f.store->setSelectedID(r.id);
    // The e handle's white square covers the rectangle's right edge at (200, 125).
    const QImage selected = f.view->grab().toImage();
    EXPECT_EQ(selected.pixelColor(201, 126), QColor(Qt::white));
    f.store->setTool(Tool::rectangle); // a tool change that keeps the selection
    const QImage other = f.view->grab().toImage();
    EXPECT_NE(other.pixelColor(201, 126), QColor(Qt::white));
}

TEST(CanvasViewPaint, FarZoomOutShrinksFromHalvedCopiesOfTheImage)
{
    // 2000 × 1500 at 0.1: shrunk from a quarter-size copy, the halves stay where they are.
    QImage big(2000, 1500, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&big);
    painter.fillRect(0, 0, 1000, 1500, Qt::red);
    painter.fillRect(1000, 0, 1000, 1500, Qt::blue);
    painter.end();
    CanvasFixture f(Tool::select, platform::BaseImage(big));
    for (double zoom : {0.1, 0.3, 0.1}) {
        f.view->setZoom(zoom);
        // At once: the previous copy stretched, the halves where they belong.
        QImage shot = f.view->grab().toImage();
        ASSERT_EQ(shot.size(), (QSizeF(2000, 1500) * zoom).toSize());
        EXPECT_EQ(shot.pixelColor(shot.width() / 4, shot.height() / 2), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(shot.width() * 3 / 4, shot.height() / 2), QColor(Qt::blue));
        // Once zooming pauses, a fresh copy: the seam is where the image has it.
        QTest::qWait(CanvasView::reshrinkDelayMs + 100);
        shot = f.view->grab().toImage();
        const int seam = shot.width() / 2;
        EXPECT_EQ(shot.pixelColor(seam - 2, 10), QColor(Qt::red));
        EXPECT_EQ(shot.pixelColor(seam + 1, 10), QColor(Qt::blue));
    }
}

// A view placed inside its window paints through the window's offset; arrows and pens drawn
// from their cached pictures must land where they were drawn the first time, not that offset
// again further on.
TEST(CanvasViewPaint, CachedMarksStayInPlaceInsideAWindow)
{
    CanvasFixture f(Tool::select, halves(Qt::white, Qt::white));
    Annotation arrow{.kind = AnnotationKind::arrow, .p1 = {20, 40}, .p2 = {220, 40}};
    arrow.lineWidth = 10;
    f.add(arrow);
    Annotation pen{.kind = AnnotationKind::pen, .p1 = {}, .p2 = {}};
    pen.points = {{20, 200}, {120, 200}, {220, 200}};
    pen.lineWidth = 10;
    f.add(pen);

    QWidget window;
    window.resize(600, 500);
    f.view->setParent(&window);
    f.view->move(90, 70);
    f.view->show();
    QList<QImage> shots;
    for (int i = 0; i < 3; ++i) // drawn directly, then into the cache, then from it
        shots << window.grab().toImage();
    f.view->setParent(nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(shots[i].pixelColor(90 + 150, 70 + 40), QColor(Qt::white)) << i;
        EXPECT_NE(shots[i].pixelColor(90 + 150, 70 + 200), QColor(Qt::white)) << i;
        EXPECT_EQ(shots[i].pixelColor(90 + 150 + 90, 70 + 40 + 70), QColor(Qt::white)) << i;
    }
    EXPECT_EQ(shots[0], shots[2]);
}
