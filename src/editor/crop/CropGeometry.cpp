#include "editor/crop/CropGeometry.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

std::array<CropGeometry::HandlePoint, 8> CropGeometry::handlePoints(const QRectF& r)
{
    const double midX = r.left() + r.width() / 2;
    const double midY = r.top() + r.height() / 2;
    return {{
        {CropHandle::nw, {r.left(), r.top()}},
        {CropHandle::n, {midX, r.top()}},
        {CropHandle::ne, {r.right(), r.top()}},
        {CropHandle::e, {r.right(), midY}},
        {CropHandle::se, {r.right(), r.bottom()}},
        {CropHandle::s, {midX, r.bottom()}},
        {CropHandle::sw, {r.left(), r.bottom()}},
        {CropHandle::w, {r.left(), midY}},
    }};
}

double CropGeometry::hitTolerance(double zoom)
{
    return std::max(14 / zoom, 10.0);
}

std::optional<CropHandle> CropGeometry::handleHit(const QRectF& rect, QPointF point, double zoom)
{
    const double tolerance = hitTolerance(zoom);
    for (const HandlePoint& handle : handlePoints(rect)) {
        const QPointF d = point - handle.point;
        if (std::hypot(d.x(), d.y()) <= tolerance) return handle.handle;
    }
    return std::nullopt;
}

std::optional<CropHandle> CropGeometry::dragTarget(const QRectF& rect, QPointF point, double zoom)
{
    if (const auto handle = handleHit(rect, point, zoom)) return handle;
    if (rect.contains(point)) return CropHandle::move; // edges count as inside
    return std::nullopt;
}

QRectF CropGeometry::applied(const QRectF& start, CropHandle handle, QPointF delta,
                             QSizeF imageSize, std::optional<double> ratio)
{
    const double W = imageSize.width();
    const double H = imageSize.height();
    if (handle == CropHandle::move) {
        const double w = start.width(), h = start.height();
        const double x = std::max(0.0, std::min(W - w, start.left() + delta.x()));
        const double y = std::max(0.0, std::min(H - h, start.top() + delta.y()));
        return {x, y, w, h};
    }

    const auto moves = [handle](CropHandle side, CropHandle corner1, CropHandle corner2) {
        return handle == side || handle == corner1 || handle == corner2;
    };
    double minX = start.left(), minY = start.top();
    double maxX = start.right(), maxY = start.bottom();
    if (moves(CropHandle::w, CropHandle::nw, CropHandle::sw)) minX += delta.x();
    if (moves(CropHandle::e, CropHandle::ne, CropHandle::se)) maxX += delta.x();
    if (moves(CropHandle::n, CropHandle::nw, CropHandle::ne)) minY += delta.y();
    if (moves(CropHandle::s, CropHandle::sw, CropHandle::se)) maxY += delta.y();
    // Each axis on its own: the moved edge stops short of the other one, within the image.
    const auto axis = [](double low, double high, double extent) {
        const double newMin = std::max(0.0, std::min(low, high - minimumSide));
        const double newMax = std::min(extent, std::max(high, newMin + minimumSide));
        return std::pair{newMin, newMax};
    };
    const auto [x0, x1] = axis(minX, maxX, W);
    const auto [y0, y1] = axis(minY, maxY, H);
    QRectF result(x0, y0, x1 - x0, y1 - y0);
    if (ratio && *ratio > 0) {
        double w = result.width();
        double h = w / *ratio;
        if (result.top() + h > H) {
            h = H - result.top();
            w = *ratio * h;
        }
        result.setSize({w, h});
    }
    return result;
}

} // namespace snapkin
