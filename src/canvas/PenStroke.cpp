#include "canvas/PenStroke.h"

#include "canvas/RenderCaches.h"
#include "canvas/StrokeRaster.h"
#include "model/Annotation.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <optional>

namespace snapkin {

namespace {

// Strokes of fewer points are drawn as one path, as they always were: nothing to gain.
constexpr qsizetype kLongStroke = 2 * PenStroke::pointsPerPiece;

// A stroke's bounds keep its points within this many points of the origin: no picture reaches
// that far, and a box with an edge at 1e20 would lose its other edge to rounding (a QRectF
// keeps its width, and 1e20 + 180 is 1e20).
constexpr double kFar = 1 << 30;

bool isFinite(QPointF p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The points that are numbers and finite, as the painter too leaves the others out of a path;
// `points` itself, shared rather than copied, when all are.
QList<QPointF> finitePoints(const QList<QPointF>& points)
{
    if (std::all_of(points.cbegin(), points.cend(), isFinite)) return points;
    QList<QPointF> kept;
    kept.reserve(points.size());
    std::copy_if(points.cbegin(), points.cend(), std::back_inserter(kept), isFinite);
    return kept;
}

// The painter's scale: device pixels a unit covers along its longer axis.
double deviceScale(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    return std::max(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22()));
}

// What of a line `width` points wide a painter stroking it can show: its paintable area, grown
// by half the width and two device pixels of antialiasing. Empty when unknown.
QRectF strokeArea(const QPainter& painter, double width)
{
    const QRectF area = PenStroke::paintable(painter);
    if (area.isEmpty()) return {};
    const double scale = deviceScale(painter);
    const double slack = width / 2 + (std::isfinite(scale) && scale > 0 ? 2 / scale : 2);
    return area.adjusted(-slack, -slack, slack, slack);
}

// The line through `points` (finite) as a path of the runs of it within `area`: a segment that
// leaves the area is cut where it crosses its edge, a cut being the segment's own line however
// far away its ends lie, where the painter, given such ends, may draw nothing or draw them
// wrong. With round caps and joins the runs cover within `area` exactly what the whole line
// does (a cap at a cut lies within the cut segment's own band). The runs are one path, so a
// translucent stroke is still blended once.
QPainterPath pathWithin(const QList<QPointF>& points, const QRectF& area)
{
    QPainterPath path;
    if (points.size() == 1) {
        if (area.contains(points.first())) {
            path.moveTo(points.first());
            path.lineTo(points.first());
        }
        return path;
    }
    bool open = false; // the current run ends at the last point, uncut
    for (qsizetype i = 1; i < points.size(); ++i) {
        QPointF a = points[i - 1], b = points[i];
        if (!StrokeRaster::clip(a, b, area)) {
            open = false;
            continue;
        }
        if (!open || a != points[i - 1]) path.moveTo(a);
        path.lineTo(b);
        open = b == points[i];
    }
    return path;
}

// Strokes `path` (a polyline of `bounds`) with `pen`, cut to `area` first unless it lies within.
void strokeWithin(QPainter& painter, const QPainterPath& path, const QRectF& bounds,
                  const QRectF& area, const QPen& pen)
{
    // (QRectF::contains() holds no rectangle of no width or height, a level line's.)
    if (area.isEmpty() || (bounds.left() >= area.left() && bounds.right() <= area.right() &&
                           bounds.top() >= area.top() && bounds.bottom() <= area.bottom())) {
        painter.strokePath(path, pen);
        return;
    }
    QList<QPointF> points;
    points.reserve(path.elementCount());
    for (int i = 0; i < path.elementCount(); ++i)
        points.append(path.elementAt(i));
    painter.strokePath(pathWithin(points, area), pen);
}

// The simplification tolerance for a painter, in points: its scale is rounded up to a power
// of two, so that a few zoom steps share one set of pieces and the tolerance never exceeds its
// bound in device pixels.
double toleranceFor(double scale, int* bucket)
{
    if (!std::isfinite(scale) || scale <= 0) {
        *bucket = 100;
        return 0;
    }
    const int exponent = std::clamp(int(std::ceil(std::log2(scale))), -30, 30);
    *bucket = exponent;
    return PenStroke::toleranceDevicePixels / std::ldexp(1.0, exponent);
}

double toleranceFor(const QPainter& painter, int* bucket)
{
    return toleranceFor(deviceScale(painter), bucket);
}

// Marks in `keep` (`count` entries) the points of a run to keep at `tolerance`.
void simplify(const QPointF* points, qsizetype count, double tolerance, std::vector<char>& keep)
{
    // Douglas and Peucker's line simplification: a run between two kept points keeps its
    // farthest point while that lies more than `tolerance` from the line between them. Runs are
    // at most a window long, which bounds the worst case (a spiral) to window² a window.
    keep[0] = 1;
    keep[size_t(count - 1)] = 1;
    if (!(tolerance > 0)) {
        std::fill(keep.begin(), keep.end(), 1);
        return;
    }
    const double limit = tolerance * tolerance;
    std::vector<std::pair<qsizetype, qsizetype>> runs{{0, count - 1}};
    while (!runs.empty()) {
        const auto [a, b] = runs.back();
        runs.pop_back();
        if (b - a < 2) continue;
        const QPointF A = points[a];
        const QPointF d = points[b] - A;
        const double length2 = d.x() * d.x() + d.y() * d.y();
        double farthest = -1;
        qsizetype at = -1;
        for (qsizetype i = a + 1; i < b; ++i) {
            const QPointF v = points[i] - A;
            const double along = length2 > 0 ? (v.x() * d.x() + v.y() * d.y()) / length2 : 0;
            double distance2;
            if (along <= 0) {
                distance2 = v.x() * v.x() + v.y() * v.y();
            } else if (along >= 1) {
                const QPointF w = points[i] - points[b];
                distance2 = w.x() * w.x() + w.y() * w.y();
            } else {
                const double cross = v.x() * d.y() - v.y() * d.x();
                distance2 = cross * cross / length2;
            }
            // Figures of points far apart can overflow (infinity over infinity): such a point
            // is kept, as one far off.
            if (std::isnan(distance2)) distance2 = std::numeric_limits<double>::infinity();
            if (distance2 > farthest) {
                farthest = distance2;
                at = i;
            }
        }
        if (farthest > limit) {
            keep[size_t(at)] = 1;
            runs.emplace_back(a, at);
            runs.emplace_back(at, b);
        }
    }
}

// How many device pixels a painter unit covers, when the painter draws into pixels through a
// transform that keeps circles round (a scale, a turn, a mirror, a move); none otherwise.
std::optional<double> roundScale(const QPainter& painter)
{
    if (!painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster)
        return std::nullopt;
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxShear || !t.isInvertible()) return std::nullopt;
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    const double skew = t.m11() * t.m21() + t.m12() * t.m22();
    if (!std::isfinite(sx) || !(sx > 0) || std::abs(sx - sy) > 1e-9 * sx ||
        std::abs(skew) > 1e-9 * sx * sx)
        return std::nullopt;
    return sx;
}

// Draws `image` pixel for pixel onto the device, its top-left corner on device pixel `at`.
void drawDevicePixels(QPainter& painter, QImage image, QPoint at)
{
    // The world transform is undone; what stays is the device's own (its pixel ratio and, for a
    // child widget painted into its window, the widget's offset), so the device position is
    // mapped back through it.
    const double ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QTransform deviceOnly = painter.worldTransform().inverted() * painter.deviceTransform();
    painter.save();
    painter.setWorldTransform(QTransform());
    image.setDevicePixelRatio(ratio);
    painter.drawImage(deviceOnly.inverted().map(QPointF(at)), image);
    painter.restore();
}

// The scale drawCovered() draws at when it can draw a line `width` points wide on `painter`.
std::optional<double> coveredScale(const QPainter& painter, double width)
{
    // A line a device pixel wide or thinner is left to the painter's own line drawing, which
    // costs no more than its length and has a look of its own (opacity for thinness).
    const std::optional<double> scale = roundScale(painter);
    if (!scale || !(width * *scale > 1)) return std::nullopt;
    return scale;
}

// Rows of device pixels covered at a time: what one band's coverage holds.
constexpr int kBandRows = 256;
// An area wider or taller than this is left to the painter (no device is this large).
constexpr int kMaxSide = 1 << 16;

} // namespace

