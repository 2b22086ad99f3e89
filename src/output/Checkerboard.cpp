#include "output/Checkerboard.h"

#include <QImage>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

double validCell(double cell)
{
    return std::isfinite(cell) && cell > 0 ? cell : 8.0;
}

} // namespace

QBrush Checkerboard::brush(double deviceScale) const
{
    const double c = validCell(cell);
    const double scale = std::isfinite(deviceScale) && deviceScale > 0 ? deviceScale : 1.0;
    // One texture of 2 × 2 squares at device resolution; capped so that a huge zoom cannot
    // ask for a huge texture (a square is then drawn magnified, still sharp-edged enough).
    const int px = std::clamp(static_cast<int>(std::lround(c * scale)), 1, 256);
    QImage tile(2 * px, 2 * px, QImage::Format_RGB32);
    tile.fill(QColor::fromRgbF(0.96f, 0.96f, 0.96f));
    const QRgb dark = QColor::fromRgbF(0.84f, 0.84f, 0.84f).rgb();
    for (int y = 0; y < 2 * px; ++y) {
        auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
        const int from = y < px ? px : 0;
        std::fill(line + from, line + from + px, dark);
    }
    QBrush brush(tile);
    brush.setTransform(QTransform::fromScale(c / px, c / px));
    return brush;
}

void Checkerboard::paint(QPainter& painter, const QRectF& area) const
{
    if (!(area.width() > 0 && area.height() > 0)) return;
    QBrush pattern = brush(deviceScaleOf(painter));
    pattern.setTransform(pattern.transform() * QTransform::fromTranslate(area.left(), area.top()));
    painter.fillRect(area, pattern);
}

int Checkerboard::countCovering(double length) const
{
    if (!(std::isfinite(length) && length > 0)) return 0;
    return static_cast<int>(std::ceil(length / validCell(cell)));
}

double deviceScaleOf(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    const double s = std::max(sx, sy);
    return std::isfinite(s) && s > 0 ? s : 1.0;
}

} // namespace snapkin
