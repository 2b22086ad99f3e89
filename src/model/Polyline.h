#pragma once

#include <QList>
#include <QPointF>

namespace snapkin {

// Arc-length functions used to draw curved arrows and tapered strokes.
namespace Polyline {

// [0, L1, L2, …], Li the length from the first point to point i; [0] for fewer than 2 points.
QList<double> cumulativeLengths(const QList<QPointF>& points);

// The part of the polyline from arc length `start` to `end` before its end: the point at
// `start`, every vertex strictly between, and the point at total − `end`. Empty when fewer
// than two points or when the cuts meet.
QList<QPointF> trimmed(const QList<QPointF>& points, double start, double end);

} // namespace Polyline
} // namespace snapkin
