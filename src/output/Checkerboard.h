#pragma once

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QRectF>

namespace snapkin {

// The pattern that stands for transparency: light grey squares (white level 0.96) alternating
// with darker ones (0.84), the top-left square light.
struct Checkerboard {
    // The side of one square in points; frame backgrounds use 8.
    double cell = 8;

    // A brush that paints the pattern anchored at the origin of the painter's coordinates,
    // drawn sharp at `deviceScale` device pixels per point. One fill paints any area.
    // A cell that is not positive and finite falls back to 8.
    QBrush brush(double deviceScale) const;

    // Fills `area` with the pattern anchored at the area's top-left corner.
    void paint(QPainter& painter, const QRectF& area) const;

    // The number of columns (or rows) that cover `length`: the last one may reach past it.
    int countCovering(double length) const;
};

// Device pixels per unit of the painter's current coordinates (the larger axis scale).
double deviceScaleOf(const QPainter& painter);

} // namespace snapkin
