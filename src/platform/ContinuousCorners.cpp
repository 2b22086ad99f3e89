#include "platform/ContinuousCorners.h"

#include <algorithm>
#include <cmath>

namespace snapkin::platform {

namespace {

// For a radius of 1: where the curve meets the diagonal (the circular arc's point there,
// 1 − 1/√2 from both edges), and the control point nearest the edge's straight part. With
// that control point the curvature grows steadily from 0 at the edge to about 1.34 / r on the
// diagonal, never falling on the way.
constexpr double kDiagonal = 0.29289321881345254;
constexpr double kOuterControl = 1.07;

} // namespace

double ContinuousCorners::fittedRadius(const QRectF& rect, double radius)
{
    if (!std::isfinite(radius) || radius <= 0) return 0;
    const double side = std::min(std::abs(rect.width()), std::abs(rect.height()));
    if (!std::isfinite(side)) return 0;
    return std::min(radius, side / 2 / cornerExtentFactor);
}

double ContinuousCorners::extent(const QRectF& rect, double radius)
{
    return fittedRadius(rect, radius) * cornerExtentFactor;
}

QPainterPath ContinuousCorners::roundedRect(const QRectF& rect, double radius)
{
    QPainterPath path;
    const QRectF r = rect.normalized();
    const double radiusUsed = fittedRadius(r, radius);
    if (radiusUsed <= 0) {
        path.addRect(r);
        return path;
    }
    const double e = cornerExtentFactor * radiusUsed; // where the curve leaves the edge
    const double p = kOuterControl * radiusUsed;      // first control point
    const double q = 2 * kDiagonal * radiusUsed;      // second control point
    const double d = kDiagonal * radiusUsed;          // the diagonal point
    const double x0 = r.left(), y0 = r.top(), x1 = r.right(), y1 = r.bottom();

    // Clockwise on screen (y down), starting on the top edge.
    path.moveTo(x0 + e, y0);
    path.lineTo(x1 - e, y0);
    path.cubicTo(x1 - p, y0, x1 - q, y0, x1 - d, y0 + d);
    path.cubicTo(x1, y0 + q, x1, y0 + p, x1, y0 + e);
    path.lineTo(x1, y1 - e);
    path.cubicTo(x1, y1 - p, x1, y1 - q, x1 - d, y1 - d);
    path.cubicTo(x1 - q, y1, x1 - p, y1, x1 - e, y1);
    path.lineTo(x0 + e, y1);
    path.cubicTo(x0 + p, y1, x0 + q, y1, x0 + d, y1 - d);
    path.cubicTo(x0, y1 - q, x0, y1 - p, x0, y1 - e);
    path.lineTo(x0, y0 + e);
    path.cubicTo(x0, y0 + p, x0, y0 + q, x0 + d, y0 + d);
    path.cubicTo(x0 + q, y0, x0 + p, y0, x0 + e, y0);
    path.closeSubpath();
    return path;
}

} // namespace snapkin::platform
