#include "canvas/handlers/SelectionHandles.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

QRectF SelectionHandles::selectionBounds(const Annotation& annotation)
{
    if (annotation.kind == AnnotationKind::pen && !annotation.points.isEmpty())
        return Annotation::bounds(annotation.points);
    return annotation.boundingRect();
}

QList<SelectionHandles::Handle> SelectionHandles::boxHandles(const QRectF& r)
{
    const double midX = r.left() + r.width() / 2;
    const double midY = r.top() + r.height() / 2;
    return {
        {HandleID::nw, {r.left(), r.top()}},     {HandleID::n, {midX, r.top()}},
        {HandleID::ne, {r.right(), r.top()}},    {HandleID::e, {r.right(), midY}},
        {HandleID::se, {r.right(), r.bottom()}}, {HandleID::s, {midX, r.bottom()}},
        {HandleID::sw, {r.left(), r.bottom()}},  {HandleID::w, {r.left(), midY}},
    };
}

QPointF SelectionHandles::tailHandlePoint(const Annotation& stamp)
{
    if (auto tip = stamp.tailTip()) return *tip;
    const QRectF box = stamp.box();
    return {box.right() + 0.6 * stamp.tailLength, box.center().y()};
}

QPointF SelectionHandles::curveHandlePoint(const Annotation& arrow)
{
    const QPointF d = arrow.p2 - arrow.p1;
    const double t = arrow.curveHandle.x();
    const double n = arrow.curveHandle.y();
    return arrow.p1 + t * d + n * QPointF(-d.y(), d.x());
}

QList<SelectionHandles::Handle> SelectionHandles::handlePoints(const Annotation& a)
{
    switch (a.kind) {
    case AnnotationKind::arrow:
        if (a.curved)
            return {
                {HandleID::p1, a.p1}, {HandleID::p2, a.p2}, {HandleID::curve, curveHandlePoint(a)}};
        return {{HandleID::p1, a.p1}, {HandleID::p2, a.p2}};
    case AnnotationKind::line:
        return {{HandleID::p1, a.p1}, {HandleID::p2, a.p2}};
    case AnnotationKind::text:
        return {};
    case AnnotationKind::stamp: {
        QList<Handle> handles = boxHandles(a.box());
        handles.append({HandleID::tail, tailHandlePoint(a)});
        return handles;
    }
    default:
        return boxHandles(selectionBounds(a));
    }
}

std::optional<HandleID> SelectionHandles::handleHit(QPointF point, const Annotation& annotation)
{
    for (const auto& [id, at] : handlePoints(annotation)) {
        if (std::hypot(point.x() - at.x(), point.y() - at.y()) <= hitRadius) return id;
    }
    return std::nullopt;
}

namespace {

// The edges of the box a box handle moves.
bool movesLeft(HandleID h)
{
    return h == HandleID::nw || h == HandleID::w || h == HandleID::sw;
}
bool movesRight(HandleID h)
{
    return h == HandleID::ne || h == HandleID::e || h == HandleID::se;
}
bool movesTop(HandleID h)
{
    return h == HandleID::nw || h == HandleID::n || h == HandleID::ne;
}
bool movesBottom(HandleID h)
{
    return h == HandleID::sw || h == HandleID::s || h == HandleID::se;
}

// Forces a round loupe's box square, keeping the edges the handle does not move: the left or
// top edge stays unless the handle moves it, and the e handle leaves both sides as they are.
void squareLoupe(HandleID handle, double& x1, double& y1, double& x2, double& y2)
{
    const double w = std::abs(x2 - x1);
    const double h = std::abs(y2 - y1);
    double s = std::max(w, h);
    if (handle == HandleID::n || handle == HandleID::s) s = h;
    if (handle == HandleID::e || handle == HandleID::w) s = w;
    if (movesLeft(handle))
        x1 = x2 - s;
    else if (handle != HandleID::e)
        x2 = x1 + s;
    if (movesTop(handle))
        y1 = y2 - s;
    else
        y2 = y1 + s;
}

// Maps a coordinate from [from0, from1] onto [to0, to1]; a degenerate source only shifts.
double remap(double v, double from0, double from1, double to0, double to1)
{
    const double span = from1 - from0;
    if (std::abs(span) < 1e-9) return v - from0 + to0;
    return to0 + (v - from0) / span * (to1 - to0);
}

} // namespace

void SelectionHandles::applyResize(Annotation& a, const Annotation& origin, HandleID handle,
                                   double dx, double dy)
{
    switch (handle) {
    case HandleID::p1:
        a.p1 = origin.p1 + QPointF(dx, dy);
        return;
    case HandleID::p2:
        a.p2 = origin.p2 + QPointF(dx, dy);
        return;
    case HandleID::curve:
        a.curveHandle =
            origin.curveHandlePlacingHandleAt(curveHandlePoint(origin) + QPointF(dx, dy));
        return;
    case HandleID::tail: {
        const QRectF box = origin.box();
        const QPointF v = tailHandlePoint(origin) + QPointF(dx, dy) - box.center();
        const double length = std::hypot(v.x(), v.y());
        if (length < 0.5 * box.width()) {
            a.tailAngle.reset(); // the tail length is kept for when the tail comes back
        } else {
            a.tailAngle = std::atan2(v.y(), v.x());
            a.tailLength = length;
        }
        return;
    }
    default:
        break;
    }

    const QRectF r = origin.kind == AnnotationKind::stamp ? origin.box() : selectionBounds(origin);
    double x1 = r.left(), y1 = r.top(), x2 = r.right(), y2 = r.bottom();
    if (movesLeft(handle)) x1 += dx;
    if (movesRight(handle)) x2 += dx;
    if (movesTop(handle)) y1 += dy;
    if (movesBottom(handle)) y2 += dy;
    if (origin.kind == AnnotationKind::magnifier && origin.magnifierRound)
        squareLoupe(handle, x1, y1, x2, y2);
    // Not normalised: an edge dragged past the opposite one leaves p1 right of or below p2.
    a.p1 = QPointF(x1, y1);
    a.p2 = QPointF(x2, y2);

    // A stroke's path follows its box, scaled from the box it had when the drag began.
    if (origin.kind == AnnotationKind::pen && !origin.points.isEmpty()) {
        a.points.clear();
        a.points.reserve(origin.points.size());
        for (const QPointF& p : origin.points) {
            a.points.append({remap(p.x(), r.left(), r.right(), x1, x2),
                             remap(p.y(), r.top(), r.bottom(), y1, y2)});
        }
    }
}

} // namespace snapkin