bool PenStroke::drawCovered(QPainter& painter, const Pieces& pieces, const QPen& pen,
                            const std::atomic<bool>* cancelled)
{
    const std::optional<double> scale = coveredScale(painter, pen.widthF());
    if (!scale) return false;
    const QTransform t = painter.deviceTransform();
    const double radius = pen.widthF() * *scale / 2;
    // How far from its points, in points, a piece may change a pixel: the radius and the half
    // pixel of antialiasing beyond it, and a pixel more.
    const double reach = (radius + 1.5) / *scale;

    QRectF bounds;
    for (const Piece& piece : pieces.pieces)
        bounds |= piece.bounds.adjusted(-reach, -reach, reach, reach);
    const QRectF area = paintable(painter);
    if (!area.isEmpty()) bounds &= area;
    if (bounds.isEmpty()) return true;
    const QRectF device = t.mapRect(bounds);
    if (!(device.width() < kMaxSide && device.height() < kMaxSide)) return false;
    const QRect pixels = device.toAlignedRect();

    const QColor color = pen.color();
    StrokeRaster raster(QRect(), radius);
    for (int top = pixels.top(); top <= pixels.bottom(); top += kBandRows) {
        const QRect band(pixels.left(), top, pixels.width(),
                         std::min(kBandRows, pixels.bottom() - top + 1));
        const QRectF bandPoints = t.inverted().mapRect(QRectF(band));
        // Segments are cut to the band, grown by the reach, before they are mapped to the
        // device: mapped first, an end at 1e20 would lose the painter's offset to rounding.
        const QRectF cutTo = bandPoints.adjusted(-reach, -reach, reach, reach);
        raster.reset(band);
        for (const Piece& piece : pieces.pieces) {
            if (!bandPoints.intersects(piece.bounds.adjusted(-reach, -reach, reach, reach)))
                continue;
            if (cancelled && cancelled->load(std::memory_order_relaxed)) return true;
            const QPainterPath& path = piece.path;
            // A segment of no length draws nothing, as when stroked as a path.
            QPointF from = path.elementAt(0);
            for (int i = 1; i < path.elementCount(); ++i) {
                const QPointF to = path.elementAt(i);
                QPointF a = from, b = to;
                if (to != from && StrokeRaster::clip(a, b, cutTo))
                    raster.addSegment(t.map(a), t.map(b));
                from = to;
            }
        }
        // Drawn a run of touched tiles at a time, so a thin stroke across a wide band blends
        // only about as many pixels as it covers.
        for (int ty = 0; ty < raster.tilesDown(); ++ty) {
            for (int tx = 0; tx < raster.tilesAcross();) {
                if (!raster.tileTouched(tx, ty)) {
                    ++tx;
                    continue;
                }
                int end = tx;
                while (end < raster.tilesAcross() && raster.tileTouched(end, ty))
                    ++end;
                const QRect run =
                    QRect(band.left() + tx * StrokeRaster::tileSize,
                          band.top() + ty * StrokeRaster::tileSize,
                          (end - tx) * StrokeRaster::tileSize, StrokeRaster::tileSize) &
                    band;
                drawDevicePixels(painter, raster.picture(color, run), run.topLeft());
                tx = end;
            }
        }
    }
    return true;
}

