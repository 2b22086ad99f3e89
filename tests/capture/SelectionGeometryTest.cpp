#include "capture/overlay/SelectionGeometry.h"

#include <gtest/gtest.h>

#include <limits>

using namespace snapkin;
namespace G = snapkin::SelectionGeometry;

namespace {

const QRectF screen(0, 0, 1440, 900);

} // namespace

TEST(SelectionGeometryResult, NeedsFourPointsOnBothSides)
{
    EXPECT_FALSE(G::isUsable(QRectF(10, 10, 3, 50)));
    EXPECT_FALSE(G::isUsable(QRectF(10, 10, 3.9, 4)));
    EXPECT_TRUE(G::isUsable(QRectF(10, 10, 4, 4)));
    EXPECT_FALSE(G::isUsable(QRectF(0, 0, std::numeric_limits<double>::quiet_NaN(), 40)));
    EXPECT_FALSE(G::isUsable(QRectF()));
}

TEST(SelectionGeometryDrag, MovedSelectionNeverLeavesTheScreen)
{
    const QRectF original(100, 100, 300, 200);
    for (QPointF delta : {QPointF(-5000, 0), QPointF(5000, 0), QPointF(0, -5000), QPointF(0, 5000),
                          QPointF(3000, 3000), QPointF(-3000, 3000)}) {
        const QRectF r = G::moved(original, delta, screen);
        EXPECT_EQ(r.size(), original.size());
        EXPECT_TRUE(screen.contains(r)) << r.x() << "," << r.y();
    }
    EXPECT_EQ(G::moved(original, QPointF(5000, -5000), screen), QRectF(1140, 0, 300, 200));
}

TEST(SelectionGeometryDrag, HandlesPastTheOppositeEdgeFlipTheRectangle)
{
    const QRectF original(100, 100, 200, 100);
    // The left handle dragged 50 points past the right edge.
    EXPECT_EQ(G::resized(original, G::Handle::left, QPointF(350, 150)), QRectF(300, 100, 50, 100));
    // A side handle moves only its own edge.
    EXPECT_EQ(G::resized(original, G::Handle::top, QPointF(999, 60)), QRectF(100, 60, 200, 140));
    // The top-left corner past the bottom-right one.
    EXPECT_EQ(G::resized(original, G::Handle::topLeft, QPointF(320, 230)),
              QRectF(300, 200, 20, 30));
}

TEST(SelectionGeometryHandles, EarlierHandleWinsOnATinySelection)
{
    const QRectF tiny(100, 100, 4, 4);
    // Every hit square of a 4-point selection covers its centre; the first listed wins.
    EXPECT_EQ(G::handleAt(tiny.center(), tiny), G::Handle::topLeft);
    const QRectF r(100, 100, 200, 100);
    EXPECT_EQ(G::handleAt(QPointF(305, 150), r), G::Handle::right);
    EXPECT_EQ(G::handleAt(QPointF(200, 196), r), G::Handle::bottom);
    EXPECT_FALSE(G::handleAt(QPointF(150, 150), r));
}

TEST(SelectionGeometryNudge, WithoutSelectionMakesTheCentredSquare)
{
    EXPECT_EQ(G::nudged(QRectF(), -10, 0, false, screen), QRectF(600, 330, 240, 240));
    // A selection too small to count is replaced the same way, whatever the arrow.
    EXPECT_EQ(G::nudged(QRectF(5, 5, 2, 2), 0, 20, true, screen), QRectF(600, 330, 240, 240));
}

TEST(SelectionGeometryNudge, ShiftResizesFromTheBottomLeftCornerDownToTenPoints)
{
    // Shift-left on a 15-point-wide selection leaves 10 points.
    EXPECT_EQ(G::nudged(QRectF(100, 100, 15, 50), -20, 0, true, screen), QRectF(100, 100, 10, 50));
    // Shift-up grows the rectangle upwards; its bottom stays.
    EXPECT_EQ(G::nudged(QRectF(100, 100, 50, 50), 0, -20, true, screen), QRectF(100, 80, 50, 70));
    // Shift-down shrinks it from the top.
    EXPECT_EQ(G::nudged(QRectF(100, 100, 50, 50), 0, 20, true, screen), QRectF(100, 120, 50, 30));
    // Growth stops at the screen's edges.
    EXPECT_EQ(G::nudged(QRectF(1400, 10, 30, 30), 20, 0, true, screen), QRectF(1400, 10, 40, 30));
    EXPECT_EQ(G::nudged(QRectF(100, 10, 30, 30), 0, -20, true, screen), QRectF(100, 0, 30, 40));
}

TEST(SelectionGeometryNudge, MovingStaysOnTheScreen)
{
    EXPECT_EQ(G::nudged(QRectF(5, 100, 50, 50), -10, 0, false, screen), QRectF(0, 100, 50, 50));
    EXPECT_EQ(G::nudged(QRectF(100, 845, 50, 50), 0, 10, false, screen), QRectF(100, 850, 50, 50));
}

TEST(SelectionGeometryBadge, SitsAboveTheSelectionAndIsPushedDownAtTheTop)
{
    const QSizeF text(60, 15);
    const QRectF badge = G::badgeRect(QRectF(200, 300, 100, 80), text, screen);
    EXPECT_EQ(badge, QRectF(200, 300 - 6 - 21, 72, 21));
    const QRectF atTop = G::badgeRect(QRectF(200, 0, 100, 80), text, screen);
    EXPECT_EQ(atTop.top(), 4);
    EXPECT_EQ(atTop.left(), 200);
    EXPECT_TRUE(screen.contains(atTop));
}

