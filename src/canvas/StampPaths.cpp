#include "canvas/StampPaths.h"

#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace snapkin {

StampPaths::Layout StampPaths::layout(const Annotation& a)
{
    Layout out;
    const QRectF box = a.box();
    const QPointF c = box.center();

    if (const std::optional<QPointF> tip = a.tailTip()) {
        const double r = box.width() / 2;
        const QPointF toTip = *tip - c;
        const double l = std::max(std::hypot(toTip.x(), toTip.y()), 0.001);
        const QPointF u = toTip / l;
        const QPointF n(-u.y(), u.x());
        const double r0 = std::min(0.9 * l, 0.8 * r);
        const QPointF base = c + u * r0;
        const double halfBase = std::min(0.75 * std::max(l - r0, 1.0), 0.62 * r);
        out.tail.addPolygon(QPolygonF({base + n * halfBase, *tip, base - n * halfBase}));
        out.tail.closeSubpath();
        out.tail.setFillRule(Qt::WindingFill);
    }

    const bool hasDisc = a.disc.value_or(a.stamp == StampKind::number);
    if (hasDisc) {
        out.disc = box;
        out.glyphOnDisc = true;
    }

    auto textGlyph = [&](const QString& text) {
        out.text = TextGlyph{text, std::min(std::max(0.52 * box.height(), 8.0), maxFontSize), c};
    };
    switch (a.stamp) {
    case StampKind::check:
    case StampKind::cross:
    case StampKind::star:
        out.glyph = glyph(hasDisc ? box.adjusted(0.17 * box.width(), 0.17 * box.height(),
                                                 -0.17 * box.width(), -0.17 * box.height())
                                  : box,
                          a.stamp);
        break;
    case StampKind::dot:
        if (!hasDisc) out.glyph = glyph(box, StampKind::dot);
        break;
    case StampKind::exclamation:
        textGlyph(QStringLiteral("!"));
        break;
    case StampKind::question:
        textGlyph(QStringLiteral("?"));
        break;
    case StampKind::number:
        textGlyph(a.text.isEmpty() ? QStringLiteral("1") : a.text);
        break;
    }

    if (const std::optional<QRectF> label = a.stampLabelRect()) {
        out.label = *label;
        out.labelCornerRadius = 0.28 * label->height();
        out.labelText =
            TextGlyph{a.stampLabel, std::min(std::max(0.62 * label->height(), 8.0), maxFontSize),
                      label->center()};
    }
    return out;
}

std::vector<MarkPath> StampPaths::glyph(const QRectF& r, StampKind kind)
{
    const double w = r.width();
    const double h = r.height();
    const double sw = std::max(0.14 * w, 2.0);
    switch (kind) {
    case StampKind::check: {
        QPainterPath path(QPointF(r.left() + 0.2 * w, r.top() + 0.55 * h));
        path.lineTo(r.left() + 0.42 * w, r.top() + 0.76 * h);
        path.lineTo(r.left() + 0.8 * w, r.top() + 0.28 * h);
        return {MarkPath::stroked(path, sw, Qt::RoundCap, Qt::RoundJoin)};
    }
    case StampKind::cross: {
        QPainterPath path(QPointF(r.left() + 0.26 * w, r.top() + 0.26 * h));
        path.lineTo(r.right() - 0.26 * w, r.bottom() - 0.26 * h);
        path.moveTo(r.right() - 0.26 * w, r.top() + 0.26 * h);
        path.lineTo(r.left() + 0.26 * w, r.bottom() - 0.26 * h);
        return {MarkPath::stroked(path, sw, Qt::RoundCap, Qt::MiterJoin)};
    }
    case StampKind::star:
        return {MarkPath::filled(starPath(r))};
    case StampKind::dot: {
        QPainterPath path;
        path.addEllipse(r.adjusted(0.12 * w, 0.12 * h, -0.12 * w, -0.12 * h));
        return {MarkPath::filled(path)};
    }
    case StampKind::exclamation:
    case StampKind::question:
    case StampKind::number:
        break;
    }
    return {};
}

QPainterPath StampPaths::starPath(const QRectF& rect)
{
    const QPointF c = rect.center();
    const double outer = std::min(rect.width(), rect.height()) / 2;
    const double inner = 0.42 * outer;
    QPolygonF points;
    for (int k = 0; k < 10; ++k) {
        const double angle = (-90.0 + 36.0 * k) * std::numbers::pi / 180.0;
        const double radius = k % 2 == 0 ? outer : inner;
        points << QPointF(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle));
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    path.setFillRule(Qt::WindingFill);
    return path;
}

} // namespace snapkin