QRectF PenStroke::bounds(const QList<QPointF>& points)
{
    double left = kFar, top = kFar, right = -kFar, bottom = -kFar;
    bool any = false;
    for (const QPointF& p : points) {
        if (!isFinite(p)) continue;
        any = true;
        const double x = std::clamp(p.x(), -kFar, kFar), y = std::clamp(p.y(), -kFar, kFar);
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    if (!any) return {};
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

QRectF PenStroke::paintable(const QPainter& painter)
{
    if (painter.hasClipping()) return painter.clipBoundingRect();
    const QPaintDevice* device = painter.device();
    bool invertible = false;
    const QTransform inverse = painter.transform().inverted(&invertible);
    if (!device || !invertible) return {};
    return inverse.mapRect(QRectF(0, 0, device->width(), device->height()));
}

qsizetype PenStroke::Pieces::bytes() const
{
    qsizetype total = sizeof(Pieces) + qsizetype(starts.size() * sizeof(qsizetype));
    // A path element is two doubles and a type; a piece's own data on top.
    for (const Piece& piece : pieces)
        total += sizeof(Piece) + piece.path.elementCount() * 24;
    return total;
}

std::shared_ptr<const PenStroke::Pieces> PenStroke::build(const QList<QPointF>& source,
                                                          double tolerance, const Pieces* reuse,
                                                          const std::atomic<bool>* cancelled)
{
    auto made = std::make_shared<Pieces>();
    made->source = source;
    made->tolerance = tolerance;
    const QList<QPointF> points = finitePoints(source);
    const qsizetype n = points.size();
    if (n == 0) return made;

    // The pieces of an earlier build stay when the points only grew, but for those of its last
    // window, which may have ended where the stroke then ended. (Its windows count the finite
    // points, so a stroke with others is built whole.)
    qsizetype from = 0;
    if (reuse && points.size() == source.size() && reuse->tolerance == tolerance &&
        !reuse->starts.empty() && reuse->source.size() <= n &&
        std::equal(reuse->source.cbegin(), reuse->source.cend(), points.cbegin())) {
        from = reuse->starts.back();
        const auto kept =
            std::find(reuse->starts.begin(), reuse->starts.end(), from) - reuse->starts.begin();
        made->pieces.assign(reuse->pieces.begin(), reuse->pieces.begin() + kept);
        made->starts.assign(reuse->starts.begin(), reuse->starts.begin() + kept);
    }

    std::vector<char> keep;
    QPolygonF piece;
    piece.reserve(pointsPerPiece + 1);
    for (qsizetype start = from; start < n; start += pointsPerWindow) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) break;
        const qsizetype end = std::min(n - 1, start + pointsPerWindow); // shared with the next
        const qsizetype count = end - start + 1;
        keep.assign(size_t(count), 0);
        simplify(points.constData() + start, count, tolerance, keep);
        piece.clear();
        for (qsizetype i = 0; i < count; ++i) {
            if (!keep[size_t(i)]) continue;
            piece.append(points[start + i]);
            if (piece.size() > pointsPerPiece || i + 1 == count) {
                // A lone point (a stroke of one point, or of points all in one place) is a dot.
                if (piece.size() == 1) piece.append(piece.constFirst());
                QPainterPath path;
                path.addPolygon(piece);
                made->pieces.push_back(Piece{std::move(path), bounds(piece)});
                made->starts.push_back(start);
                // The next piece starts where this one ended, so the two share a disc.
                const QPointF last = piece.constLast();
                piece.clear();
                piece.append(last);
            }
        }
        if (end == n - 1) break;
    }
    return made;
}

