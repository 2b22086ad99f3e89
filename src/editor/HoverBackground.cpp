#include "editor/HoverBackground.h"

#include "model/Color.h"

#include <QPainterPath>

#include <algorithm>

namespace snapkin {

namespace {

// The desktop's neutral grey, the same in light and dark appearance.
const QColor systemGray(142, 142, 147);

QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(opacity));
    return color;
}

} // namespace

QColor HoverBackground::fill() const
{
    if (active) return withOpacity(Color::brand(), fillOpacity);
    if (hovered) return withOpacity(systemGray, fillOpacity);
    return Qt::transparent;
}

QPainterPath HoverBackground::outline(const QRectF& rect) const
{
    const double radius = std::clamp(cornerRadius, 0.0, std::min(rect.width(), rect.height()) / 2);
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void HoverBackground::paint(QPainter& painter, const QRectF& rect) const
{
    const QColor f = fill();
    if (f.alpha() == 0) return; // idle: nothing shows, and nothing needs clipping
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = outline(rect);
    painter.fillPath(shape, f);
    if (active) {
        // The border, stroked inside the edge: the line's centre runs half its width in.
        const double inset = borderWidth / 2;
        HoverBackground inner = *this;
        inner.cornerRadius = std::max(0.0, cornerRadius - inset);
        painter.strokePath(inner.outline(rect.adjusted(inset, inset, -inset, -inset)),
                           QPen(Color::brand(), borderWidth));
    }
}

} // namespace snapkin
