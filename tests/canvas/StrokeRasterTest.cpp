// A line's coverage built segment by segment: the share of each pixel the union of its
// round-capped segments covers, at a cost bounded by what the segments newly reach.
#include "canvas/StrokeRaster.h"

#include <QList>
#include <QPointF>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace snapkin;

namespace {

StrokeRaster rasterOf(const QList<QPointF>& points, QRect area, double radius)
{
    StrokeRaster raster(area, radius);
    for (qsizetype i = 1; i < points.size(); ++i)
        raster.addSegment(points[i - 1], points[i]);
    return raster;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double length2 = QPointF::dotProduct(d, d);
    const double t =
        length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / length2, 0.0, 1.0) : 0.0;
    const QPointF e = p - (a + t * d);
    return std::hypot(e.x(), e.y());
}

// The share of the pixel within `radius` of some segment, from 16 × 16 samples.
double sampledShare(const QList<QPointF>& points, double radius, int x, int y)
{
    int inside = 0;
    for (int sy = 0; sy < 16; ++sy) {
        for (int sx = 0; sx < 16; ++sx) {
            const QPointF p(x + (sx + 0.5) / 16, y + (sy + 0.5) / 16);
            for (qsizetype i = 1; i < points.size(); ++i) {
                if (distanceToSegment(p, points[i - 1], points[i]) <= radius) {
                    ++inside;
                    break;
                }
            }
        }
    }
    return inside / 256.0;
}

} // namespace

TEST(StrokeRaster, EachPixelIsCoveredByTheShareOfItTheLineCovers)
{
    QList<QPointF> loop; // a circle traced one and a half times: overlaps and a small hole
    for (int i = 0; i <= 60; ++i)
        loop.append(QPointF(30 + 9 * std::cos(i * 0.157), 30 + 9 * std::sin(i * 0.157)));
    QList<QPointF> zigzag;
    for (int i = 0; i < 12; ++i)
        zigzag.append(QPointF(6.3 + i * 4.1, 20.2 + (i % 2) * 17.7));
    const struct {
        const char* name;
        QList<QPointF> points;
        double radius;
    } lines[] = {
        {"across", {{4.3, 20.4}, {55.7, 20.4}}, 2},
        {"slanted", {{4.3, 5.4}, {55.7, 41.2}}, 3.2},
        {"steep", {{30.1, 3.3}, {33.9, 56.6}}, 1.5},
        {"zigzag", zigzag, 2},
        {"loop", loop, 6},
        // Two passes whose edges just touch: together they cover the pixels between them.
        {"passes", {{4.2, 20.3}, {55.5, 20.3}, {55.5, 24.55}, {4.2, 24.55}}, 2},
        {"hairpin", {{4.2, 10.3}, {50.5, 30.3}, {4.2, 33.55}}, 4},
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.name);
        const QRect area(0, 0, 60, 60);
        const StrokeRaster raster = rasterOf(line.points, area, line.radius);
        double worst = 0;
        for (int y = 0; y < area.height(); ++y)
            for (int x = 0; x < area.width(); ++x)
                worst = std::max(worst, std::abs(raster.coverage(x, y) / 255.0 -
                                                 sampledShare(line.points, line.radius, x, y)));
        EXPECT_LT(worst, 0.1);
    }
}

