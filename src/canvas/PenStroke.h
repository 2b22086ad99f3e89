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

// How a freehand stroke is drawn, at any length.
//
// Stroked as one path, a long stroke makes one outline of millions of edges, whose filling
// costs far more than its length (seconds for 100,000 points, minutes for a million). Here the
// points are cut into short pieces, each stroked on its own with round caps and joins: pieces
// meet at a shared point, where both draw the same disc in the same opaque colour, so no seam
// shows. A piece outside the painter's clip is skipped, so a repaint of a small area costs only
// the pieces there. First the points are simplified to the device's scale: a point that lies
// within a quarter of a device pixel of the line through its neighbours kept is left out, which
// moves no edge visibly and thins a dense stroke, the more so zoomed out. A view keeps the
// pieces of each stroke per scale in its RenderCaches, so a repaint never builds them again; a
// stroke that grew (one being drawn) rebuilds only its last window.
class PenStroke {
public:
    PenStroke() = delete;

    static constexpr int pointsPerPiece = 64;
    // Simplified in windows of this many points, each on its own.
    static constexpr int pointsPerWindow = 1024;
    // A point left out lies within this many device pixels of the line that stands for it.
    static constexpr double toleranceDevicePixels = 0.25;

    struct Piece {
        QPainterPath path;
        QRectF bounds; // of the points, without the pen's width
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
    // first and last always stay). `reuse`, when built from a prefix of `points` at the same
    // tolerance, gives its finished pieces. Stops early, with the pieces so far, once
    // `cancelled`.
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
    // Strokes the pieces that reach what the painter can change; stops early once `cancelled`.
    static void drawPieces(QPainter& painter, const Pieces& pieces, const QPen& pen,
                           const std::atomic<bool>* cancelled = nullptr);

    // The area the painter can change, in its own coordinates; empty when unknown.
    static QRectF paintable(const QPainter& painter);

    // Draws the pen annotation `a` in `color` with a line of `width` points. `caches` (a view's)
    // keeps the pieces between paints, and pictures of very long strokes (StrokePictures);
    // without, the pieces are built for this paint only.
    static void draw(QPainter& painter, const Annotation& a, const QColor& color, double width,
                     RenderCaches* caches);
};

} // namespace snapkin
