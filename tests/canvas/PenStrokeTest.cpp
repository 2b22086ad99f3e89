// Long pen strokes are drawn in simplified pieces that a view keeps; they look as one path does.
#include "canvas/PenStroke.h"
#include "canvas/AnnotationRenderer.h"
#include "canvas/RenderCaches.h"
#include "canvas/StrokeRaster.h"
#include "platform/BaseImage.h"
#include "support/AnnotatedImage.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace snapkin;

namespace {

// A scribble at the pointer's rate: steps of 1.5 points, turning a little at each.
QList<QPointF> scribble(int count, QSizeF area)
{
    QRandomGenerator rng(7);
    QList<QPointF> points;
    double x = area.width() / 2, y = area.height() / 2, angle = 0;
    for (int i = 0; i < count; ++i) {
        angle += (rng.generateDouble() - 0.5) * 0.5;
        x = std::clamp(x + 1.5 * std::cos(angle), 10.0, area.width() - 10);
        y = std::clamp(y + 1.5 * std::sin(angle), 10.0, area.height() - 10);
        if (x <= 10 || x >= area.width() - 10) angle = M_PI - angle;
        if (y <= 10 || y >= area.height() - 10) angle = -angle;
        points.append(QPointF(x, y));
    }
    return points;
}

Annotation pen(const QList<QPointF>& points)
{
    Annotation a{.kind = AnnotationKind::pen, .p1 = points.first(), .p2 = points.last()};
    a.colorHex = "#FF3366";
    a.lineWidth = 12;
    a.points = points;
    return a;
}

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

// Points thrown back and forth across `area`: every segment crosses much of it.
QList<QPointF> thrown(int count, QSizeF area)
{
    QRandomGenerator rng(5);
    QList<QPointF> points;
    for (int i = 0; i < count; ++i)
        points.append(QPointF(rng.bounded(area.width()), rng.bounded(area.height())));
    return points;
}

int channelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

} // namespace

TEST(PenStroke, ALongStrokeLooksAsWhenStrokedAsOnePath)
{
    const QSize size(600, 400);
    const Annotation a = pen(scribble(20'000, QSizeF(size)));
    for (double scale : {1.0, 0.5}) {
        SCOPED_TRACE(scale);
        QImage pieces = blank(size);
        QImage whole = blank(size);
        {
            QPainter p(&pieces);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            PenStroke::draw(p, a, QColor("#FF3366"), a.lineWidth, nullptr);
        }
        {
            QPainter p(&whole);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            QPainterPath path;
            path.addPolygon(QPolygonF(a.points));
            p.strokePath(path, QPen(QColor("#FF3366"), a.lineWidth, Qt::SolidLine, Qt::RoundCap,
                                    Qt::RoundJoin));
        }
        // Edges move by at most a quarter of a pixel.
        int visible = 0;
        double total = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const int d = channelDifference(pieces.pixel(x, y), whole.pixel(x, y));
                total += d;
                if (d > 40) ++visible;
            }
        }
        // Antialiased edges that several pieces cover in part blend once for each, a little
        // more solid than one fill of them all; nothing else differs.
        const int pixels = size.width() * size.height();
        EXPECT_LT(visible, pixels / 200);
        EXPECT_LT(total / pixels, 1.0);
    }
}

TEST(PenStroke, PiecesAreSimplifiedToTheToleranceAndMeetEndToEnd)
{
    const QList<QPointF> points = scribble(5'000, QSizeF(800, 600));
    const auto all = PenStroke::build(points, 0);
    const auto simplified = PenStroke::build(points, 0.25);
    const auto count = [](const PenStroke::Pieces& pieces) {
        qsizetype n = 0;
        for (const auto& piece : pieces.pieces)
            n += piece.path.elementCount() - 1;
        return n + 1;
    };
    EXPECT_EQ(count(*all), points.size());
    EXPECT_LT(count(*simplified), points.size() * 6 / 10);
    for (const auto* pieces : {all.get(), simplified.get()}) {
        ASSERT_FALSE(pieces->pieces.empty());
        EXPECT_EQ(QPointF(pieces->pieces.front().path.elementAt(0)), points.first());
        const QPainterPath& last = pieces->pieces.back().path;
        EXPECT_EQ(QPointF(last.elementAt(last.elementCount() - 1)), points.last());
        for (size_t i = 0; i + 1 < pieces->pieces.size(); ++i) {
            const QPainterPath& a = pieces->pieces[i].path;
            EXPECT_LE(a.elementCount(), PenStroke::pointsPerPiece + 1);
            EXPECT_EQ(QPointF(a.elementAt(a.elementCount() - 1)),
                      QPointF(pieces->pieces[i + 1].path.elementAt(0)));
        }
    }
    // Every point left out lies within the tolerance of the simplified line.
    QPolygonF kept;
    for (const auto& piece : simplified->pieces)
        for (int i = kept.isEmpty() ? 0 : 1; i < piece.path.elementCount(); ++i)
            kept.append(piece.path.elementAt(i));
    qsizetype next = 0;
    for (const QPointF& p : points) {
        double nearest = 1e9;
        for (qsizetype k = std::max<qsizetype>(0, next - 1); k + 1 < kept.size() && k < next + 70;
             ++k) {
            const QPointF a = kept[k], d = kept[k + 1] - a;
            const double len2 = QPointF::dotProduct(d, d);
            const double t =
                len2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / len2, 0.0, 1.0) : 0.0;
            const QPointF q = a + t * d - p;
            if (std::hypot(q.x(), q.y()) < nearest) nearest = std::hypot(q.x(), q.y());
        }
        ASSERT_LE(nearest, 0.25 + 1e-9);
        // Kept points come in order: the search moves on past each.
        if (next < kept.size() && kept[next] == p) ++next;
    }
}

