#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QRectF>

#include <atomic>
#include <memory>
#include <vector>

class QPainter;

namespace snapkin {

class RenderCaches;
struct Annotation;

// How a freehand stroke is drawn, at any length and however often it crosses itself.
//
// Stroked as one path, a long stroke makes one outline of millions of edges, whose filling
// costs far more than its length (seconds for 100,000 points, minutes for a million); cut into
// short pieces, each piece that crosses itself still costs the painter far more than its length
// (minutes for a million points thrown back and forth across a small picture). So a line wider
// than a device pixel, on a painter that paints pixels through a scale (with any move, turn or
// mirror), is drawn through StrokeRaster: every segment's round-capped band is laid into one
// coverage, band by band of the device's rows, at a cost that grows with the pixels each
// segment newly reaches, not with the crossings; the coverage is then blended in the stroke's
// colour, once, so a translucent stroke does not darken where it overlaps itself. A thinner
// line, or another painter (a PDF), is stroked by the painter: short or translucent strokes as
// one path, long ones in pieces of a few dozen points that meet at a shared point.
//
// First the points are simplified to the device's scale: a point that lies within a fifth of a
// device pixel of the line through its neighbours kept is left out, which moves no edge visibly
// and thins a dense stroke, the more so zoomed out. Pieces outside the painter's clip are
// skipped, so a repaint of a small area costs only the pieces there. A view keeps the pieces of
// each stroke per scale in its RenderCaches, so a repaint never builds them again; a stroke that
// grew (one being drawn) rebuilds only its last window.
class PenStroke {
public:
    PenStroke() = delete;

    static constexpr int pointsPerPiece = 64;
    // Simplified in windows of this many points, each on its own.
    static constexpr int pointsPerWindow = 1024;
    // A point left out lies within this many device pixels of the line that stands for it.
    static constexpr double toleranceDevicePixels = 0.2;

    struct Piece {
        QPainterPath path;
        QRectF bounds; // of the points (PenStroke::bounds), without the pen's width
    };
    struct Pieces {
        QList<QPointF> source; // the points the pieces were built from
        double tolerance = 0;
        std::vector<Piece> pieces;
        // Index into `source` of the window each piece belongs to.
        std::vector<qsizetype> starts;
        qsizetype bytes() const;
    };

    // The pieces of `points` simplified to `tolerance` (in points; 0 keeps every point; the
    // first and last always stay), leaving out points that are not finite numbers, as a path
    // does. `reuse`, when built from a prefix of `points` at the same tolerance, gives its
    // finished pieces. Stops early, with the pieces so far, once `cancelled`.
    static std::shared_ptr<const Pieces> build(const QList<QPointF>& points, double tolerance,
                                               const Pieces* reuse = nullptr,
                                               const std::atomic<bool>* cancelled = nullptr);

    // The pieces of `points` simplified for drawing at `scale` device pixels per point.
    // Stops early, with the pieces so far, once `cancelled`.
    static std::shared_ptr<const Pieces>
    buildForScale(const QList<QPointF>& points, double scale,
                  const std::atomic<bool>* cancelled = nullptr);
    // The pen a stroke is drawn with.
    static QPen pen(const QColor& color, double width);
    // Draws the pieces that reach what the painter can change, through drawCovered() where it
    // can; stops early once `cancelled`.
    static void drawPieces(QPainter& painter, const Pieces& pieces, const QPen& pen,
                           const std::atomic<bool>* cancelled = nullptr);

    // Draws the pieces as one line through StrokeRaster: false, drawing nothing, when the line
    // is a device pixel wide or thinner or the painter does not paint pixels through a transform
    // that keeps circles round. Stops early once `cancelled`.
    static bool drawCovered(QPainter& painter, const Pieces& pieces, const QPen& pen,
                            const std::atomic<bool>* cancelled = nullptr);

    // The bounds of the finite points, each coordinate held within ±2³⁰ (farther than any
    // picture reaches) so that every edge stays exact; a null rectangle when there are none.
    static QRectF bounds(const QList<QPointF>& points);

    // The area the painter can change, in its own coordinates; empty when unknown.
    static QRectF paintable(const QPainter& painter);

    // Draws the pen annotation `a` in `color` with a line of `width` points. `caches` (a view's)
    // keeps the pieces between paints, and pictures of very long strokes (StrokePictures);
    // without, the pieces are built for this paint only. Stops early, the stroke unfinished,
    // once `cancelled`.
    static void draw(QPainter& painter, const Annotation& a, const QColor& color, double width,
                     RenderCaches* caches, const std::atomic<bool>* cancelled = nullptr);
};

} // namespace snapkin
