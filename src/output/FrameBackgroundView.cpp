#include "output/FrameBackgroundView.h"

#include "model/Color.h"
#include "output/Checkerboard.h"

#include <QLinearGradient>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace snapkin {

std::vector<QBrush> FrameBackgroundView::brushes(QSizeF canvasSize, double deviceScale) const
{
    const double w = canvasSize.width();
    const double h = canvasSize.height();
    if (!(std::isfinite(w) && std::isfinite(h) && w > 0 && h > 0)) return {};
    switch (style.background) {
    case FrameBackgroundKind::gradient: {
        // A document may list any number of colours; beyond a few hundred stops no one can
        // tell them apart, while each one costs work on every repaint.
        const qsizetype n = std::min<qsizetype>(style.gradientColors.size(), maxGradientStops);
        if (n == 0) return {};
        // Laid out in the unit square and stretched onto the canvas, so the colour bands run
        // parallel to the other diagonal whatever the canvas's shape.
        QLinearGradient gradient(0, 0, 1, 1);
        for (qsizetype i = 0; i < n; ++i) {
            const double at = n == 1 ? 0.0 : static_cast<double>(i) / static_cast<double>(n - 1);
            gradient.setColorAt(at, Color::fromHex(style.gradientColors[i]));
        }
        QBrush brush(gradient);
        brush.setTransform(QTransform::fromScale(w, h));
        return {brush};
    }
    case FrameBackgroundKind::solid:
        return {QBrush(Color::fromHex(style.solidHex))};
    case FrameBackgroundKind::transparent:
        if (!checkerboard) return {};
        return {Checkerboard{8}.brush(deviceScale)};
    }
    return {};
}

void FrameBackgroundView::paint(QPainter& painter, QSizeF canvasSize) const
{
    const QRectF area(QPointF(0, 0), canvasSize);
    for (const QBrush& brush : brushes(canvasSize, deviceScaleOf(painter)))
        painter.fillRect(area, brush);
}

void FrameBackgroundView::paint(QPainter& painter, QSizeF canvasSize,
                                const QPainterPath& shape) const
{
    const auto fills = brushes(canvasSize, deviceScaleOf(painter));
    if (fills.empty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    for (const QBrush& brush : fills)
        painter.fillPath(shape, brush);
    painter.restore();
}

} // namespace snapkin
