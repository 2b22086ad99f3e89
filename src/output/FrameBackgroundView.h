#pragma once

#include "model/FrameStyle.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

#include <vector>

namespace snapkin {

// The background of a frame over a canvas: a linear gradient from the top-left to the
// bottom-right corner, a solid colour, or transparency (shown as a checkerboard when asked).
struct FrameBackgroundView {
    FrameStyle style;
    // Paint a checkerboard where the background is transparent.
    bool checkerboard = false;

    // The brushes that paint the background, in order, for a canvas of `canvasSize` whose
    // origin is the painter's origin. None when nothing is painted (a transparent background
    // without checkerboard, an empty gradient, an empty canvas).
    std::vector<QBrush> brushes(QSizeF canvasSize, double deviceScale) const;

    // Gradient colours past this many are not drawn.
    static constexpr qsizetype maxGradientStops = 256;

    // Paints the whole canvas.
    void paint(QPainter& painter, QSizeF canvasSize) const;
    // Paints the part of the canvas inside `shape` (antialiased, with the shape's fill rule).
    void paint(QPainter& painter, QSizeF canvasSize, const QPainterPath& shape) const;
};

} // namespace snapkin