TEST(SelectionGeometryBadge, DecorationCoversSelectionBorderAndBadge)
{
    const QSizeF text(60, 15);
    const QRectF selection(200, 300, 100, 80);
    const QRectF decor = G::decorRect(selection, text, screen);
    EXPECT_TRUE(decor.contains(selection.adjusted(-10, -10, 10, 10)));
    EXPECT_TRUE(decor.contains(G::badgeRect(selection, text, screen)));
    EXPECT_TRUE(G::decorRect(QRectF(10, 10, 0, 40), text, screen).isEmpty());
}

TEST(SelectionGeometryScale, BadgeCountsPointsWhileTheLoupeCountsPixels)
{
    // A 400 × 300 point selection on a screen with 2 pixels per point.
    const QRectF selection(10.5, 20, 400.7, 300.2);
    EXPECT_EQ(G::badgeLabel(selection.size()), QString::fromUtf8("400 × 300"));
    const auto pixels = G::selectionPixels(QRectF(10, 20, 400, 300), screen, QSize(2880, 1800));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(*pixels, QSizeF(800, 600));
    EXPECT_FALSE(G::selectionPixels(QRectF(10, 20, 0.5, 300), screen, QSize(2880, 1800)));
}

TEST(SelectionGeometryScale, SnapshotPixelIsCountedFromTheTopLeftAndKeptInside)
{
    const QSize image(2880, 1800);
    EXPECT_EQ(G::snapshotPixel(QPointF(256.4, 192.6), screen, image), QPoint(512, 385));
    EXPECT_EQ(G::snapshotPixel(QPointF(-3, -1), screen, image), QPoint(0, 0));
    EXPECT_EQ(G::snapshotPixel(QPointF(1440, 900), screen, image), QPoint(2879, 1799));
}

TEST(SelectionGeometryScale, RootPixelsRoundTripThroughAScaledScreen)
{
    // The second monitor starts at root pixel 1920 and has 2 pixels per point.
    const QPoint origin(1920, 0);
    EXPECT_EQ(G::toRootPixels(QPointF(100, 50), origin, 2.0), QPointF(2120, 100));
    EXPECT_EQ(G::fromRootPixels(QRect(2120, 100, 400, 300), origin, 2.0),
              QRectF(100, 50, 200, 150));
    // A window on the first monitor lies left of this one, off its view.
    EXPECT_LT(G::fromRootPixels(QRect(100, 100, 400, 300), origin, 2.0).right(), 0);
}

TEST(SelectionGeometryLoupe, FlipsNearTheBottomRightCornerAndStaysInside)
{
    const QSizeF size(132, 186);
    EXPECT_EQ(G::loupeOrigin(QPointF(100, 100), size, screen), QPointF(122, 122));
    const QPointF corner = G::loupeOrigin(QPointF(1430, 890), size, screen);
    EXPECT_EQ(corner, QPointF(1430 - 22 - 132, 890 - 22 - 186));
    // At the very top-left corner nothing flips, and the panel keeps 4 points inside.
    const QPointF nearEdge = G::loupeOrigin(QPointF(1439, 2), size, screen);
    EXPECT_EQ(nearEdge.x(), 1439 - 22 - 132);
    EXPECT_GE(nearEdge.y(), 4);
    const QPointF big = G::loupeOrigin(QPointF(5, 5), QSizeF(132, 186), QRectF(0, 0, 140, 100));
    EXPECT_EQ(big.x(), 4);
}

TEST(SelectionGeometryLoupe, ShowsOnlyWhereItHelps)
{
    G::LoupeContext c;
    c.enabled = true;
    EXPECT_TRUE(G::wantsLoupe(QPointF(50, 50), screen, c));
    EXPECT_FALSE(G::wantsLoupe(QPointF(-1, 50), screen, c));

    c.barFrame = QRectF(500, 800, 400, 50);
    EXPECT_FALSE(G::wantsLoupe(QPointF(495, 795), screen, c));
    EXPECT_TRUE(G::wantsLoupe(QPointF(490, 790), screen, c));

    c.adjusting = true;
    c.selection = QRectF(100, 100, 200, 100);
    EXPECT_FALSE(G::wantsLoupe(QPointF(150, 150), screen, c)); // inside: it would hide the area
    EXPECT_TRUE(G::wantsLoupe(QPointF(100, 100), screen, c));  // on a handle
    EXPECT_TRUE(G::wantsLoupe(QPointF(400, 400), screen, c));  // outside
    c.moving = true;
    EXPECT_FALSE(G::wantsLoupe(QPointF(400, 400), screen, c));
    c.moving = false;
    c.creating = true;
    EXPECT_TRUE(G::wantsLoupe(QPointF(150, 150), screen, c));

    c.windowMode = true;
    EXPECT_FALSE(G::wantsLoupe(QPointF(150, 150), screen, c));
    c.windowMode = false;
    c.enabled = false;
    EXPECT_FALSE(G::wantsLoupe(QPointF(150, 150), screen, c));
}
