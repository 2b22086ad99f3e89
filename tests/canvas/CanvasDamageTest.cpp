#include "canvas/CanvasDamage.h"
#include "canvas/AnnotationRenderer.h"

#include <gtest/gtest.h>

using namespace snapkin;

namespace {

Annotation box(AnnotationKind kind, QPointF p1, QPointF p2)
{
    Annotation a{.kind = kind, .p1 = p1, .p2 = p2};
    a.lineWidth = 4;
    return a;
}

} // namespace

TEST(CanvasDamage, AMovedMarkTouchesItsOldAndNewPlaceAndTheLensesShowingThem)
{
    const Annotation rect = box(AnnotationKind::rectangle, {10, 10}, {50, 40});
    const Annotation far = box(AnnotationKind::ellipse, {400, 400}, {450, 450});
    Annotation lens = box(AnnotationKind::magnifier, {100, 0}, {200, 100});
    lens.magnification = 2; // shows 125..175 × 25..75, with a point of margin
    Annotation moved = rect;
    moved.p1 += QPointF(20, 0);
    moved.p2 += QPointF(20, 0);

    const auto area = CanvasDamage::between({rect, far}, {moved, far});
    ASSERT_TRUE(area);
    EXPECT_TRUE(area->contains(CanvasDamage::markArea(rect)));
    EXPECT_TRUE(area->contains(CanvasDamage::markArea(moved)));
    EXPECT_FALSE(area->intersects(CanvasDamage::markArea(far)));
    EXPECT_LE(area->width() * area->height(), 3 * 60 * 40) << "tight around plain shapes";

    // Moved under a lens: the lens shows it, so the lens is repainted too.
    Annotation under = rect;
    under.p1 = {130, 30};
    under.p2 = {150, 50};
    const auto withLens = CanvasDamage::between({rect, lens}, {under, lens});
    ASSERT_TRUE(withLens);
    EXPECT_TRUE(withLens->contains(AnnotationRenderer::drawnBounds(lens)));

    EXPECT_EQ(CanvasDamage::between({rect, far}, {rect, far}), QRectF());
}

TEST(CanvasDamage, AddedAndRemovedMarksTouchTheirPlaceButLayeringAndSpotlightsTouchEverything)
{
    const Annotation a = box(AnnotationKind::rectangle, {10, 10}, {50, 40});
    const Annotation b = box(AnnotationKind::line, {100, 100}, {140, 150});
    const Annotation c = box(AnnotationKind::arrow, {300, 10}, {360, 60});
    const auto added = CanvasDamage::between({a, b}, {a, b, c});
    ASSERT_TRUE(added);
    EXPECT_TRUE(added->contains(CanvasDamage::markArea(c)));
    EXPECT_FALSE(added->intersects(CanvasDamage::markArea(a)));
    const auto removed = CanvasDamage::between({a, b, c}, {a, c});
    ASSERT_TRUE(removed);
    EXPECT_TRUE(removed->contains(CanvasDamage::markArea(b)));

    EXPECT_FALSE(CanvasDamage::between({a, b, c}, {b, a, c})) << "brought forward";
    Annotation spot = box(AnnotationKind::spotlight, {200, 200}, {260, 260});
    EXPECT_FALSE(CanvasDamage::between({a}, {a, spot})) << "the dimming covers the image";
}
