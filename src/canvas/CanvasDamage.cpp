#include "canvas/CanvasDamage.h"

#include "canvas/AnnotationRenderer.h"
#include "canvas/handlers/SelectionHandles.h"
#include "canvas/handlers/SelectionOutlinePainter.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

double halfStroke(const Annotation& a)
{
    const double w = std::isfinite(a.lineWidth) ? std::clamp(a.lineWidth, 0.0, 1000.0) : 1.0;
    // Half the stroke, mitred corners (a square's corner reaches √2 half widths out) and a
    // pixel of antialiasing at any zoom down to a half.
    return w * 0.75 + 2;
}

// The lenses in `list` whose source overlaps `area` show part of it, enlarged.
QRectF lensesShowing(const QList<Annotation>& list, const QRectF& area)
{
    QRectF lenses;
    for (const Annotation& a : list)
        if (a.kind == AnnotationKind::magnifier &&
            AnnotationRenderer::lensSourceRect(a).intersects(area))
            lenses |= AnnotationRenderer::drawnBounds(a);
    return lenses;
}

} // namespace

QRectF CanvasDamage::markArea(const Annotation& a)
{
    switch (a.kind) {
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse:
    case AnnotationKind::line: {
        const double m = halfStroke(a);
        return a.box().adjusted(-m, -m, m, m);
    }
    case AnnotationKind::pen: {
        if (a.points.isEmpty()) return QRectF();
        const double m = halfStroke(a);
        return Annotation::bounds(a.points).adjusted(-m, -m, m, m);
    }
    case AnnotationKind::highlight:
    case AnnotationKind::pixelate:
    case AnnotationKind::imageOverlay:
    case AnnotationKind::spotlight:
        // Filled boxes (the spotlight's hole is its box).
        return a.box().adjusted(-2, -2, 2, 2);
    default:
        return AnnotationRenderer::drawnBounds(a);
    }
}

QRectF CanvasDamage::selectionArea(const Annotation& a)
{
    using Painter = SelectionOutlinePainter;
    const double outline = Painter::outlineInset + Painter::outlineWidth + 2;
    QRectF area =
        SelectionHandles::selectionBounds(a).adjusted(-outline, -outline, outline, outline);
    const double r =
        std::max(Painter::handleSide, Painter::curveHandleDiameter) / 2 + Painter::outlineWidth + 2;
    for (const auto& handle : SelectionHandles::handlePoints(a))
        area |= QRectF(handle.second - QPointF(r, r), QSizeF(2 * r, 2 * r));
    return area;
}

std::optional<QRectF> CanvasDamage::between(const QList<Annotation>& before,
                                            const QList<Annotation>& after)
{
    QRectF area;
    bool spotlight = false;
    const auto touch = [&](const Annotation& a) {
        spotlight = spotlight || a.kind == AnnotationKind::spotlight;
        area |= markArea(a);
    };
    if (before.size() == after.size()) {
        // The usual case: the same annotations in the same order, one or a few changed.
        bool aligned = true;
        for (qsizetype i = 0; i < before.size() && aligned; ++i)
            aligned = before[i].id == after[i].id;
        if (aligned) {
            for (qsizetype i = 0; i < before.size(); ++i) {
                if (before[i] == after[i]) continue;
                touch(before[i]);
                touch(after[i]);
            }
            if (spotlight) return std::nullopt;
            if (!area.isEmpty()) area |= lensesShowing(before, area) | lensesShowing(after, area);
            return area;
        }
    }
    // Added, removed or reordered: those that stay must keep their order.
    QHash<QUuid, qsizetype> old;
    for (qsizetype i = 0; i < before.size(); ++i)
        old.insert(before[i].id, i);
    if (old.size() != before.size()) return std::nullopt; // duplicate ids: no telling
    qsizetype last = -1;
    QHash<QUuid, bool> kept;
    for (const Annotation& a : after) {
        const auto found = old.constFind(a.id);
        if (found == old.constEnd()) {
            touch(a);
            continue;
        }
        if (*found < last || kept.contains(a.id)) return std::nullopt;
        last = *found;
        kept.insert(a.id, true);
        if (!(before[*found] == a)) {
            touch(before[*found]);
            touch(a);
        }
    }
    for (const Annotation& a : before)
        if (!kept.contains(a.id)) touch(a);
    if (spotlight) return std::nullopt;
    if (!area.isEmpty()) area |= lensesShowing(before, area) | lensesShowing(after, area);
    return area;
}

} // namespace snapkin
