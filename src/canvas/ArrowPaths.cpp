#include "canvas/ArrowPaths.h"

#include "model/Polyline.h"

#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

constexpr double kTiny = 0.001;

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}
QPointF normal(QPointF u)
{
    return {-u.y(), u.x()};
}

// v normalised, or `fallback` when v is shorter than kTiny.
QPointF direction(QPointF v, QPointF fallback)
{
    const double l = length(v);
    return l < kTiny ? fallback : v / l;
}

QPainterPath closedPolygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// A filled, open or concave head with its tip at `tip`, pointing along `dir` (base to tip).
MarkPath headAt(QPointF tip, QPointF dir, ArrowHeadStyle style, double width)
{
    const ArrowPaths::Head h = ArrowPaths::head(style, width);
    const QPointF n = normal(dir);
    const QPointF base = tip - dir * h.length;
    const QPointF left = base + n * (h.width / 2);
    const QPointF right = base - n * (h.width / 2);
    switch (style) {
    case ArrowHeadStyle::open: {
        QPainterPath path(left);
        path.lineTo(tip);
        path.lineTo(right);
        return MarkPath::stroked(path, width, Qt::RoundCap, Qt::RoundJoin);
    }
    case ArrowHeadStyle::concave:
        return MarkPath::filled(closedPolygon({tip, left, tip - dir * h.notch, right}));
    case ArrowHeadStyle::filled:
    case ArrowHeadStyle::tapered:
        break;
    }
    return MarkPath::filled(closedPolygon({tip, left, right}));
}

} // namespace

ArrowPaths::Head ArrowPaths::head(ArrowHeadStyle style, double width)
{
    const double w = boundedLineWidth(width);
    Head h;
    if (style == ArrowHeadStyle::tapered) {
        h.length = std::max(3.4 * w, 18.0);
        h.width = std::max(3.6 * w, 16.0);
        h.bodyHalfWidth = std::max(1.05 * w, 3.5);
        return h;
    }
    h.length = std::max(3.0 * w, 14.0);
    h.width = std::max(2.6 * w, 11.0);
    h.shaftInset = style == ArrowHeadStyle::open ? 0.5 * w : 0.85 * h.length;
    h.notch = 0.55 * h.length;
    return h;
}

std::vector<MarkPath> ArrowPaths::arrow(const Annotation& a)
{
    if (a.curved || (a.arrowHead == ArrowHeadStyle::tapered && a.doubleHeaded)) return pathArrow(a);
    return straightArrow(a.p1, a.p2, a.lineWidth, a.arrowHead, a.doubleHeaded);
}

std::vector<MarkPath> ArrowPaths::straightArrow(QPointF from, QPointF to, double width,
                                                ArrowHeadStyle style, bool doubleHeaded)
{
    const double w = boundedLineWidth(width);
    const QPointF d = to - from;
    // A zero-length arrow has a zero direction: its head collapses onto its tip.
    const QPointF u = d / std::max(length(d), kTiny);
    const QPointF n = normal(u);
    const Head h = head(style, w);

    if (style == ArrowHeadStyle::tapered) {
        const QPointF base = to - u * h.length;
        return {MarkPath::filled(
            closedPolygon({from, base + n * h.bodyHalfWidth, base + n * (h.width / 2), to,
                           base - n * (h.width / 2), base - n * h.bodyHalfWidth}))};
    }

    std::vector<MarkPath> parts;
    QPainterPath shaft(doubleHeaded ? from + u * h.shaftInset : from);
    shaft.lineTo(to - u * h.shaftInset);
    parts.push_back(MarkPath::stroked(shaft, w, Qt::RoundCap, Qt::MiterJoin));
    parts.push_back(headAt(to, u, style, w));
    if (doubleHeaded) parts.push_back(headAt(from, -u, style, w));
    return parts;
}

std::vector<MarkPath> ArrowPaths::pathArrow(const Annotation& a)
{
    const double w = boundedLineWidth(a.lineWidth);
    QList<QPointF> points;
    QPointF control;
    if (a.curved) {
        points = a.curveSamples(Annotation::curveSampleCount);
        control = a.curveControlPoint();
    } else {
        points = {a.p1, a.p2};
        control = (a.p1 + a.p2) / 2;
    }
    // For a quadratic Bézier the directions towards and away from the control point are the
    // tangents at the ends.
    const QPointF chordDirection = direction(a.p2 - a.p1, QPointF(1, 0));
    const QPointF endDirection = direction(a.p2 - control, chordDirection);
    const QPointF startDirection = direction(a.p1 - control, -chordDirection);

    if (a.arrowHead == ArrowHeadStyle::tapered)
        return {
            MarkPath::filled(taperedPath(points, endDirection, startDirection, a.doubleHeaded, w))};

    const Head h = head(a.arrowHead, w);
    std::vector<MarkPath> parts;
    const QList<QPointF> shaft =
        Polyline::trimmed(points, a.doubleHeaded ? h.shaftInset : 0.0, h.shaftInset);
    if (shaft.size() >= 2) {
        QPainterPath path;
        path.addPolygon(QPolygonF(shaft));
        parts.push_back(MarkPath::stroked(path, w, Qt::RoundCap, Qt::RoundJoin));
    }
    parts.push_back(headAt(a.p2, endDirection, a.arrowHead, w));
    if (a.doubleHeaded) parts.push_back(headAt(a.p1, startDirection, a.arrowHead, w));
    return parts;
}

QPainterPath ArrowPaths::taperedPath(const QList<QPointF>& pts, QPointF e, QPointF a,
                                     bool doubleHeaded, double width)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (pts.isEmpty()) return path;
    const double w = boundedLineWidth(width);
    const Head h = head(ArrowHeadStyle::tapered, w);
    const QPointF tip = pts.last();
    const QPointF start = pts.first();
    const QPointF base = tip - e * h.length;
    const QPointF nE = normal(e);
    const QPointF startBase = start - a * h.length;
    const QPointF nA = normal(a);

    QPolygonF outline;
    auto addEndHead = [&] {
        outline << base + nE * (h.width / 2) << tip << base - nE * (h.width / 2);
    };
    auto addStartHead = [&] {
        if (doubleHeaded)
            outline << startBase + nA * (h.width / 2) << start << startBase - nA * (h.width / 2);
    };

    const QList<QPointF> body = Polyline::trimmed(pts, doubleHeaded ? h.length : 0.0, h.length);
    if (body.size() < 2) {
        addEndHead();
        addStartHead();
    } else {
        const QList<double> lengths = Polyline::cumulativeLengths(body);
        const double total = std::max(lengths.last(), kTiny);
        const qsizetype last = body.size() - 1;
        QList<QPointF> left, right;
        left.reserve(body.size());
        right.reserve(body.size());
        for (qsizetype i = 0; i <= last; ++i) {
            // Centred difference inside, one-sided at the ends.
            const QPointF from = body[std::max<qsizetype>(i - 1, 0)];
            const QPointF to = body[std::min(i + 1, last)];
            const QPointF ni = normal(direction(to - from, e));
            const double f = lengths[i] / total;
            const double half = doubleHeaded ? (0.55 + 0.45 * std::abs(2 * f - 1)) * h.bodyHalfWidth
                                             : f * h.bodyHalfWidth;
            left << body[i] + ni * half;
            right << body[i] - ni * half;
        }
        outline << left;
        addEndHead();
        for (qsizetype i = last; i >= 0; --i)
            outline << right[i];
        addStartHead();
    }
    path.addPolygon(outline);
    path.closeSubpath();
    return path;
}

} // namespace snapkin
