#include "model/Annotation.h"
#include "model/Polyline.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace snapkin;

namespace {

Annotation make(AnnotationKind kind, QPointF p1, QPointF p2)
{
    return Annotation{.kind = kind, .p1 = p1, .p2 = p2};
}

double distanceBetween(QPointF a, QPointF b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

} // namespace

TEST(AnnotationBounds, TextBoxFollowsCharactersAndFontSize)
{
    Annotation text = make(AnnotationKind::text, {10, 20}, {500, 500});
    EXPECT_EQ(text.boundingRect(), QRectF(10, 20, 24, 18 * 1.3)) << "empty text keeps 24 wide";
    text.text = "Hello";
    EXPECT_DOUBLE_EQ(text.boundingRect().width(), 5 * 18 * 0.6);
    // A skin-toned emoji and a flag are one character each, not four code units.
    text.text = QString::fromUtf8("👍🏽🇩🇪ab");
    EXPECT_DOUBLE_EQ(text.boundingRect().width(), 4 * 18 * 0.6);
}

TEST(AnnotationBounds, BoxKindsUseTheirCornersInAnyOrder)
{
    Annotation rect = make(AnnotationKind::ellipse, {100, 50}, {0, 80});
    rect.lineWidth = 40;
    EXPECT_EQ(rect.boundingRect(), QRectF(0, 50, 100, 30)) << "line width is not added";
    Annotation pen = make(AnnotationKind::pen, {0, 0}, {10, 10});
    pen.points = {{-50, -50}, {200, 200}};
    EXPECT_EQ(pen.boundingRect(), QRectF(0, 0, 10, 10)) << "pen points are not consulted";
}

TEST(AnnotationBounds, CurvedArrowCoversItsBulge)
{
    Annotation arrow = make(AnnotationKind::arrow, {0, 0}, {100, 0});
    arrow.curved = true; // default handle bends 22 points up (to the left of the direction)
    const QRectF r = arrow.boundingRect();
    EXPECT_DOUBLE_EQ(r.left(), 0);
    EXPECT_DOUBLE_EQ(r.right(), 100);
    EXPECT_NEAR(r.top(), -22, 1e-9) << "sample 24 of 48 is the handle itself";
    EXPECT_DOUBLE_EQ(r.bottom(), 0);
}

TEST(AnnotationHitTest, LinesWithinTolerance)
{
    Annotation line = make(AnnotationKind::line, {0, 0}, {100, 0});
    EXPECT_TRUE(line.contains({50, 10})) << "width 4: tolerance 10";
    EXPECT_FALSE(line.contains({50, 10.5}));
    EXPECT_TRUE(line.contains({-8, 6})) << "distance to the end, not the infinite line";
    EXPECT_FALSE(line.contains({-10.5, 0}));
    line.lineWidth = 1;
    EXPECT_TRUE(line.contains({50, 8}));
    EXPECT_FALSE(line.contains({50, 8.1}));

    Annotation dot = make(AnnotationKind::arrow, {5, 5}, {5, 5});
    EXPECT_TRUE(dot.contains({5, 15}));
    EXPECT_FALSE(dot.contains({5, 15.1}));
}

TEST(AnnotationHitTest, BoxesIncludeTopLeftMarginExcludeBottomRight)
{
    const Annotation rect = make(AnnotationKind::rectangle, {0, 0}, {100, 50});
    EXPECT_TRUE(rect.contains({-6, -6}));
    EXPECT_TRUE(rect.contains({105.9, 55.9}));
    EXPECT_FALSE(rect.contains({106, 20}));
    EXPECT_FALSE(rect.contains({20, 56}));
    EXPECT_TRUE(rect.contains({50, 25})) << "the inside of an outline hits";
}

TEST(AnnotationHitTest, PenAndPixelateAreNeverHit)
{
    for (AnnotationKind kind : {AnnotationKind::pen, AnnotationKind::pixelate}) {
        Annotation a = make(kind, {0, 0}, {100, 100});
        a.points = {{0, 0}, {50, 50}, {100, 100}};
        for (QPointF p : {QPointF(50, 50), QPointF(0, 0), QPointF(100, 100)})
            EXPECT_FALSE(a.contains(p));
    }
}

TEST(AnnotationHitTest, CurvedArrowIsHitAlongTheCurveNotTheChord)
{
    Annotation arrow = make(AnnotationKind::arrow, {0, 0}, {100, 0});
    arrow.curved = true;
    EXPECT_TRUE(arrow.contains({50, -22}));
    EXPECT_FALSE(arrow.contains({50, 0})) << "22 from the curve's top, tolerance 10";
    arrow.curved = false;
    EXPECT_TRUE(arrow.contains({50, 0}));
}

TEST(AnnotationStampGeometry, TailLengthIsLimitedByTheStampSize)
{
    Annotation stamp = make(AnnotationKind::stamp, {0, 0}, {40, 40});
    EXPECT_FALSE(stamp.tailTip().has_value());
    stamp.tailAngle = M_PI / 2;
    const QPointF centre(20, 20);
    const std::pair<double, double> cases[] = {{34, 34}, {10, 28}, {100, 60}};
    for (auto [requested, expected] : cases) {
        stamp.tailLength = requested;
        ASSERT_TRUE(stamp.tailTip().has_value());
        EXPECT_NEAR(distanceBetween(*stamp.tailTip(), centre), expected, 1e-9) << requested;
    }
    EXPECT_NEAR(stamp.tailTip()->y(), 80, 1e-9) << "angle π/2 points down";
    // The tail reaches into the bounds.
    EXPECT_NEAR(stamp.boundingRect().bottom(), 80, 1e-9);
    EXPECT_FALSE(make(AnnotationKind::rectangle, {0, 0}, {4, 4}).tailTip().has_value());
}

TEST(AnnotationStampGeometry, LabelSitsRightOfTheStamp)
{
    Annotation stamp = make(AnnotationKind::stamp, {0, 0}, {20, 20});
    EXPECT_FALSE(stamp.stampLabelRect().has_value());
    stamp.stampLabel = "AB";
    const auto label = stamp.stampLabelRect();
    ASSERT_TRUE(label.has_value());
    EXPECT_DOUBLE_EQ(label->height(), 16);
    EXPECT_DOUBLE_EQ(label->width(), 2 * 16 * 0.62 + 8);
    EXPECT_DOUBLE_EQ(label->left(), 20 + 3.52);
    EXPECT_DOUBLE_EQ(label->top(), 10 - 8);
    EXPECT_DOUBLE_EQ(stamp.boundingRect().right(), label->right());
}

TEST(AnnotationCurve, StraightHandleGivesEvenSamplesOnTheChord)
{
    Annotation arrow = make(AnnotationKind::arrow, {0, 0}, {96, 48});
    arrow.curveHandle = {0.5, 0};
    const QList<QPointF> samples = arrow.curveSamples(48);
    ASSERT_EQ(samples.size(), 49);
    for (int i = 0; i <= 48; ++i) {
        EXPECT_NEAR(samples[i].x(), 2.0 * i, 1e-9);
        EXPECT_NEAR(samples[i].y(), 1.0 * i, 1e-9);
    }
    EXPECT_EQ(arrow.curveSamples(0).size(), 2) << "a count below 1 still gives both ends";
}

TEST(AnnotationCurve, PlacingTheHandleInvertsTheHandlePoint)
{
    Annotation arrow = make(AnnotationKind::arrow, {10, 20}, {110, 70});
    arrow.curved = true;
    const QPointF target(40, 90);
    arrow.curveHandle = arrow.curveHandlePlacingHandleAt(target);
    // The curve's midpoint now passes through the target.
    const QPointF mid = arrow.curveSamples(2)[1];
    EXPECT_NEAR(mid.x(), target.x(), 1e-9);
    EXPECT_NEAR(mid.y(), target.y(), 1e-9);

    Annotation degenerate = make(AnnotationKind::arrow, {5, 5}, {5, 5});
    degenerate.curveHandle = {0.3, 0.1};
    EXPECT_EQ(degenerate.curveHandlePlacingHandleAt({50, 50}), QPointF(0.3, 0.1));
}

TEST(AnnotationCurve, BoundsOfPoints)
{
    EXPECT_EQ(Annotation::bounds({}), QRectF(0, 0, 0, 0));
    EXPECT_EQ(Annotation::bounds({{3, -1}, {-2, 4}, {0, 0}}), QRectF(-2, -1, 5, 5));
}

TEST(Polyline, CumulativeLengths)
{
    EXPECT_EQ(Polyline::cumulativeLengths({}), QList<double>{0});
    EXPECT_EQ(Polyline::cumulativeLengths({{1, 1}}), QList<double>{0});
    EXPECT_EQ(Polyline::cumulativeLengths({{0, 0}, {3, 4}, {3, 10}}), (QList<double>{0, 5, 11}));
}

TEST(Polyline, TrimmedCutsByArcLength)
{
    EXPECT_EQ(Polyline::trimmed({{0, 0}, {10, 0}}, 2, 3), (QList<QPointF>{{2, 0}, {7, 0}}));
    EXPECT_TRUE(Polyline::trimmed({{0, 0}, {10, 0}}, 5, 5).isEmpty());
    EXPECT_TRUE(Polyline::trimmed({{0, 0}}, 0, 0).isEmpty());

    // An L shape: the corner (10, 0) lies strictly between the cuts and is kept.
    const QList<QPointF> ell{{0, 0}, {10, 0}, {10, 10}};
    EXPECT_EQ(Polyline::trimmed(ell, 4, 3), (QList<QPointF>{{4, 0}, {10, 0}, {10, 7}}));
    // Cut past the corner: the corner is dropped.
    EXPECT_EQ(Polyline::trimmed(ell, 12, 3), (QList<QPointF>{{10, 2}, {10, 7}}));
    // Repeated points (zero-length segments) do not divide by zero.
    const QList<QPointF> repeated{{0, 0}, {0, 0}, {10, 0}};
    const QList<QPointF> cut = Polyline::trimmed(repeated, 1, 1);
    ASSERT_EQ(cut.size(), 2);
    EXPECT_TRUE(std::isfinite(cut.first().x()));
}
