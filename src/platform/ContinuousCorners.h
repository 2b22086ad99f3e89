#pragma once

#include <QPainterPath>
#include <QRectF>

namespace snapkin::platform {

// Rounded rectangles with continuous corners. A circular arc meets the straight edge with a
// sudden jump in curvature, which shows as a faint kink on large radii; here each corner leaves
// the edge with no curvature at all and bends gradually, tightest on the diagonal. A corner of
// radius r starts `cornerExtentFactor` × r from the corner along each edge and passes through
// the same point on the diagonal as a circular arc of radius r, so it looks as deep.
//
// Each half corner is one cubic Bézier from the edge to the diagonal whose first three control
// points lie on the edge (zero curvature where it leaves it); the two halves are mirror images,
// so tangent and curvature agree where they meet.
class ContinuousCorners {
public:
    ContinuousCorners() = delete;

    static constexpr double cornerExtentFactor = 1.528;

    // The radius actually used in `rect`: not negative, and small enough that the curves of
    // two neighbouring corners meet at most in the middle of the side. 0 for a radius that is
    // not finite.
    static double fittedRadius(const QRectF& rect, double radius);
    // How far from each corner, along both edges, the outline leaves the straight edge.
    static double extent(const QRectF& rect, double radius);

    // The closed outline of `rect` with continuous corners of `radius`; the plain rectangle
    // when the fitted radius is 0.
    static QPainterPath roundedRect(const QRectF& rect, double radius);
};

} // namespace snapkin::platform
