#pragma once

#include <QColor>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace snapkin {

// One piece of a drawn mark: a path that is either filled (non-zero rule) or stroked with a
// given width, caps and joins. Marks made of several pieces (an arrow's shaft and head) are
// lists of these, built without a painter so their geometry can be checked directly.
struct MarkPath {
    enum class Paint { fill, stroke };

    QPainterPath path;
    Paint paint = Paint::fill;
    double width = 0;
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;

    static MarkPath filled(QPainterPath path)
    {
        path.setFillRule(Qt::WindingFill);
        return {std::move(path), Paint::fill, 0, Qt::FlatCap, Qt::MiterJoin};
    }
    static MarkPath stroked(QPainterPath path, double width, Qt::PenCapStyle cap,
                            Qt::PenJoinStyle join)
    {
        return {std::move(path), Paint::stroke, width, cap, join};
    }

    // Strokes use miter limit 10 and no dash.
    void draw(QPainter& painter, const QColor& color) const
    {
        if (paint == Paint::fill) {
            painter.fillPath(path, color);
            return;
        }
        QPen pen(color, width, Qt::SolidLine, cap, join);
        pen.setMiterLimit(10);
        painter.strokePath(path, pen);
    }

    static void drawAll(QPainter& painter, const std::vector<MarkPath>& parts, const QColor& color)
    {
        for (const MarkPath& part : parts)
            part.draw(painter, color);
    }
};

// Line widths come from documents: a negative, non-finite or absurd width is brought into a
// range that draws in bounded time.
inline double boundedLineWidth(double width)
{
    if (!std::isfinite(width)) return 0;
    return std::clamp(width, 0.0, 1000.0);
}

} // namespace snapkin
