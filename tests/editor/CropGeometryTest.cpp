#include "editor/crop/CropGeometry.h"

#include <gtest/gtest.h>

using namespace snapkin;

namespace {

const QSizeF image(400, 300);

TEST(CropGeometrySizes, KeepAConstantSizeOnScreen)
{
    EXPECT_DOUBLE_EQ(CropGeometry::hitTolerance(2), 10);
    EXPECT_DOUBLE_EQ(CropGeometry::hitTolerance(0.5), 28);
    EXPECT_DOUBLE_EQ(CropGeometry::hitTolerance(1), 14);
    EXPECT_DOUBLE_EQ(CropGeometry::hitTolerance(4), 10); // never below 10 image points
    EXPECT_DOUBLE_EQ(CropGeometry::borderWidth(2), 1);
    EXPECT_DOUBLE_EQ(CropGeometry::borderWidth(0.5), 4);
    EXPECT_DOUBLE_EQ(CropGeometry::handleSide(2), 5);
    EXPECT_DOUBLE_EQ(CropGeometry::handleSide(0.5), 20);
}

TEST(CropGeometryHit, ReachEndsExactlyAtTheTolerance)
{
    const QRectF rect(100, 100, 200, 100);
    EXPECT_EQ(CropGeometry::handleHit(rect, {90, 100}, 2), CropHandle::nw);
    EXPECT_EQ(CropGeometry::handleHit(rect, {89.99, 100}, 2), std::nullopt);
    // 10.01 from the corner, along the top edge: no handle, but inside, so the whole rectangle.
    EXPECT_EQ(CropGeometry::handleHit(rect, {110.01, 100}, 2), std::nullopt);
    EXPECT_EQ(CropGeometry::dragTarget(rect, {110.01, 100}, 2), CropHandle::move);
    EXPECT_EQ(CropGeometry::dragTarget(rect, {89.99, 100}, 2), std::nullopt);
    // At zoom 0.5 the same press lies well within reach.
    EXPECT_EQ(CropGeometry::handleHit(rect, {75, 100}, 0.5), CropHandle::nw);
}

TEST(CropGeometryHit, OnATinyRectangleTheFirstHandleInOrderWins)
{
    const QRectF tiny(50, 50, 4, 4);
    EXPECT_EQ(CropGeometry::dragTarget(tiny, {52, 52}, 1), CropHandle::nw);
    EXPECT_EQ(CropGeometry::dragTarget(tiny, {56, 56}, 1), CropHandle::nw);
    // Beyond the first handles' reach, a later one answers.
    EXPECT_EQ(CropGeometry::dragTarget(tiny, {54 + 13, 54 + 5}, 1), CropHandle::se);
}

TEST(CropGeometryHit, HandlesSitAtCornersAndMidpointsInOrder)
{
    const auto points = CropGeometry::handlePoints(QRectF(10, 20, 100, 60));
    const CropHandle order[] = {CropHandle::nw, CropHandle::n, CropHandle::ne, CropHandle::e,
                                CropHandle::se, CropHandle::s, CropHandle::sw, CropHandle::w};
    const QPointF at[] = {{10, 20},  {60, 20}, {110, 20}, {110, 50},
                          {110, 80}, {60, 80}, {10, 80},  {10, 50}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(points[i].handle, order[i]);
        EXPECT_EQ(points[i].point, at[i]);
    }
}

TEST(CropGeometryDrag, StaysInsideTheImage)
{
    const QRectF rect(10, 10, 100, 100);
    EXPECT_EQ(CropGeometry::applied(rect, CropHandle::se, {1000, 1000}, image, {}),
              QRectF(10, 10, 390, 290));
    EXPECT_EQ(CropGeometry::applied(rect, CropHandle::nw, {-500, -500}, image, {}),
              QRectF(0, 0, 110, 110));
    // Moving keeps the size; a rectangle as wide as the image cannot move sideways.
    EXPECT_EQ(CropGeometry::applied(rect, CropHandle::move, {1000, -50}, image, {}),
              QRectF(300, 0, 100, 100));
    EXPECT_EQ(CropGeometry::applied(QRectF(0, 50, 400, 100), CropHandle::move, {37, 20}, image, {}),
              QRectF(0, 70, 400, 100));
}

TEST(CropGeometryDrag, AnEdgeStopsShortOfTheOppositeOne)
{
    const QRectF rect(10, 10, 100, 100);
    EXPECT_EQ(CropGeometry::applied(rect, CropHandle::nw, {500, 500}, image, {}),
              QRectF(90, 90, 20, 20));
    // Dragged far past the left edge, the right edge holds the left one at least 20 before it.
    EXPECT_EQ(CropGeometry::applied(rect, CropHandle::e, {-500, 7}, image, {}),
              QRectF(0, 10, 20, 100));
    EXPECT_EQ(CropGeometry::applied(rect, CropHandle::n, {40, 30}, image, {}),
              QRectF(10, 40, 100, 70));
}

TEST(CropGeometryDrag, ARatioDerivesTheHeightFromTheWidth)
{
    EXPECT_EQ(CropGeometry::applied(QRectF(10, 10, 100, 60), CropHandle::e, {30, 0}, image, 1.0),
              QRectF(10, 10, 130, 130));
    // Cut at the image's bottom, the width follows the height.
    EXPECT_EQ(CropGeometry::applied(QRectF(10, 200, 100, 60), CropHandle::e, {30, 0}, image, 1.0),
              QRectF(10, 200, 100, 100));
    // The top handle moves the whole rectangle: its height stays width / ratio.
    EXPECT_EQ(
        CropGeometry::applied(QRectF(10, 100, 160, 90), CropHandle::n, {0, -40}, image, 16.0 / 9),
        QRectF(10, 60, 160, 90));
}

} // namespace
