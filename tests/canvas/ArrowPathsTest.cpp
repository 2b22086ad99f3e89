#include "canvas/ArrowPaths.h"

#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QList<QPointF> vertices(const QPainterPath& path)
{
    QList<QPointF> out;
    for (int i = 0; i < path.elementCount(); ++i)
        out.append(path.elementAt(i));
    return out;
}

void expectNear(QPointF actual, QPointF expected, const char* what)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6) << what;
}

Annotation arrow(QPointF p1, QPointF p2, ArrowHeadStyle head, bool doubleHeaded = false)
{
    return Annotation{.kind = AnnotationKind::arrow,
                      .p1 = p1,
                      .p2 = p2,
                      .doubleHeaded = doubleHeaded,
                      .arrowHead = head};
}

} // namespace

TEST(ArrowPathsStraight, FilledHeadSizesAndShaftEndFollowTheLineWidth)
{
    struct Case {
        double width, headLength, headWidth, shaftEnd;
    };
    for (const Case c : {Case{4, 14, 11, 88.1}, Case{10, 30, 26, 74.5}}) {
        const auto parts =
            ArrowPaths::straightArrow({0, 0}, {100, 0}, c.width, ArrowHeadStyle::filled, false);
        ASSERT_EQ(parts.size(), 2u);
        const auto shaft = vertices(parts[0].path);
        ASSERT_EQ(shaft.size(), 2);
        EXPECT_EQ(parts[0].paint, MarkPath::Paint::stroke);
        EXPECT_EQ(parts[0].width, c.width);
        EXPECT_EQ(parts[0].cap, Qt::RoundCap);
        expectNear(shaft[0], {0, 0}, "shaft start");
        expectNear(shaft[1], {c.shaftEnd, 0}, "shaft end");
        EXPECT_EQ(parts[1].paint, MarkPath::Paint::fill);
        const QRectF head = parts[1].path.boundingRect();
        EXPECT_NEAR(head.left(), 100 - c.headLength, 1e-6);
        EXPECT_NEAR(head.right(), 100, 1e-6);
        EXPECT_NEAR(head.height(), c.headWidth, 1e-6);
    }
}

TEST(ArrowPathsStraight, OpenHeadIsStrokedAndTheShaftStopsHalfAWidthShort)
{
    const auto parts = ArrowPaths::straightArrow({0, 0}, {100, 0}, 4, ArrowHeadStyle::open, false);
    ASSERT_EQ(parts.size(), 2u);
    expectNear(vertices(parts[0].path)[1], {98, 0}, "shaft end");
    EXPECT_EQ(parts[1].paint, MarkPath::Paint::stroke);
    EXPECT_EQ(parts[1].join, Qt::RoundJoin);
    const auto head = vertices(parts[1].path);
    ASSERT_EQ(head.size(), 3);
    expectNear(head[1], {100, 0}, "tip");
    expectNear(head[0], {86, 5.5}, "left corner");
}

TEST(ArrowPathsStraight, ConcaveHeadHasItsNotchAndDoubleHeadsPointOutwards)
{
    const auto parts =
        ArrowPaths::straightArrow({0, 0}, {100, 0}, 4, ArrowHeadStyle::concave, true);
    ASSERT_EQ(parts.size(), 3u);
    const auto shaft = vertices(parts[0].path);
    expectNear(shaft[0], {11.9, 0}, "shaft starts past the start head");
    const auto end = vertices(parts[1].path);
    expectNear(end[2], {100 - 0.55 * 14, 0}, "notch");
    const QRectF start = parts[2].path.boundingRect();
    EXPECT_NEAR(start.left(), 0, 1e-6);
    EXPECT_NEAR(start.right(), 14, 1e-6);
}

TEST(ArrowPathsStraight, TaperedArrowNarrowsToItsTail)
{
    const auto parts =
        ArrowPaths::straightArrow({0, 0}, {100, 0}, 4, ArrowHeadStyle::tapered, true);
    ASSERT_EQ(parts.size(), 1u); // double-headed is not drawn by the straight tapered arrow
    const auto v = vertices(parts[0].path);
    ASSERT_GE(v.size(), 6);
    expectNear(v[0], {0, 0}, "tail");
    expectNear(v[1], {82, 4.2}, "body meets head");
    expectNear(v[2], {82, 8}, "head corner");
    expectNear(v[3], {100, 0}, "tip");
    expectNear(v[5], {82, -4.2}, "other side");
}

TEST(ArrowPathsStraight, ZeroLengthArrowHasNoVisibleHead)
{
    const auto parts = ArrowPaths::straightArrow({5, 5}, {5, 5}, 4, ArrowHeadStyle::filled, false);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].path.boundingRect().width(), 0);
    EXPECT_EQ(parts[1].path.boundingRect().height(), 0);
}