std::shared_ptr<const PenStroke::Pieces>
PenStroke::buildForScale(const QList<QPointF>& points, double scale,
                         const std::atomic<bool>* cancelled)
{
    int bucket = 0;
    return build(points, toleranceFor(scale, &bucket), nullptr, cancelled);
}

QPen PenStroke::pen(const QColor& color, double width)
{
    QPen pen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setMiterLimit(10);
    return pen;
}

void PenStroke::drawPieces(QPainter& painter, const Pieces& pieces, const QPen& pen,
                           const std::atomic<bool>* cancelled)
{
    if (drawCovered(painter, pieces, pen, cancelled)) return;
    const QRectF visible = paintable(painter);
    const QRectF area = strokeArea(painter, pen.widthF());
    const double reach = pen.widthF() / 2 + 1;
    for (const Piece& piece : pieces.pieces) {
        if (!visible.isEmpty() &&
            !visible.intersects(piece.bounds.adjusted(-reach, -reach, reach, reach)))
            continue;
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return;
        strokeWithin(painter, piece.path, piece.bounds, area, pen);
    }
}

void PenStroke::draw(QPainter& painter, const Annotation& a, const QColor& color, double width,
                     RenderCaches* caches, const std::atomic<bool>* cancelled)
{
    if (a.points.isEmpty()) return;
    const QPen pen = PenStroke::pen(color, width);
    // Stroked by the painter, pieces blend where they overlap, so a colour or painter that is not
    // opaque draws the stroke as one path, as does a short stroke.
    if (!coveredScale(painter, width) &&
        (a.points.size() < kLongStroke || color.alpha() != 255 || painter.opacity() != 1.0)) {
        const QList<QPointF> points = finitePoints(a.points);
        if (points.isEmpty()) return;
        QPainterPath path;
        path.addPolygon(QPolygonF(points));
        strokeWithin(painter, path, bounds(points), strokeArea(painter, width), pen);
        return;
    }

    int bucket = 0;
    const double tolerance = toleranceFor(painter, &bucket);
    std::shared_ptr<const Pieces> pieces;
    if (caches) {
        auto& cache = caches->strokes();
        const RenderCaches::StrokeKey key{a.id, bucket};
        const auto* entry = cache.object(key);
        // A very long stroke comes from a picture made off this thread, unless the view drew
        // it itself at this scale before: a stroke being drawn grows a little every frame,
        // only its end is rebuilt, and a picture would trail behind it.
        const bool drawnHere =
            entry && (*entry)->source.size() <= a.points.size() &&
            std::equal((*entry)->source.cbegin(), (*entry)->source.cend(), a.points.cbegin());
        if (!drawnHere && a.points.size() >= StrokePictures::minPoints &&
            caches->strokePictures().draw(painter, a, color, width))
            return;
        if (entry && (*entry)->source == a.points) {
            pieces = *entry;
        } else {
            pieces = build(a.points, tolerance, entry ? entry->get() : nullptr);
            const qsizetype kilobytes = std::max<qsizetype>(1, pieces->bytes() / 1024);
            cache.insert(key, new std::shared_ptr<const Pieces>(pieces), kilobytes);
        }
    } else {
        pieces = build(a.points, tolerance, nullptr, cancelled);
    }

    drawPieces(painter, *pieces, pen, cancelled);
}

} // namespace snapkin
