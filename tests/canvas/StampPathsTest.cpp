#include "canvas/StampPaths.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace snapkin;

namespace {

Annotation stamp(StampKind kind, QRectF box)
{
    return Annotation{
        .kind = AnnotationKind::stamp, .p1 = box.topLeft(), .p2 = box.bottomRight(), .stamp = kind};
}

} // namespace

TEST(StampPathsDisc, NumberStampsHaveADiscUnlessToldOtherwise)
{
    Annotation a = stamp(StampKind::number, {0, 0, 40, 40});
    StampPaths::Layout l = StampPaths::layout(a);
    ASSERT_TRUE(l.disc.has_value());
    EXPECT_TRUE(l.glyphOnDisc);
    ASSERT_TRUE(l.text.has_value());
    EXPECT_EQ(l.text->text, "1"); // empty text shows 1
    EXPECT_NEAR(l.text->fontSize, 0.52 * 40, 1e-9);
    EXPECT_EQ(l.text->center, QPointF(20, 20));

    a.disc = false;
    a.text = "7";
    l = StampPaths::layout(a);
    EXPECT_FALSE(l.disc.has_value());
    EXPECT_FALSE(l.glyphOnDisc);
    EXPECT_EQ(l.text->text, "7");
    EXPECT_FALSE(StampPaths::layout(stamp(StampKind::check, {0, 0, 40, 40})).disc.has_value());
}

TEST(StampPathsGlyph, CheckOnADiscIsInsetAndStrokedInProportion)
{
    Annotation a = stamp(StampKind::check, {0, 0, 40, 40});
    a.disc = true;
    const StampPaths::Layout l = StampPaths::layout(a);
    ASSERT_EQ(l.glyph.size(), 1u);
    const MarkPath& check = l.glyph[0];
    EXPECT_NEAR(check.width, 3.696, 1e-9);
    const double inner = 40 - 2 * 6.8;
    const QPointF first = check.path.elementAt(0);
    EXPECT_NEAR(first.x(), 6.8 + 0.2 * inner, 1e-9);
    EXPECT_NEAR(first.y(), 6.8 + 0.55 * inner, 1e-9);
    // Small stamps keep a visible stroke.
    EXPECT_EQ(StampPaths::glyph({0, 0, 5, 5}, StampKind::cross).front().width, 2);
}

TEST(StampPathsGlyph, DotIsTheDiscOrAnInsetDot)
{
    Annotation a = stamp(StampKind::dot, {0, 0, 50, 100});
    a.disc = true;
    EXPECT_TRUE(StampPaths::layout(a).glyph.empty());
    a.disc = std::nullopt;
    const StampPaths::Layout l = StampPaths::layout(a);
    EXPECT_FALSE(l.disc.has_value());
    ASSERT_EQ(l.glyph.size(), 1u);
    const QRectF dot = l.glyph[0].path.boundingRect();
    EXPECT_NEAR(dot.left(), 6, 1e-6);
    EXPECT_NEAR(dot.top(), 12, 1e-6);
    EXPECT_NEAR(dot.width(), 38, 1e-6);
}

TEST(StampPathsGlyph, StarPointsUpAndRunsClockwise)
{
    const QPainterPath star = StampPaths::starPath({0, 0, 100, 80});
    const QPointF top = star.elementAt(0);
    EXPECT_NEAR(top.x(), 50, 1e-9);
    EXPECT_NEAR(top.y(), 0, 1e-9); // outer radius = half the smaller side
    const QPointF next = star.elementAt(1);
    EXPECT_GT(next.x(), 50);
    EXPECT_NEAR(std::hypot(next.x() - 50, next.y() - 40), 0.42 * 40, 1e-9);
    EXPECT_TRUE(star.contains(QPointF(50, 40)));
}

TEST(StampPathsTail, BaseSitsOnTheDiscAndNarrowsWithDistance)
{
    // Box width 40 (r = 20), tail straight right, 60 points long: r0 = 16, half base 12.4.
    Annotation a = stamp(StampKind::check, {0, 0, 40, 40});
    a.tailAngle = 0.0;
    a.tailLength = 60;
    const StampPaths::Layout l = StampPaths::layout(a);
    ASSERT_FALSE(l.tail.isEmpty());
    const QRectF tail = l.tail.boundingRect();
    EXPECT_NEAR(tail.left(), 20 + 16, 1e-9);
    EXPECT_NEAR(tail.right(), 80, 1e-9);
    EXPECT_NEAR(tail.height(), 2 * 12.4, 1e-9);
    EXPECT_TRUE(StampPaths::layout(stamp(StampKind::check, {0, 0, 40, 40})).tail.isEmpty());
}

TEST(StampPathsLabel, LabelOnlyWhenNotEmpty)
{
    Annotation a = stamp(StampKind::exclamation, {0, 0, 20, 20});
    EXPECT_FALSE(StampPaths::layout(a).label.has_value());
    a.stampLabel = "AB";
    const StampPaths::Layout l = StampPaths::layout(a);
    ASSERT_TRUE(l.label.has_value());
    EXPECT_NEAR(l.labelCornerRadius, 0.28 * 16, 1e-9);
    EXPECT_NEAR(l.labelText->fontSize, std::max(0.62 * 16, 8.0), 1e-9);
    EXPECT_EQ(l.text->text, "!");
    EXPECT_EQ(l.text->fontSize, 10.4);
}
