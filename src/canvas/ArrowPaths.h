#pragma once

#include "canvas/MarkPath.h"
#include "model/Annotation.h"

#include <QList>
#include <QPointF>

#include <vector>

namespace snapkin {

// Geometry of arrows: straight arrows with their four head styles, arrows along a polyline
// (curved arrows and straight tapered double-headed ones) and the tapered body that narrows to
// a sharp tail. Sizes follow the line width with minimums for thin lines; nothing depends on
// zoom, so the screen and an export draw the same shapes.
struct ArrowPaths {
    // Head sizes for a line width w.
    struct Head {
        double length = 0;        // tip to base
        double width = 0;         // across the base
        double bodyHalfWidth = 0; // tapered: the body's half-width where it meets the head
        double shaftInset = 0;    // other heads: how far the shaft stops short of the tip
        double notch = 0;         // concave: the notch's distance from the tip
    };
    static Head head(ArrowHeadStyle style, double width);

    // The whole arrow as the renderer draws it: a path arrow when curved, or when tapered and
    // double-headed; a straight arrow otherwise.
    static std::vector<MarkPath> arrow(const Annotation& annotation);

    // A straight arrow from `from` to its tip `to`. A tapered arrow ignores `doubleHeaded`.
    static std::vector<MarkPath> straightArrow(QPointF from, QPointF to, double width,
                                               ArrowHeadStyle style, bool doubleHeaded);

    // An arrow along its curve (curved) or its chord; the heads follow the curve's tangents.
    static std::vector<MarkPath> pathArrow(const Annotation& annotation);

    // The tapered body from the first point (tail) to the last (tip), with its head, and a head
    // at the start too when double-headed, as one filled outline. `endDirection` is the
    // direction at the tip; `startDirection` points outwards at the start. Empty for no points.
    static QPainterPath taperedPath(const QList<QPointF>& points, QPointF endDirection,
                                    QPointF startDirection, bool doubleHeaded, double width);
};

} // namespace snapkin
