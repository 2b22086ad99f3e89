#pragma once

#include <QPainterPath>
#include <QRectF>

namespace snapkin {

// The four corner slivers that lie inside a rectangle but outside its rounded outline: the
// rectangle followed by the rounded rectangle, filled with the even-odd rule (with the
// non-zero rule it would be the whole rectangle, so the path carries the even-odd rule).
struct FrameCornerMask {
    QRectF rect;
    double radius = 0;

    QPainterPath path() const;
};

// The rounded outline of `rect`, with continuous corners (platform::ContinuousCorners): the
// image's corners in a frame, its shadow and the editor's corner cover all use it, so they
// agree. The radius is limited so the corners fit the rectangle; a radius that is not positive
// and finite gives the plain rectangle.
QPainterPath roundedOutline(const QRectF& rect, double radius);

} // namespace snapkin