TEST(PenStroke, AViewKeepsThePiecesAndAGrowingStrokeGetsTheSameAsAFreshBuild)
{
    Annotation a = pen(scribble(3'000, QSizeF(800, 600)));
    RenderCaches caches;
    QImage target = blank({800, 600});
    QPainter p(&target);
    p.setRenderHint(QPainter::Antialiasing);
    PenStroke::draw(p, a, QColor("#FF3366"), a.lineWidth, &caches);
    ASSERT_EQ(caches.strokes().size(), 1);
    const auto first = *caches.strokes().object({a.id, 0});
    PenStroke::draw(p, a, QColor("#FF3366"), a.lineWidth, &caches);
    EXPECT_EQ(*caches.strokes().object({a.id, 0}), first); // not built again

    // A stroke being drawn grows by a point at a time.
    a.points.append(scribble(3'100, QSizeF(800, 600)).mid(3'000));
    const auto grown = PenStroke::build(a.points, first->tolerance, first.get());
    const auto fresh = PenStroke::build(a.points, first->tolerance);
    ASSERT_EQ(grown->pieces.size(), fresh->pieces.size());
    for (size_t i = 0; i < fresh->pieces.size(); ++i) {
        EXPECT_EQ(grown->pieces[i].path, fresh->pieces[i].path) << i;
        EXPECT_EQ(grown->starts[i], fresh->starts[i]) << i;
    }
}

TEST(PenStroke, APaintOfPartOfTheCanvasDrawsAllOfTheStrokeThere)
{
    // Pieces outside the painted area are skipped; none that reaches into it is.
    const QSize size(600, 400);
    const Annotation a = pen(scribble(8'000, QSizeF(size)));
    const platform::BaseImage image(blank(size));
    const QImage whole = renderAnnotated(image, {a}, 1.0);
    QImage part = blank(size);
    const QRect area(200, 150, 90, 60);
    {
        QPainter p(&part);
        p.setRenderHint(QPainter::Antialiasing);
        p.setClipRect(area);
        RenderCaches caches;
        AnnotationRenderer({a}, std::nullopt, QSizeF(size), image, &caches).paint(p);
    }
    int strokePixels = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ASSERT_LE(channelDifference(part.pixel(x, y), whole.pixel(x, y)), 2) << x << "," << y;
            if (qGreen(whole.pixel(x, y)) < 128) ++strokePixels;
        }
    }
    EXPECT_GT(strokePixels, 100);
}

TEST(PenStroke, AStrokeWiderThanAPixelIsItsCoverageLaidBandByBand)
{
    // Taller than a band of the device's rows, scaled and moved by parts of a pixel: every
    // pixel is the line's coverage over the whole picture, blended once, with no seam.
    const QSize size(300, 700);
    Annotation a = pen(thrown(400, QSizeF(size)));
    a.lineWidth = 6;
    for (const QTransform& t : {QTransform(), QTransform(0.75, 0, 0, 0.75, 13.3, 7.7),
                                QTransform(0.3, 0, 0, 0.3, 5.5, 9.25)}) {
        SCOPED_TRACE(t.m11());
        QImage drawn = blank(size);
        {
            QPainter p(&drawn);
            p.setRenderHint(QPainter::Antialiasing);
            p.setTransform(t);
            PenStroke::draw(p, a, QColor("#FF3366"), a.lineWidth, nullptr);
        }
        StrokeRaster whole(QRect(QPoint(0, 0), size), a.lineWidth * t.m11() / 2);
        const auto pieces = PenStroke::buildForScale(a.points, t.m11());
        for (const PenStroke::Piece& piece : pieces->pieces)
            for (int i = 1; i < piece.path.elementCount(); ++i)
                whole.addSegment(t.map(QPointF(piece.path.elementAt(i - 1))),
                                 t.map(QPointF(piece.path.elementAt(i))));
        QImage expected = blank(size);
        {
            QPainter p(&expected);
            p.drawImage(0, 0, whole.picture(QColor("#FF3366"), whole.area()));
        }
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                ASSERT_LE(channelDifference(drawn.pixel(x, y), expected.pixel(x, y)), 1)
                    << x << "," << y;
    }
}

TEST(PenStroke, ATranslucentStrokeIsBlendedOnceWhereItCrossesItself)
{
    // A long stroke drawn as an X, in a translucent colour or through a translucent painter:
    // where it crosses, it is as light as where it passes once.
    QList<QPointF> points;
    for (int i = 0; i <= 150; ++i)
        points.append(QPointF(20 + i * 200 / 150.0, 20 + i * 160 / 150.0));
    for (int i = 0; i <= 150; ++i)
        points.append(QPointF(220 - i * 200 / 150.0, 20 + i * 160 / 150.0));
    Annotation a = pen(points);
    a.lineWidth = 8;
    const platform::BaseImage image(blank({240, 200}));
    for (const bool translucentPainter : {false, true}) {
        SCOPED_TRACE(translucentPainter);
        QImage drawn = blank({240, 200});
        {
            QPainter p(&drawn);
            p.setRenderHint(QPainter::Antialiasing);
            if (translucentPainter) p.setOpacity(0.5);
            const QColor color = translucentPainter ? QColor("#FF3366") : QColor(255, 51, 102, 128);
            PenStroke::draw(p, a, color, a.lineWidth, nullptr);
        }
        const QRgb once = drawn.pixel(70, 60);
        const QRgb crossed = drawn.pixel(120, 100);
        EXPECT_LT(qGreen(once), 200); // drawn at all
        EXPECT_LE(channelDifference(once, crossed), 2);
    }
}

TEST(PenStroke, AHairlineIsDrawnByThePainterAsBefore)
{
    // One device pixel wide or less, a stroke is the painter's own line, pixel for pixel.
    const QSize size(200, 150);
    const Annotation a = pen(scribble(3'000, QSizeF(size)));
    for (const double width : {0.0, 0.6, 2.0}) {
        SCOPED_TRACE(width);
        const double scale = width == 2.0 ? 0.5 : 1.0;
        QImage drawn = blank(size);
        QImage painter = blank(size);
        for (QImage* target : {&drawn, &painter}) {
            QPainter p(target);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            if (target == &drawn) {
                PenStroke::draw(p, a, QColor("#FF3366"), width, nullptr);
            } else {
                const auto pieces = PenStroke::buildForScale(a.points, scale);
                for (const PenStroke::Piece& piece : pieces->pieces)
                    p.strokePath(piece.path, PenStroke::pen(QColor("#FF3366"), width));
            }
        }
        EXPECT_EQ(drawn, painter);
    }
}

// A long stroke told to stop draws no more of its pieces (a flatten that is given up).
TEST(PenStroke, AStoppedStrokeDrawsNoMorePieces)
{
    const QSize size(300, 200);
    const Annotation a = pen(scribble(5'000, QSizeF(size)));
    const std::atomic<bool> stop{true};
    QImage image = blank(size);
    {
        QPainter p(&image);
        PenStroke::draw(p, a, QColor("#FF3366"), a.lineWidth, nullptr, &stop);
    }
    EXPECT_EQ(image, blank(size));
}

namespace {

// The least green among the pixel and its neighbours: 255 where the picture is white there, less
// where the stroke (a light one, a line a pixel wide) passes.
int leastGreenAround(const QImage& image, int x, int y)
{
    int least = 255;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.valid(x + dx, y + dy))
                least = std::min(least, qGreen(image.pixel(x + dx, y + dy)));
    return least;
}
bool inked(const QImage& image, int x, int y)
{
    return leastGreenAround(image, x, y) < 200;
}
bool white(const QImage& image, int x, int y)
{
    return leastGreenAround(image, x, y) == 255;
}

// `points` drawn 6 points wide (through the coverage) and 1 point wide (by the painter), opaque
// and translucent, as a short stroke and as a long one (a run of points in a corner ahead of
// them); `check` looks at each picture.
template <typename Check>
void drawEveryWay(const QList<QPointF>& points, const QTransform& transform, Check check)
{
    QList<QPointF> corner;
    for (int i = 0; i < 2 * PenStroke::pointsPerPiece; ++i)
        corner.append(QPointF(2 + (i % 2), 2 + (i % 3)));
    for (const bool isLong : {false, true}) {
        for (const double width : {6.0, 1.0}) {
            for (const int alpha : {255, 160}) {
                SCOPED_TRACE(QStringLiteral("long %1, width %2, alpha %3")
                                 .arg(isLong)
                                 .arg(width)
                                 .arg(alpha)
                                 .toStdString());
                Annotation a = pen(isLong ? corner + points : points);
                a.lineWidth = width;
                QImage drawn = blank({200, 100});
                {
                    QPainter p(&drawn);
                    p.setRenderHint(QPainter::Antialiasing);
                    p.setTransform(transform);
                    PenStroke::draw(p, a, QColor(255, 51, 102, alpha), width, nullptr);
                }
                check(drawn);
            }
        }
    }
}

} // namespace

TEST(PenStrokeFarPoints, ALineBetweenFarPointsIsDrawnWhereItCrossesThePicture)
{
    // From −1e30 to 1e30, level and slanted, and through the middle of the picture.
    drawEveryWay({{-1e30, 50.25}, {1e30, 50.25}}, QTransform(), [](const QImage& drawn) {
        for (int x = 5; x < 200; x += 10)
            ASSERT_TRUE(inked(drawn, x, 50)) << x;
        EXPECT_TRUE(white(drawn, 100, 40));
    });
    drawEveryWay({{-1e30, -5e29}, {1e30, 5e29}}, QTransform::fromTranslate(100, 50),
                 [](const QImage& drawn) {
                     for (int x = -90; x <= 90; x += 10)
                         ASSERT_TRUE(inked(drawn, 100 + x, 50 + x / 2)) << x;
                     EXPECT_TRUE(white(drawn, 100, 60));
                 });
}

TEST(PenStrokeFarPoints, AFarVertexLeavesTheSegmentsOnThePictureDrawn)
{
    // The segments to and from a vertex at −1e20 run level across the picture, to its left edge.
    const QList<QPointF> points{{20, 20}, {100, 50}, {-1e20, 60}, {150, 80}, {180, 20}};
    drawEveryWay(points, QTransform(), [](const QImage& drawn) {
        EXPECT_TRUE(inked(drawn, 60, 35));  // on the picture throughout
        EXPECT_TRUE(inked(drawn, 165, 50)); // likewise
        EXPECT_TRUE(inked(drawn, 5, 50));   // towards the far vertex
        EXPECT_TRUE(inked(drawn, 100, 80)); // from it
        EXPECT_TRUE(white(drawn, 100, 65));
    });
}

TEST(PenStrokeFarPoints, PointsPastTheLargestFiguresOrNotNumbersDrawWhatTheFiniteOnesMake)
{
    // A segment towards 1e120 leaves at its slope; a point that is not a number is left out,
    // its neighbours joined, as the painter leaves such a point out of a path.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    drawEveryWay({{20, 20}, {1e120, 3e119}}, QTransform(), [](const QImage& drawn) {
        EXPECT_TRUE(inked(drawn, 120, 50));
        EXPECT_TRUE(inked(drawn, 190, 71));
        EXPECT_TRUE(white(drawn, 120, 65));
    });
    drawEveryWay({{20, 80}, {nan, nan}, {180, 80}, {180, nan}}, QTransform(),
                 [](const QImage& drawn) {
                     EXPECT_TRUE(inked(drawn, 100, 80));
                     EXPECT_TRUE(white(drawn, 100, 70));
                 });
}

TEST(PenStrokeFarPoints, APictureWhoseDeviceAreaStartsLeftOfTheOriginDrawsAsItsNeighbour)
{
    // Moved by −17 and scaled by 0.7 (as the still layer draws), the drawn area's left edge
    // rounds to −1 device pixel: the stroke looks as under a transform a hundredth of a point off.
    Annotation a = pen(thrown(300, QSizeF(300, 150)));
    a.lineWidth = 6;
    QImage pictures[2];
    for (int i = 0; i < 2; ++i) {
        pictures[i] = blank({200, 100});
        QPainter p(&pictures[i]);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-17 + i * 0.01, -17);
        p.scale(0.7, 0.7);
        PenStroke::draw(p, a, QColor("#FF3366"), a.lineWidth, nullptr);
    }
    int worst = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            worst = std::max(worst,
                             channelDifference(pictures[0].pixel(x, y), pictures[1].pixel(x, y)));
    EXPECT_LE(worst, 8);
}