TEST(StrokeRaster, ALineThatCrossesItselfEverywhereCostsWhatItsPixelsDo)
{
    // A pen thrown back and forth across a small picture 100,000 times: every segment crosses
    // the whole area, yet once a part is fully covered no later segment works on it.
    const QRect area(0, 0, 400, 300);
    const qint64 pixels = qint64(area.width()) * area.height();
    QRandomGenerator rng(11);
    QList<QPointF> thrown;
    for (int i = 0; i < 100'000; ++i)
        thrown.append(QPointF(rng.bounded(400.0), rng.bounded(300.0)));
    const StrokeRaster raster = rasterOf(thrown, area, 2);
    const StrokeRaster::Work& work = raster.work();
    // Laid whole, each segment would work on some hundred rows and five hundred pixels.
    EXPECT_LT(work.rows + work.pixels, 8 * pixels);
    EXPECT_LT(work.tiles, 2 * thrown.size());
    for (int y = 20; y < 280; y += 7)
        for (int x = 20; x < 380; x += 7)
            ASSERT_EQ(raster.coverage(x, y), 255) << x << "," << y;

    // Chords of a circle, each touching a hole in the middle: work goes only where the hole's
    // edge is still open: some dozens of rows and a few hundred pixels a chord of 260 pixels.
    QList<QPointF> chords;
    for (int i = 0; i < 100'000; ++i)
        chords.append(QPointF(200 + 140 * std::cos(i * 2.4), 150 + 140 * std::sin(i * 2.4)));
    const StrokeRaster star = rasterOf(chords, area, 2);
    EXPECT_LT(star.work().rows, 60 * chords.size());
    EXPECT_LT(star.work().rows + star.work().pixels, 300 * chords.size());

    // The same segment, back and forth, is laid once.
    QList<QPointF> retraced;
    for (int i = 0; i < 100'000; ++i)
        retraced.append(i % 2 ? QPointF(20.5, 30.25) : QPointF(380.5, 270.75));
    const StrokeRaster again = rasterOf(retraced, area, 2);
    EXPECT_EQ(again.work().repeats, retraced.size() - 2);
}

namespace {

// The largest difference in coverage between two rasters over the pixels both hold.
int worstDifference(const StrokeRaster& one, const StrokeRaster& other)
{
    const QRect shared = one.area() & other.area();
    int worst = 0;
    for (int y = shared.top(); y <= shared.bottom(); ++y)
        for (int x = shared.left(); x <= shared.right(); ++x)
            worst = std::max(worst, std::abs(one.coverage(x, y) - other.coverage(x, y)));
    return worst;
}

} // namespace

TEST(StrokeRasterArea, AnAreaStartingLeftOfOrAboveTheOriginCoversItsPixelsAsAnyOther)
{
    // A device area whose corner rounds to −1 (a moved and scaled painter's) lays the same
    // coverage on the pixels it shares with an area at the origin.
    const QList<QPointF> zigzag{{-3.3, 4.1}, {20.2, 40.7}, {35.5, -2.5}, {58.1, 57.3}, {2.2, 30.3}};
    const StrokeRaster atOrigin = rasterOf(zigzag, QRect(0, 0, 60, 60), 2.5);
    for (const QPoint corner : {QPoint(-1, -1), QPoint(-1, 0), QPoint(-9, -17)}) {
        SCOPED_TRACE(corner.x() * 100 + corner.y());
        const StrokeRaster moved = rasterOf(zigzag, QRect(corner, QSize(61, 66)), 2.5);
        EXPECT_EQ(worstDifference(atOrigin, moved), 0);
        EXPECT_GT(moved.coverage(-1, 7), 0); // left of the origin too
    }
}

TEST(StrokeRasterArea, SegmentsReachingFarBeyondTheAreaCoverItAsTheirPartsNearItDo)
{
    // Each far segment lies on the same line as a short one across the area: the line near the
    // area is found however far away the ends lie, and no figure overflows a pixel coordinate.
    const QRect area(-30, -30, 60, 60);
    const struct {
        const char* name;
        QPointF a, b;         // far
        QPointF nearA, nearB; // the same line, ends just beyond the area
    } lines[] = {
        {"across", {-1e30, 4.5}, {1e30, 4.5}, {-40, 4.5}, {40, 4.5}},
        {"down", {-7.25, 1e30}, {-7.25, -1e30}, {-7.25, 40}, {-7.25, -40}},
        {"diagonal", {-1e30, -1e30}, {1e30, 1e30}, {-40, -40}, {40, 40}},
        {"steep", {-3e29, -1e30}, {3e29, 1e30}, {-12, -40}, {12, 40}},
        {"far past the largest figures", {-1e120, 5e119}, {1e120, -5e119}, {-80, 40}, {80, -40}},
        {"ends beyond the largest double's reach",
         {-1.7e308, 0.5},
         {1.7e308, 0.5},
         {-40, 0.5},
         {40, 0.5}},
        {"one end near", {3.5, 2.5}, {1e120, 3e119}, {3.5, 2.5}, {100 + 3.5, 30 + 2.5}},
        {"one end far to the left", {12.5, 8.5}, {-1e20, 8.5 - 1e4}, {12.5, 8.5}, {-87.5, 8.5}},
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.name);
        StrokeRaster far(area, 3);
        far.addSegment(line.a, line.b);
        StrokeRaster near(area, 3);
        near.addSegment(line.nearA, line.nearB);
        ASSERT_FALSE(near.touched().isEmpty());
        EXPECT_EQ(far.touched(), near.touched());
        EXPECT_LE(worstDifference(far, near), 2);
    }
}

TEST(StrokeRasterArea, PointsThatAreNotNumbersLeaveTheirSegmentsOut)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const StrokeRaster raster = rasterOf(
        {{5.5, 5.5}, {nan, 20}, {30.5, 30.5}, {50.5, 30.5}, {inf, 0}, {-inf, -inf}, {50.5, 50.5}},
        QRect(0, 0, 60, 60), 2);
    EXPECT_EQ(raster.coverage(40, 30), 255); // the finite segment
    EXPECT_EQ(raster.coverage(5, 5), 0);
    EXPECT_EQ(raster.coverage(50, 40), 0);
}