TEST(ArrowPathsPath, RoutesCurvedAndTaperedDoubleHeadedArrowsAlongAPath)
{
    // A straight tapered double-headed arrow becomes one filled outline with two heads.
    const auto tapered = ArrowPaths::arrow(arrow({0, 0}, {200, 0}, ArrowHeadStyle::tapered, true));
    ASSERT_EQ(tapered.size(), 1u);
    EXPECT_TRUE(tapered[0].path.contains(QPointF(195, 0)));
    EXPECT_TRUE(tapered[0].path.contains(QPointF(5, 0)));
    EXPECT_TRUE(tapered[0].path.contains(QPointF(100, 4.0))); // t = 4.2 along a straight body
    // A filled double-headed straight arrow stays a shaft and two heads.
    EXPECT_EQ(ArrowPaths::arrow(arrow({0, 0}, {200, 0}, ArrowHeadStyle::filled, true)).size(), 3u);
}

TEST(ArrowPathsPath, DoubleHeadedTaperedBodyIsNarrowestInTheMiddle)
{
    // A curve with a zero handle offset lies on its chord, sampled at 49 points.
    Annotation a = arrow({0, 0}, {200, 0}, ArrowHeadStyle::tapered, true);
    a.curved = true;
    a.curveHandle = {0.5, 0};
    const QPainterPath path = ArrowPaths::arrow(a).front().path;
    const double t = 4.2;
    EXPECT_TRUE(path.contains(QPointF(100, 0.55 * t - 0.1)));
    EXPECT_FALSE(path.contains(QPointF(100, 0.55 * t + 0.15)));
    EXPECT_TRUE(path.contains(QPointF(182.5, t - 0.2))); // full width where the heads begin
    EXPECT_TRUE(path.contains(QPointF(17.5, -(t - 0.2))));
}

TEST(ArrowPathsPath, SingleTaperGrowsFromZeroAtTheTail)
{
    Annotation a = arrow({0, 0}, {200, 0}, ArrowHeadStyle::tapered);
    a.curved = true;
    a.curveHandle = {0.5, 0};
    const QPainterPath path = ArrowPaths::arrow(a).front().path;
    // Half-width f·t at fraction f of the body (182 long): 2.1 at x = 91.
    EXPECT_TRUE(path.contains(QPointF(91, 1.9)));
    EXPECT_FALSE(path.contains(QPointF(91, 2.3)));
    EXPECT_FALSE(path.contains(QPointF(10, 0.5)));
}

TEST(ArrowPathsPath, CurvedHeadsFollowTheTangentsNotTheChord)
{
    Annotation a = arrow({0, 0}, {100, 0}, ArrowHeadStyle::filled, true);
    a.curved = true; // default handle: control point (50, -44)
    const auto parts = ArrowPaths::arrow(a);
    ASSERT_EQ(parts.size(), 3u);
    const QPointF control = a.curveControlPoint();
    auto baseCentre = [](const MarkPath& head) {
        return (QPointF(head.path.elementAt(1)) + QPointF(head.path.elementAt(2))) / 2;
    };
    const QPointF endTangent = (a.p2 - control) / std::hypot(50.0, 44.0);
    expectNear(QPointF(parts[1].path.elementAt(0)), a.p2, "end tip");
    expectNear(baseCentre(parts[1]), a.p2 - endTangent * 14, "end head along the tangent");
    const QPointF startTangent = (a.p1 - control) / std::hypot(50.0, 44.0);
    expectNear(QPointF(parts[2].path.elementAt(0)), a.p1, "start tip");
    expectNear(baseCentre(parts[2]), a.p1 - startTangent * 14, "start head along the tangent");
}

TEST(ArrowPathsPath, ZeroLengthTaperedDoubleArrowPointsBothWaysAlongX)
{
    const auto parts = ArrowPaths::arrow(arrow({50, 50}, {50, 50}, ArrowHeadStyle::tapered, true));
    ASSERT_EQ(parts.size(), 1u);
    const QRectF bounds = parts[0].path.boundingRect();
    EXPECT_NEAR(bounds.left(), 32, 1e-6);
    EXPECT_NEAR(bounds.right(), 68, 1e-6);
    EXPECT_NEAR(bounds.height(), 16, 1e-6);
    EXPECT_TRUE(ArrowPaths::taperedPath({}, {1, 0}, {-1, 0}, false, 4).isEmpty());
}

TEST(ArrowPathsBounds, HostileLineWidthsAreBounded)
{
    const ArrowPaths::Head h = ArrowPaths::head(ArrowHeadStyle::filled, 1e300);
    EXPECT_LE(h.length, 3000);
    const ArrowPaths::Head n = ArrowPaths::head(ArrowHeadStyle::filled, std::nan(""));
    EXPECT_EQ(n.length, 14);
    EXPECT_EQ(ArrowPaths::head(ArrowHeadStyle::filled, -5).width, 11);
}
