#include "output/FrameComposition.h"
#include "output/Checkerboard.h"
#include "output/FrameCornerMask.h"
#include "output/FrameShadow.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace snapkin;

namespace {

// A 200 × 100 image at (40, 40) on a 280 × 180 canvas.
FrameLayout testLayout()
{
    FrameLayout layout;
    layout.canvasSize = QSizeF(280, 180);
    layout.imageRect = QRectF(40, 40, 200, 100);
    return layout;
}

platform::BaseImage solidImage(QColor color, QSize size = QSize(200, 100))
{
    QImage pixels(size, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(color);
    return platform::BaseImage(pixels);
}

FrameStyle style(FrameBackgroundKind kind, double cornerRadius, double shadow)
{
    FrameStyle frame;
    frame.background = kind;
    frame.cornerRadius = cornerRadius;
    frame.shadow = shadow;
    frame.solidHex = QStringLiteral("#00FF00");
    frame.gradientColors = {QStringLiteral("#FF0000"), QStringLiteral("#0000FF")};
    return frame;
}

struct Options {
    bool forEditor = false;
    bool clipFirst = false; // forces the generic clipping path
};

QImage render(const FrameComposition& composition, Options options = {})
{
    QImage out(composition.layout.canvasSize.toSize(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::Antialiasing);
    if (options.clipFirst) painter.setClipRect(out.rect());
    const platform::BaseImage image = composition.image;
    EXPECT_TRUE(composition.paint(painter, [&](QPainter& p) {
        p.drawImage(QRectF(QPointF(), composition.layout.imageRect.size()), image.image());
    }));
    return out;
}

FrameComposition composition(std::optional<FrameStyle> frame, bool forEditor,
                             platform::BaseImage image = solidImage(Qt::blue))
{
    return FrameComposition{testLayout(), frame, std::nullopt, image, forEditor};
}

bool isCheckerGrey(QRgb pixel)
{
    return qAlpha(pixel) == 255 && qRed(pixel) == qGreen(pixel) && qGreen(pixel) == qBlue(pixel) &&
           (std::abs(qRed(pixel) - 245) <= 1 || std::abs(qRed(pixel) - 214) <= 1);
}

} // namespace

TEST(FrameCompositionCorners, ExportCornersAreTransparentEditorCornersShowCheckerboard)
{
    const auto frame = style(FrameBackgroundKind::transparent, 20, 0);
    const QImage exported = render(composition(frame, false));
    const QImage editor = render(composition(frame, true));

    // Just inside each corner of the image rectangle, outside its rounded outline.
    for (const QPoint p : {QPoint(41, 41), QPoint(238, 41), QPoint(41, 138), QPoint(238, 138)}) {
        EXPECT_EQ(qAlpha(exported.pixel(p)), 0) << p.x() << "," << p.y();
        EXPECT_TRUE(isCheckerGrey(editor.pixel(p))) << p.x() << "," << p.y();
    }
    // The padding: clear in the export, checkerboard in the editor.
    EXPECT_EQ(qAlpha(exported.pixel(10, 10)), 0);
    EXPECT_TRUE(isCheckerGrey(editor.pixel(10, 10)));
    // The image itself, and its edge midway between corners, are untouched in both.
    for (const QImage* out : {&exported, &editor}) {
        EXPECT_EQ(out->pixel(140, 90), qRgb(0, 0, 255));
        EXPECT_EQ(out->pixel(140, 40), qRgb(0, 0, 255));
        EXPECT_EQ(out->pixel(40, 90), qRgb(0, 0, 255));
    }
}

TEST(FrameCompositionCorners, NoRoundingNoClippingNoCover)
{
    const auto frame = style(FrameBackgroundKind::transparent, 0, 0);
    EXPECT_EQ(render(composition(frame, false)).pixel(40, 40), qRgb(0, 0, 255));
    EXPECT_EQ(render(composition(frame, true)).pixel(40, 40), qRgb(0, 0, 255));
    EXPECT_FALSE(composition(frame, true).hasCornerCover());
}

TEST(FrameCompositionCorners, QuickCornerClipMatchesAGenericClip)
{
    // Painting into an image takes a shortcut for the rounded clip; a painter that is already
    // clipped takes the generic path. Both must give the same pixels, shadow and all.
    for (const auto kind : {FrameBackgroundKind::gradient, FrameBackgroundKind::transparent}) {
        const auto c = composition(style(kind, 24, 0.7), false);
        const QImage quick = render(c);
        const QImage generic = render(c, {.forEditor = false, .clipFirst = true});
        int worst = 0;
        for (int y = 0; y < quick.height(); ++y)
            for (int x = 0; x < quick.width(); ++x) {
                const QRgb a = quick.pixel(x, y);
                const QRgb b = generic.pixel(x, y);
                worst =
                    std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            }
        EXPECT_LE(worst, 8);
    }
}

namespace {

// Curvature through three points of a curve (the inverse radius of the circle through them).
double curvature(QPointF a, QPointF b, QPointF c)
{
    const double cross = (b.x() - a.x()) * (c.y() - a.y()) - (b.y() - a.y()) * (c.x() - a.x());
    const auto len = [](QPointF v) { return std::hypot(v.x(), v.y()); };
    return 2 * std::abs(cross) / (len(b - a) * len(c - b) * len(c - a));
}

} // namespace

TEST(FrameCompositionCorners, CornersAreContinuousNotCircular)
{
    // The image's outline with the largest radius: its top-right corner, sampled by length from
    // where the top edge's straight part ends.
    const double r = 40;
    const QRectF rect(0, 0, 400, 300);
    const QPainterPath outline = roundedOutline(rect, r);
    EXPECT_EQ(outline.boundingRect(), rect);
    const double total = outline.length();
    const auto at = [&](double length) {
        return outline.pointAtPercent(outline.percentAtLength(length));
    };

    // Where the outline leaves the top edge: on a circular arc that is r from the corner.
    double leave = 0;
    for (double s = 0; s < total / 4; s += 0.05)
        if (at(s).y() > 1e-3) {
            leave = s - 0.05;
            break;
        }
    const QPointF start = at(leave);
    EXPECT_NEAR(400 - start.x(), 1.5 * r, 0.1 * r) << "the curve begins further out than r";

    // The curvature starts from nothing, grows steadily to its peak on the diagonal and falls
    // back to nothing on the right edge; a circular arc has 1 / r all along.
    const double h = 1.0;
    std::vector<double> ks;
    std::vector<QPointF> points;
    for (double s = leave + h; at(s + h).x() < 400 - 1e-3; s += h) {
        ks.push_back(curvature(at(s - h), at(s), at(s + h)));
        points.push_back(at(s));
    }
    ASSERT_GT(ks.size(), 20u);
    EXPECT_LT(ks.front() * r, 0.1) << "at the start of the curve";
    EXPECT_LT(ks.back() * r, 0.1) << "at the end of the curve";
    const size_t top = size_t(std::max_element(ks.begin(), ks.end()) - ks.begin());
    for (size_t i = 1; i < ks.size(); ++i) {
        if (i <= top)
            EXPECT_GE(ks[i] * r, ks[i - 1] * r - 0.01) << i;
        else
            EXPECT_LE(ks[i] * r, ks[i - 1] * r + 0.01) << i;
    }
    const double peak = ks[top];
    const QPointF peakPoint = points[top];
    EXPECT_GT(peak * r, 1.0);
    EXPECT_LT(peak * r, 1.6);
    // The corner is as deep as a circular one: the peak lies on the diagonal, 0.29 r in.
    EXPECT_NEAR(400 - peakPoint.x(), (1 - 1 / std::sqrt(2.0)) * r, 1.5);
    EXPECT_NEAR(peakPoint.y(), (1 - 1 / std::sqrt(2.0)) * r, 1.5);

    // Symmetric: every corner is the mirror image of its neighbours.
    const QTransform mirrorX = QTransform::fromTranslate(400, 0).scale(-1, 1);
    const QTransform mirrorY = QTransform::fromTranslate(0, 300).scale(1, -1);
    for (double s = 0; s < total; s += 3.7) {
        const QPointF p = at(s);
        for (const QTransform& m : {mirrorX, mirrorY}) {
            const QPointF q = m.map(p);
            // On the outline: just inside is in the shape, just outside is not.
            const QPointF inward = (QPointF(200, 150) - q) / std::hypot(200 - q.x(), 150 - q.y());
            EXPECT_TRUE(outline.contains(q + 0.05 * inward)) << q.x() << "," << q.y();
            EXPECT_FALSE(outline.contains(q - 0.05 * inward)) << q.x() << "," << q.y();
        }
    }

    // The editor's corner cover is exactly the rest of the rectangle.
    const QPainterPath cover = FrameCornerMask{rect, r}.path();
    const QPointF offEdge = at(leave + 0.3 * r);
    EXPECT_TRUE(cover.contains(QPointF(offEdge.x(), offEdge.y() / 2)));
    EXPECT_FALSE(cover.contains(QPointF(offEdge.x(), offEdge.y() + 0.5)));
}

TEST(FrameCompositionShadow, NumbersFollowTheMargins)
{
    const FrameShadow half = FrameShadow::of(QRectF(100, 120, 400, 300), 0.5);
    EXPECT_DOUBLE_EQ(half.blurRadius, 22.5);
    EXPECT_DOUBLE_EQ(half.offsetY, 9);
    EXPECT_DOUBLE_EQ(half.opacity, 0.3);
    EXPECT_DOUBLE_EQ(FrameShadow::of(QRectF(0, 0, 400, 300), 1).opacity, 0.45);
    // No margin still blurs by 6 × strength; a huge margin stops at 60.
    EXPECT_DOUBLE_EQ(FrameShadow::of(QRectF(0, 0, 400, 300), 0.5).blurRadius, 3);
    EXPECT_DOUBLE_EQ(FrameShadow::of(QRectF(5000, 5000, 400, 300), 1).blurRadius, 60);
    // Strength outside 0 … 1, or not a number, is held to the range.
    EXPECT_DOUBLE_EQ(FrameShadow::of(QRectF(100, 100, 4, 3), 7).blurRadius, 45);
    EXPECT_FALSE(FrameShadow::of(QRectF(100, 100, 4, 3), qQNaN()).isVisible());
}

TEST(FrameCompositionShadow, DrawnBelowTheImageOnlyWhenStrengthIsPositive)
{
    const QImage none = render(composition(style(FrameBackgroundKind::transparent, 10, 0), false));
    for (int y = 0; y < 180; ++y) {
        for (int x = 0; x < 280; ++x) {
            if (!QRectF(40, 40, 200, 100).contains(x + 0.5, y + 0.5)) {
                ASSERT_EQ(qAlpha(none.pixel(x, y)), 0) << x << "," << y;
            }
        }
    }

    const QImage shadowed =
        render(composition(style(FrameBackgroundKind::transparent, 10, 1), false));
    const int below = qAlpha(shadowed.pixel(140, 145));
    const int above = qAlpha(shadowed.pixel(140, 34));
    EXPECT_GT(below, 10);
    EXPECT_GT(below, above); // moved downwards
    EXPECT_LE(below, 0.45 * 255 + 2);
    EXPECT_EQ(qAlpha(shadowed.pixel(0, 0)), 0); // far from the image
}

TEST(FrameCompositionShadow, ADeepZoomDoesNotAskForAGiantSilhouette)
{
    // A 4000 × 3000-point image at 50 device pixels per point would be 30 gigapixels.
    const FrameShadow shadow = FrameShadow::of(QRectF(300, 300, 4000, 3000), 0.5);
    const auto rendition =
        FrameShadow::render(platform::BaseImage(), QSizeF(4000, 3000), 10, shadow, 50, true);
    ASSERT_TRUE(rendition.has_value());
    ASSERT_FALSE(rendition->pixels.isNull());
    EXPECT_LE(double(rendition->pixels.width()) * rendition->pixels.height(),
              2 * FrameShadow::maxShadowPixels);
    // Still laid over the whole image, moved down by the offset.
    EXPECT_LT(rendition->target.left(), 0);
    EXPECT_GT(rendition->target.right(), 4000);
    EXPECT_GT(rendition->target.center().y(), 1500);
}

TEST(FrameCompositionBackground, SolidAndGradientFillTheCanvas)
{
    const QImage solid = render(composition(style(FrameBackgroundKind::solid, 10, 0), false));
    EXPECT_EQ(solid.pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(solid.pixel(275, 175), qRgb(0, 255, 0));

    const QImage gradient = render(composition(style(FrameBackgroundKind::gradient, 10, 0), false));
    const QRgb start = gradient.pixel(0, 0);
    const QRgb end = gradient.pixel(279, 179);
    EXPECT_GT(qRed(start), 240);
    EXPECT_LT(qBlue(start), 15);
    EXPECT_GT(qBlue(end), 240);
    EXPECT_LT(qRed(end), 15);
    // The bands run along the other diagonal: its two ends are the middle colour.
    const QRgb a = gradient.pixel(279, 0);
    const QRgb b = gradient.pixel(0, 179);
    EXPECT_NEAR(qRed(a), qRed(b), 4);
    EXPECT_NEAR(qRed(a), 128, 10);
}

TEST(FrameCompositionBackground, ShowsThroughTransparentPartsOfTheImage)
{
    // Left half of the image transparent: background and shadow are skipped under opaque
    // images only, so red must show through here.
    QImage pixels(200, 100, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::blue);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            pixels.setPixel(x, y, 0);
    auto frame = style(FrameBackgroundKind::solid, 10, 0.5);
    frame.solidHex = QStringLiteral("#FF0000");
    const QImage out = render(composition(frame, false, platform::BaseImage(pixels)));
    const QRgb hole = out.pixel(90, 90);
    EXPECT_GT(qRed(hole), 150); // red, maybe darkened by the shadow beneath the hole
    EXPECT_EQ(qGreen(hole), 0);
    EXPECT_EQ(qBlue(hole), 0);
    EXPECT_EQ(out.pixel(200, 90), qRgb(0, 0, 255));
}

TEST(FrameCompositionBackground, SkippingTheCoveredPartLeavesNoSeams)
{
    // Under an opaque image the background and shadow are painted only around it. Compare
    // with the same image made non-opaque by one clear pixel (everything painted), at zooms
    // that put the image's edges between device pixels.
    QImage pixels(200, 100, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::blue);
    const platform::BaseImage opaque(pixels);
    QImage holed = pixels.copy();
    holed.setPixel(100, 50, 0);
    const platform::BaseImage notOpaque(holed);
    for (const bool editor : {false, true}) {
        for (const double zoom : {0.37, 1.5, 2.25}) {
            const QSize size = (QSizeF(280, 180) * zoom).toSize() + QSize(1, 1);
            const auto paint = [&](const platform::BaseImage& image) {
                QImage out(size, QImage::Format_ARGB32_Premultiplied);
                out.fill(Qt::transparent);
                QPainter painter(&out);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.scale(zoom, zoom);
                FrameComposition{testLayout(), style(FrameBackgroundKind::gradient, 12, 0.6),
                                 std::nullopt, image, editor}
                    .paint(painter, [&](QPainter& p) {
                        p.drawImage(QRectF(0, 0, 200, 100), image.image());
                    });
                return out;
            };
            const QImage a = paint(opaque);
            const QImage b = paint(notOpaque);
            const QPoint hole = (QPointF(140, 90) * zoom).toPoint();
            int worst = 0;
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x) {
                    if (std::abs(x - hole.x()) <= 3 && std::abs(y - hole.y()) <= 3) continue;
                    const QRgb p = a.pixel(x, y);
                    const QRgb q = b.pixel(x, y);
                    worst = std::max(
                        {worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                         std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
                }
            EXPECT_LE(worst, 6) << "zoom " << zoom << (editor ? " editor" : " export");
        }
    }
}

TEST(FrameCompositionBackground, CheckerboardAlternatesFromALightCorner)
{
    QImage out(24, 16, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    {
        QPainter painter(&out);
        Checkerboard{8}.paint(painter, QRectF(0, 0, 20, 16));
    }
    EXPECT_EQ(qRed(out.pixel(3, 3)), 245);
    EXPECT_EQ(qRed(out.pixel(11, 3)), 214);
    EXPECT_EQ(qRed(out.pixel(3, 11)), 214);
    EXPECT_EQ(qRed(out.pixel(11, 11)), 245);
    EXPECT_EQ(qRed(out.pixel(19, 3)), 245); // the third column, cut by the area's edge
    EXPECT_EQ(qAlpha(out.pixel(21, 3)), 0);
    EXPECT_EQ(Checkerboard{8}.countCovering(20), 3);
}

TEST(FrameCompositionLayers, WatermarkWithoutFrameAddsNoBackground)
{
    FrameComposition c = composition(std::nullopt, false);
    c.layout.canvasSize = QSizeF(200, 100);
    c.layout.imageRect = QRectF(0, 0, 200, 100);
    Watermark mark;
    mark.text = QStringLiteral("   \n");
    c.watermark = mark;
    EXPECT_FALSE(c.hasWatermark()); // blank text: no layer
    const QImage blank = render(c);
    mark.text = QStringLiteral("Snapkin");
    mark.opacity = 1;
    c.watermark = mark;
    const QImage marked = render(c);
    EXPECT_EQ(blank.pixel(100, 50), qRgb(0, 0, 255));
    int changed = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            changed += blank.pixel(x, y) != marked.pixel(x, y);
    EXPECT_GT(changed, 0);
    EXPECT_EQ(marked.pixel(5, 5), qRgb(0, 0, 255)); // nothing painted in the top-left corner
}
