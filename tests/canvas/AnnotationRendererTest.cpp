#include "canvas/AnnotationRenderer.h"
#include "canvas/ImageEffects.h"
#include "support/AnnotatedImage.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontDatabase>

#include <cmath>

using namespace snapkin;
using platform::BaseImage;

namespace {

// A 200 × 200 point base image, one pixel per point, in a flat colour.
BaseImage flatImage(QRgb colour = qRgb(255, 255, 255), QSize size = {200, 200})
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return BaseImage(image);
}

QImage render(const QList<Annotation>& list, const BaseImage& image = flatImage(), double scale = 1)
{
    return renderAnnotated(image, list, scale);
}

Annotation make(AnnotationKind kind, QPointF p1, QPointF p2)
{
    return Annotation{.kind = kind, .p1 = p1, .p2 = p2, .colorHex = "#0000FF"};
}

bool near(QRgb a, QRgb b, int tolerance = 3)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance &&
           std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

::testing::AssertionResult pixelIs(const QImage& image, QPoint p, QRgb expected, int tolerance = 3)
{
    const QRgb actual = image.pixel(p);
    if (near(actual, expected, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << p.x() << "," << p.y() << ") is "
           << QColor(actual).name(QColor::HexArgb).toStdString() << ", expected "
           << QColor(expected).name(QColor::HexArgb).toStdString();
}

int countPixels(const QImage& image, QRect area, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

const QRgb white = qRgb(255, 255, 255);
const QRgb blue = qRgb(0, 0, 255);
const QRgb black = qRgb(0, 0, 0);

QByteArray pngOf(QRgb colour)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

TEST(AnnotationRendererLayering, EmptyListLeavesTheCanvasTransparent)
{
    QImage canvas(50, 50, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    AnnotationRenderer({}, std::nullopt, {50, 50}, flatImage()).paint(painter);
    painter.end();
    EXPECT_EQ(countPixels(canvas, canvas.rect(), [](QRgb p) { return p != 0; }), 0);
}

TEST(AnnotationRendererKinds, ShapesDrawWhereTheirGeometrySays)
{
    Annotation rect = make(AnnotationKind::rectangle, {120, 20}, {20, 60}); // corners in any order
    rect.lineWidth = 4;
    Annotation ellipse = make(AnnotationKind::ellipse, {20, 100}, {80, 160});
    ellipse.filled = true;
    Annotation line = make(AnnotationKind::line, {100, 100}, {190, 100});
    line.curved = true; // never consulted: a line is straight
    Annotation pen = make(AnnotationKind::pen, {0, 0}, {0, 0});
    pen.points = {{100, 180}, {150, 180}, {150, 195}};
    const QImage out = render({rect, ellipse, line, pen});
    EXPECT_TRUE(pixelIs(out, {70, 20}, blue));   // top edge of the rectangle
    EXPECT_TRUE(pixelIs(out, {120, 40}, blue));  // right edge
    EXPECT_TRUE(pixelIs(out, {70, 40}, white));  // outlined: the inside is clear
    EXPECT_TRUE(pixelIs(out, {50, 130}, blue));  // filled ellipse centre
    EXPECT_TRUE(pixelIs(out, {22, 102}, white)); // outside the ellipse, inside its box
    EXPECT_TRUE(pixelIs(out, {145, 100}, blue));
    EXPECT_TRUE(pixelIs(out, {145, 90}, white)); // no bend
    EXPECT_TRUE(pixelIs(out, {125, 180}, blue));
    EXPECT_TRUE(pixelIs(out, {150, 190}, blue));
}

TEST(AnnotationRendererKinds, ArrowsAndStampsDraw)
{
    Annotation arrow = make(AnnotationKind::arrow, {10, 30}, {180, 30});
    arrow.arrowHead = ArrowHeadStyle::filled;
    arrow.lineWidth = 6;
    Annotation stamp = make(AnnotationKind::stamp, {40, 100}, {100, 160});
    stamp.stamp = StampKind::number;
    stamp.text = "3";
    const QImage out = render({arrow, stamp});
    EXPECT_TRUE(pixelIs(out, {20, 30}, blue));   // shaft
    EXPECT_TRUE(pixelIs(out, {165, 35}, blue));  // head wider than the shaft
    EXPECT_TRUE(pixelIs(out, {45, 105}, white)); // outside the disc, in its box
    EXPECT_TRUE(pixelIs(out, {50, 130}, blue));  // disc
    // The number is white on the disc.
    EXPECT_GT(
        countPixels(out, {60, 115, 20, 30}, [](QRgb p) { return qRed(p) > 200 && qBlue(p) > 200; }),
        20);
}

TEST(AnnotationRendererKinds, TextDrawsFromItsTopLeftCornerAndEmptyTextDrawsNothing)
{
    Annotation text = make(AnnotationKind::text, {30, 40}, {0, 0});
    text.text = "HHHH\nHHHH";
    text.fontSize = 30;
    text.colorHex = "#000000";
    const QImage out = render({text});
    auto dark = [](QRgb p) { return qRed(p) < 100; };
    EXPECT_EQ(countPixels(out, {0, 0, 200, 38}, dark), 0);
    EXPECT_EQ(countPixels(out, {0, 0, 28, 200}, dark), 0);
    EXPECT_GT(countPixels(out, {30, 40, 100, 30}, dark), 100);
    EXPECT_GT(countPixels(out, {30, 75, 100, 30}, dark), 100); // the second line, below
    text.text.clear();
    EXPECT_EQ(countPixels(render({text}), {0, 0, 200, 200}, dark), 0);
}

TEST(AnnotationRendererKinds, StickersAreColourEmojiSizedByTheirBox)
{
    ASSERT_TRUE(QFontDatabase::families().contains("Noto Color Emoji"));
    Annotation small = make(AnnotationKind::sticker, {0, 0}, {3, 40});
    EXPECT_EQ(AnnotationRenderer::stickerFontSize(small), 8);
    EXPECT_EQ(AnnotationRenderer::stickerFontSize(make(AnnotationKind::sticker, {0, 0}, {60, 200})),
              60);
    EXPECT_EQ(AnnotationRenderer::stickerText(small), QString::fromUcs4(U"\U0001F642"));

    // The smiling face is yellow: strongly coloured pixels around the box's centre.
    Annotation sticker = make(AnnotationKind::sticker, {50, 50}, {150, 150});
    const QImage out = render({sticker});
    auto yellow = [](QRgb p) { return qRed(p) > 180 && qGreen(p) > 120 && qBlue(p) < 100; };
    EXPECT_GT(countPixels(out, {70, 70, 60, 60}, yellow), 500);
    EXPECT_EQ(countPixels(out, {0, 0, 200, 30}, yellow), 0);
    // A large sticker, drawn at a capped size and scaled, still fills its box.
    const QImage big =
        render({make(AnnotationKind::sticker, {0, 0}, {600, 600})}, flatImage(white, {600, 600}));
    EXPECT_GT(countPixels(big, {200, 200, 200, 200}, yellow), 10000);
}

TEST(AnnotationRendererKinds, HighlightMultipliesWithTheImage)
{
    Annotation highlight = make(AnnotationKind::highlight, {10, 10}, {100, 100});
    highlight.colorHex = "#FFFF00";
    highlight.highlightOpacity = 1;
    const QImage out = render({highlight}, flatImage(qRgb(200, 100, 50)));
    EXPECT_TRUE(pixelIs(out, {50, 50}, qRgb(200, 100, 0)));
    EXPECT_TRUE(pixelIs(out, {150, 150}, qRgb(200, 100, 50)));
    highlight.highlightOpacity = 0.5;
    EXPECT_TRUE(
        pixelIs(render({highlight}, flatImage(qRgb(200, 100, 50))), {50, 50}, qRgb(200, 100, 25)));
}

TEST(AnnotationRendererKinds, PlacedImagesDecodeOncePerIdOrShowAGreyBox)
{
    Annotation a = make(AnnotationKind::imageOverlay, {10, 10}, {60, 60});
    a.imageData = pngOf(qRgb(0, 200, 0));
    Annotation b = a;
    b.id = QUuid::createUuid();
    b.p1 = {100, 10};
    b.p2 = {150, 60};
    Annotation broken = make(AnnotationKind::imageOverlay, {10, 100}, {60, 150});
    broken.imageData = QByteArray("not an image");
    const QImage out = render({a, b, broken}, flatImage(black));
    EXPECT_TRUE(pixelIs(out, {35, 35}, qRgb(0, 200, 0))); // stretched over its box
    EXPECT_TRUE(pixelIs(out, {125, 35}, qRgb(0, 200, 0)));
    EXPECT_TRUE(pixelIs(out, {35, 125}, qRgb(38, 38, 38), 4)); // grey at 0.3 over black
    RenderCaches caches;
    for (const Annotation& each : {a, b, broken, a})
        AnnotationRenderer::overlayImage(each, &caches);
    EXPECT_EQ(caches.overlays().count(), 2); // the broken one is not kept
    EXPECT_FALSE(
        AnnotationRenderer::overlayImage(make(AnnotationKind::imageOverlay, {}, {}), &caches));
}

TEST(AnnotationRendererObscure, SolidAndStripesIgnoreTheColourAndMissingSourceIsBlack)
{
    Annotation solid = make(AnnotationKind::pixelate, {10, 10}, {60, 60});
    solid.obscure = ObscureStyle::solid;
    Annotation stripes = make(AnnotationKind::pixelate, {100, 10}, {190, 100});
    stripes.obscure = ObscureStyle::stripes;
    Annotation pixelate = make(AnnotationKind::pixelate, {10, 120}, {60, 170});
    QImage canvas(200, 200, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    AnnotationRenderer({solid, stripes, pixelate}, std::nullopt, {200, 200}, BaseImage())
        .paint(painter);
    painter.end();
    EXPECT_TRUE(pixelIs(canvas, {30, 30}, black));
    EXPECT_TRUE(pixelIs(canvas, {30, 150}, black));
    int dark = 0, light = 0;
    for (int x = 101; x < 189; ++x) {
        const int v = qRed(canvas.pixel(x, 50));
        EXPECT_EQ(qRed(canvas.pixel(x, 50)), qBlue(canvas.pixel(x, 50))); // grey
        if (std::abs(v - 46) <= 3) ++dark;
        if (std::abs(v - 87) <= 3) ++light;
    }
    EXPECT_GT(dark, 20);
    EXPECT_GT(light, 20);
    EXPECT_TRUE(pixelIs(canvas, {195, 50}, white));
}

TEST(AnnotationRendererObscure, BlurChangesItsRegionOnly)
{
    QImage stripes(200, 200, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            stripes.setPixel(x, y, (x / 3) % 2 ? white : black);
    const BaseImage image(stripes);
    Annotation blur = make(AnnotationKind::pixelate, {50, 50}, {150, 150});
    blur.obscure = ObscureStyle::blur;
    const QImage out = render({blur}, image);
    // Edges are extended into the blur, so the rim leans towards its own stripe's colour.
    for (int x = 50; x < 150; ++x)
        EXPECT_NEAR(qRed(out.pixel(x, 100)), 128, 50) << x;
    for (int x = 80; x < 120; ++x)
        EXPECT_NEAR(qRed(out.pixel(x, 100)), 128, 12) << x;
    EXPECT_EQ(out.pixel(40, 100), stripes.pixel(40, 100));
    EXPECT_EQ(out.pixel(100, 45), stripes.pixel(100, 45));
    EXPECT_EQ(out.pixel(160, 100), stripes.pixel(160, 100));
}

TEST(AnnotationRendererObscure, BoxPastTheImageEdgeIsObscuredAllOver)
{
    // A red image, 100 points wide, drawn on a wider white canvas; the box reaches 40 points
    // past its right edge, as an editor or a framed export draws it over the padding.
    const BaseImage image = flatImage(qRgb(255, 0, 0), {100, 100});
    for (ObscureStyle style : {ObscureStyle::pixelate, ObscureStyle::blur}) {
        Annotation box = make(AnnotationKind::pixelate, {60, 20}, {140, 80});
        box.obscure = style;
        QImage canvas(200, 100, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        AnnotationRenderer({box}, std::nullopt, {100, 100}, image).paint(painter);
        painter.end();
        for (QPoint p : {QPoint(70, 50), QPoint(110, 30), QPoint(138, 78)})
            EXPECT_GT(qRed(canvas.pixel(p)), 150 + 3 * qGreen(canvas.pixel(p)) / 4)
                << int(style) << " at " << p.x() << "," << p.y();
        EXPECT_TRUE(pixelIs(canvas, {150, 50}, white)); // past the box
    }
}

TEST(AnnotationRendererLayering, EditedAnnotationIsLeftOut)
{
    Annotation a = make(AnnotationKind::rectangle, {10, 10}, {50, 50});
    a.filled = true;
    QImage canvas(100, 100, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    AnnotationRenderer({a}, a.id, {100, 100}, flatImage()).paint(painter);
    painter.end();
    EXPECT_TRUE(pixelIs(canvas, {30, 30}, white));
    EXPECT_TRUE(pixelIs(render({a}), {30, 30}, blue));
}

TEST(AnnotationRendererSpotlight, AllSpotlightsDimOnceAtTheHighestDimBeneathEverything)
{
    Annotation s1 = make(AnnotationKind::spotlight, {10, 10}, {60, 60});
    s1.spotDim = 0.5;
    s1.spotEllipse = false;
    Annotation s2 = make(AnnotationKind::spotlight, {100, 10}, {150, 60});
    s2.spotDim = 0.8;
    Annotation box = make(AnnotationKind::rectangle, {150, 150}, {190, 190});
    box.filled = true;
    const QImage out = render({box, s1, s2}); // spotlights last still lie beneath
    EXPECT_TRUE(pixelIs(out, {100, 150}, qRgb(51, 51, 51)));
    EXPECT_TRUE(pixelIs(out, {35, 35}, white));
    EXPECT_TRUE(pixelIs(out, {125, 35}, white));
    EXPECT_TRUE(pixelIs(out, {170, 170}, blue));
}

TEST(AnnotationRendererSpotlight, OverlapsDimAgainAndHolesPastTheEdgeAreDimmedOutside)
{
    Annotation s1 = make(AnnotationKind::spotlight, {10, 10}, {110, 110});
    s1.spotEllipse = false;
    Annotation s2 = make(AnnotationKind::spotlight, {60, 10}, {160, 110});
    s2.spotEllipse = false;
    const QImage out = render({s1, s2});
    EXPECT_TRUE(pixelIs(out, {30, 60}, white));
    EXPECT_TRUE(pixelIs(out, {140, 60}, white));
    EXPECT_TRUE(pixelIs(out, {85, 60}, qRgb(128, 128, 128), 2)); // inside both holes
    EXPECT_TRUE(pixelIs(out, {85, 150}, qRgb(128, 128, 128), 2));

    // The canvas extends past the image: the part of a hole outside the image is dimmed.
    QImage canvas(300, 300, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    Annotation edge = make(AnnotationKind::spotlight, {150, 50}, {250, 150});
    edge.spotEllipse = false;
    AnnotationRenderer({edge}, std::nullopt, {200, 200}, flatImage()).paint(painter);
    painter.end();
    EXPECT_TRUE(pixelIs(canvas, {175, 100}, white));
    EXPECT_TRUE(pixelIs(canvas, {225, 100}, qRgb(128, 128, 128), 2));
    EXPECT_TRUE(pixelIs(canvas, {225, 250}, white)); // outside the image and every hole
    // No dimming for a zero image size.
    EXPECT_TRUE(
        AnnotationRenderer({edge}, std::nullopt, {0, 0}, flatImage()).spotlightPath().isEmpty());
}

TEST(AnnotationRendererMagnifier, LensGeometry)
{
    Annotation m = make(AnnotationKind::magnifier, {0, 0}, {10, 10});
    EXPECT_EQ(AnnotationRenderer::magnifierBorderWidth(m), 2);
    m.p2 = {100, 300};
    EXPECT_DOUBLE_EQ(AnnotationRenderer::magnifierBorderWidth(m), 3);
    m.p2 = {400, 400};
    EXPECT_EQ(AnnotationRenderer::magnifierBorderWidth(m), 6);
    m.magnification = 0.5;
    EXPECT_EQ(AnnotationRenderer::magnifierZoom(m), 1);
    m.magnification = 20;
    EXPECT_EQ(AnnotationRenderer::magnifierZoom(m), 8);
    m.magnifierRound = false;
    m.p2 = {100, 200};
    // A rounded rectangle of radius 18: its corner point is outside, a point 18 in is inside.
    const QPainterPath path = AnnotationRenderer::magnifierPath(m);
    EXPECT_FALSE(path.contains(QPointF(1, 1)));
    EXPECT_TRUE(path.contains(QPointF(18, 1.5)));
    EXPECT_TRUE(path.contains(QPointF(1.5, 18)));
}

TEST(AnnotationRendererMagnifier, ShowsEnlargedContentUndimmedAndObscuresAbove)
{
    // A red square of 10 points at the centre of a round lens of 100 points, zoom 3.
    QImage base(200, 200, QImage::Format_ARGB32_Premultiplied);
    base.fill(Qt::white);
    QPainter p(&base);
    p.fillRect(QRect(95, 95, 10, 10), Qt::red);
    p.end();
    Annotation spot = make(AnnotationKind::spotlight, {0, 0}, {10, 10});
    spot.spotDim = 0.9;
    Annotation under = make(AnnotationKind::line, {50, 110}, {150, 110}); // 10 below the centre
    Annotation lens = make(AnnotationKind::magnifier, {50, 50}, {150, 150});
    lens.magnification = 3;
    Annotation above = make(AnnotationKind::arrow, {60, 70}, {140, 70});
    const QImage out = render({spot, under, lens, above}, BaseImage(base));
    EXPECT_TRUE(pixelIs(out, {112, 100}, qRgb(255, 0, 0)));     // 7 from the centre: 15 enlarged
    EXPECT_TRUE(pixelIs(out, {100, 80}, white));                // lens backing, undimmed
    EXPECT_TRUE(pixelIs(out, {75, 130}, blue));                 // the line, 30 below
    EXPECT_TRUE(pixelIs(out, {75, 110}, white));                // ...and not at 10 below
    EXPECT_TRUE(pixelIs(out, {100, 70}, blue));                 // the arrow above, not magnified
    EXPECT_TRUE(pixelIs(out, {180, 180}, qRgb(25, 25, 25), 3)); // dimmed outside
    EXPECT_TRUE(pixelIs(out, {50, 100}, blue));                 // border in the lens colour

    // An obscure region placed after the lens is applied inside it.
    Annotation solid = make(AnnotationKind::pixelate, {90, 90}, {110, 110});
    solid.obscure = ObscureStyle::solid;
    const AnnotationRenderer canvas({under, lens, above, solid}, std::nullopt, {200, 200},
                                    BaseImage(base));
    const QList<Annotation> contents = canvas.magnifierContents(1);
    ASSERT_EQ(contents.size(), 2);
    EXPECT_EQ(contents[0].id, under.id);
    EXPECT_EQ(contents[1].id, solid.id);
    EXPECT_TRUE(pixelIs(render({under, lens, above, solid}, BaseImage(base)), {125, 100}, black));
    // The annotation being edited is missing from the lens too.
    EXPECT_EQ(AnnotationRenderer({under, lens}, under.id, {200, 200}, BaseImage(base))
                  .magnifierContents(1)
                  .size(),
              0);
}

TEST(AnnotationRendererMagnifier, ManyLensesShareABoundedRedrawTopmostFirst)
{
    // A thousand lenses over 60,000 marks that all lie under them: each redraws its share of
    // the budget, the marks nearest beneath it, not all 60,000 a thousand times.
    QList<Annotation> list;
    for (int i = 0; i < 60'000; ++i)
        list.append(make(AnnotationKind::rectangle, {90, 90}, {110, 110}));
    for (int i = 0; i < 1000; ++i)
        list.append(make(AnnotationKind::magnifier, {50, 50}, {150, 150}));
    const AnnotationRenderer renderer(list, std::nullopt, {200, 200}, flatImage());
    const QList<qsizetype> last = renderer.magnifierContentIndices(list.size() - 1);
    const qsizetype share = AnnotationRenderer::lensDrawBudget / 1000;
    ASSERT_EQ(last.size(), share);
    for (qsizetype k = 0; k < share; ++k)
        EXPECT_EQ(last[k], 60'000 - share + k);
}

TEST(AnnotationRendererMagnifier, ALensWithMoreObscureRegionsThanItsShareShowsNothing)
{
    // Past its share a lens cannot tell which obscure regions reach it: it shows neither the
    // image (a red square under its centre) nor marks, only its white backing.
    QImage base(200, 200, QImage::Format_ARGB32_Premultiplied);
    base.fill(Qt::white);
    QPainter p(&base);
    p.fillRect(QRect(90, 90, 20, 20), Qt::red);
    p.end();
    const qsizetype lenses = 1000;
    const qsizetype regions = AnnotationRenderer::lensLookBudget / lenses + 1;
    QList<Annotation> list;
    for (qsizetype i = 0; i < regions; ++i) {
        Annotation solid = make(AnnotationKind::pixelate, {0, 0}, {5, 5});
        solid.obscure = ObscureStyle::solid;
        list.append(solid);
    }
    for (qsizetype i = 0; i < lenses; ++i)
        list.append(make(AnnotationKind::magnifier, {50, 50}, {150, 150}));
    const AnnotationRenderer renderer(list, std::nullopt, {200, 200}, BaseImage(base));
    EXPECT_TRUE(renderer.magnifierContentIndices(list.size() - 1).isEmpty());
    const QImage out = render(list, BaseImage(base));
    EXPECT_TRUE(pixelIs(out, {100, 100}, white));
    EXPECT_TRUE(pixelIs(out, {2, 2}, black));

    // One lens fewer than that, with regions to spare, shows the square enlarged.
    list.remove(regions, 1);
    list.removeFirst();
    EXPECT_TRUE(pixelIs(render(list, BaseImage(base)), {100, 100}, qRgb(255, 0, 0)));
}

TEST(AnnotationRendererRender, ExportScalesEverythingByThePixelScale)
{
    Annotation a = make(AnnotationKind::rectangle, {20, 20}, {60, 60});
    a.filled = true;
    const QImage out = render({a}, flatImage(white, {100, 50}), 2);
    ASSERT_EQ(out.size(), QSize(200, 100));
    EXPECT_TRUE(pixelIs(out, {50, 50}, blue));
    EXPECT_TRUE(pixelIs(out, {41, 41}, white)); // the rounded corner, 12 pixels at this scale
    EXPECT_TRUE(pixelIs(out, {118, 99}, blue));
    EXPECT_TRUE(pixelIs(out, {125, 50}, white));
    EXPECT_TRUE(renderAnnotated(BaseImage(), {a}, 1).isNull());
    EXPECT_TRUE(renderAnnotated(flatImage(), {a}, 1e9).isNull());
}

TEST(AnnotationRendererHostile, AbsurdNumbersDrawInBoundedTime)
{
    Annotation text = make(AnnotationKind::text, {10, 10}, {0, 0});
    text.text = "X";
    text.fontSize = 1e12;
    Annotation line = make(AnnotationKind::line, {0, 0}, {100, 100});
    line.lineWidth = 1e300;
    Annotation stripes = make(AnnotationKind::pixelate, {-1e8, -1e8}, {1e8, 1e8});
    stripes.obscure = ObscureStyle::stripes;
    Annotation blur = make(AnnotationKind::pixelate, {0, 0}, {200, 200});
    blur.obscure = ObscureStyle::blur;
    blur.obscureStrength = 1e300;
    Annotation sticker = make(AnnotationKind::sticker, {0, 0}, {1e7, 1e7});
    Annotation lens = make(AnnotationKind::magnifier, {-1e7, -1e7}, {1e7, 1e7});
    lens.magnification = std::nan("");
    Annotation stamp = make(AnnotationKind::stamp, {0, 0}, {1e6, 1e6});
    stamp.stamp = StampKind::number;
    stamp.text = "123";
    stamp.stampLabel = "label";
    stamp.tailAngle = 1.0;
    const QImage out = render({text, line, stripes, blur, sticker, lens, stamp});
    EXPECT_FALSE(out.isNull());
}

namespace {

QImage paintOnce(RenderCaches& caches, const QList<Annotation>& list, bool cached,
                 QTransform transform = {})
{
    QImage canvas(300, 300, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setTransform(transform);
    AnnotationRenderer c(list, std::nullopt, {200, 200}, flatImage(), &caches);
    c.setRasterCacheEnabled(cached);
    c.paint(painter);
    return canvas;
}

int maxDifference(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

} // namespace

TEST(AnnotationRendererRasterCache, CachedPicturesMatchDirectDrawingAndFollowChanges)
{
    RenderCaches caches;
    const auto paintOnce = [&](const QList<Annotation>& list, bool cached, QTransform t = {}) {
        return ::paintOnce(caches, list, cached, t);
    };
    Annotation pen = make(AnnotationKind::pen, {0, 0}, {0, 0});
    pen.points = {{10, 10}, {60, 80}, {120, 20}, {150, 90}};
    pen.lineWidth = 5;
    Annotation arrow = make(AnnotationKind::arrow, {20, 150}, {180, 120});
    arrow.curved = true;
    arrow.doubleHeaded = true;
    Annotation stamp = make(AnnotationKind::stamp, {100, 100}, {140, 140});
    stamp.stamp = StampKind::number;
    stamp.text = "12";
    stamp.stampLabel = "Label";
    stamp.tailAngle = 2.0;
    Annotation ellipse = make(AnnotationKind::ellipse, {30, 30}, {90, 60});
    const QList<Annotation> list{pen, arrow, stamp, ellipse};

    const QTransform scaled = QTransform::fromTranslate(3.25, 7.5).scale(1.37, 1.37);
    for (const QTransform& t : {QTransform(), scaled}) {
        const QImage direct = paintOnce(list, false, t);
        paintOnce(list, true, t);                       // noted
        const QImage first = paintOnce(list, true, t);  // unchanged: pictures made
        const QImage second = paintOnce(list, true, t); // drawn from them
        EXPECT_LE(maxDifference(direct, first), 2);
        EXPECT_EQ(first, second);
    }
    EXPECT_GE(caches.rasters().count(), 8);

    // A scroll by whole pixels reuses the pictures; the drawing moves with it.
    const qsizetype before = caches.rasters().count();
    const QImage shifted = paintOnce(list, true, QTransform::fromTranslate(20, 10));
    EXPECT_EQ(caches.rasters().count(), before);
    EXPECT_LE(maxDifference(shifted, paintOnce(list, false, QTransform::fromTranslate(20, 10))), 2);

    // A changed annotation with the same id is drawn as it is now, not as it was.
    Annotation moved = ellipse;
    moved.filled = true;
    moved.p1 += QPointF(100, 0);
    moved.p2 += QPointF(100, 0);
    for (int i = 0; i < 3; ++i) {
        const QImage after = paintOnce({pen, arrow, stamp, moved}, true);
        EXPECT_TRUE(pixelIs(after, {160, 45}, blue)) << i;
        EXPECT_TRUE(pixelIs(after, {30, 45}, white)) << i; // the old outline's left edge is gone
    }
}

TEST(AnnotationRendererRasterCache, LensPictureFollowsWhatItShows)
{
    RenderCaches caches;
    Annotation lens = make(AnnotationKind::magnifier, {50, 50}, {150, 150});
    lens.magnification = 2;
    Annotation dot = make(AnnotationKind::rectangle, {96, 96}, {104, 104});
    dot.filled = true;
    auto draw = [&](const QList<Annotation>& list, const BaseImage& image) {
        QImage canvas(200, 200, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        AnnotationRenderer(list, std::nullopt, {200, 200}, image, &caches).paint(painter);
        return canvas;
    };
    const BaseImage plain = flatImage();
    for (int i = 0; i < 3; ++i) // directly, into the cache, from it
        EXPECT_TRUE(pixelIs(draw({dot, lens}, plain), {106, 100}, blue)) << i; // enlarged to ±8
    Annotation recoloured = dot;
    recoloured.colorHex = "#00FF00";
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(pixelIs(draw({recoloured, lens}, plain), {106, 100}, qRgb(0, 255, 0))) << i;
    // A new image under the lens is shown, not the old picture.
    const QImage grey = draw({lens}, flatImage(qRgb(90, 90, 90)));
    EXPECT_TRUE(pixelIs(grey, {80, 100}, qRgb(90, 90, 90)));
    // Annotations far from what the lens shows do not invalidate it, and are drawn normally.
    Annotation far = make(AnnotationKind::rectangle, {0, 170}, {30, 195});
    far.filled = true;
    const QImage withFar = draw({far, lens}, plain);
    EXPECT_TRUE(pixelIs(withFar, {15, 180}, blue));
    EXPECT_TRUE(pixelIs(withFar, {100, 100}, white));
}

TEST(AnnotationRendererRasterCache, HighDensityDevicesGetPicturesAtTheirOwnResolution)
{
    RenderCaches caches;
    Annotation pen = make(AnnotationKind::pen, {0, 0}, {0, 0});
    pen.points = {{10, 10}, {60, 80}, {120, 20}};
    Annotation ellipse = make(AnnotationKind::ellipse, {100, 100}, {180, 150});
    ellipse.filled = true;
    auto draw = [&](bool cached) {
        QImage canvas(400, 400, QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(2);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        AnnotationRenderer c({pen, ellipse}, std::nullopt, {200, 200}, flatImage(), &caches);
        c.setRasterCacheEnabled(cached);
        c.paint(painter);
        return canvas;
    };
    const QImage direct = draw(false);
    draw(true);
    draw(true);
    const QImage cached = draw(true);
    EXPECT_TRUE(pixelIs(cached, {280, 250}, blue)); // device pixels: twice the points
    EXPECT_LE(maxDifference(direct, cached), 2);
}
