#pragma once

#include "canvas/handlers/CanvasState.h"
#include "model/Annotation.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <optional>
#include <utility>

namespace snapkin {

// Where the handles of a selected annotation sit, which one lies under the pointer, and how
// dragging one reshapes the annotation. Pure functions of annotations, in image points.
struct SelectionHandles {
    using Handle = std::pair<HandleID, QPointF>;

    // A handle is hit within this distance of its centre.
    static constexpr double hitRadius = 9;

    // The rectangle the selection outline, the box handles and the accessibility frame follow.
    // A pen stroke is bounded by the points it passes through: its anchors stay where the
    // stroke began, so their box would shrink the outline to a dot at the start.
    static QRectF selectionBounds(const Annotation& annotation);

    // The handles of `annotation` in hit-test order (earlier ones win where they overlap).
    static QList<Handle> handlePoints(const Annotation& annotation);
    // nw, n, ne, e, se, s, sw, w of `r`.
    static QList<Handle> boxHandles(const QRectF& r);
    // The first handle within hitRadius of `point`, if any.
    static std::optional<HandleID> handleHit(QPointF point, const Annotation& annotation);

    // Writes into `annotation` the shape `origin` takes when `handle` is dragged by (dx, dy).
    // Everything is computed from `origin`, so calls during one drag do not accumulate.
    static void applyResize(Annotation& annotation, const Annotation& origin, HandleID handle,
                            double dx, double dy);

    // A stamp's tail tip, or where a tail would start for a stamp that has none.
    static QPointF tailHandlePoint(const Annotation& stamp);
    // The point the curve of a curved arrow passes through at its middle.
    static QPointF curveHandlePoint(const Annotation& arrow);
};

} // namespace snapkin
