#include "capture/overlay/SelectionGeometry.h"

#include <algorithm>
#include <cmath>

namespace snapkin::SelectionGeometry {

bool isUsable(const QRectF& s)
{
    // Written so that NaN fails too.
    return s.width() >= minimumSide && s.height() >= minimumSide;
}

namespace {

// Whether the handle drags that edge of the selection.
bool drags(Handle h, Qt::Edge edge)
{
    switch (edge) {
    case Qt::LeftEdge:
        return h == Handle::topLeft || h == Handle::bottomLeft || h == Handle::left;
    case Qt::RightEdge:
        return h == Handle::topRight || h == Handle::bottomRight || h == Handle::right;
    case Qt::TopEdge:
        return h == Handle::topLeft || h == Handle::topRight || h == Handle::top;
    case Qt::BottomEdge:
        return h == Handle::bottomLeft || h == Handle::bottomRight || h == Handle::bottom;
    }
    return false;
}

} // namespace

QPointF anchor(Handle handle, const QRectF& r)
{
    QPointF a = r.center();
    if (drags(handle, Qt::LeftEdge)) a.setX(r.left());
    if (drags(handle, Qt::RightEdge)) a.setX(r.right());
    if (drags(handle, Qt::TopEdge)) a.setY(r.top());
    if (drags(handle, Qt::BottomEdge)) a.setY(r.bottom());
    return a;
}

QRectF handleRect(Handle handle, const QRectF& r)
{
    const QPointF a = anchor(handle, r);
    return QRectF(a.x() - handleSquare / 2, a.y() - handleSquare / 2, handleSquare, handleSquare);
}

std::optional<Handle> handleAt(QPointF p, const QRectF& r)
{
    for (Handle h : allHandles) {
        if (handleRect(h, r).contains(p)) return h;
    }
    return std::nullopt;
}

QPointF clamped(QPointF p, const QRectF& bounds)
{
    return QPointF(std::clamp(p.x(), bounds.left(), bounds.right()),
                   std::clamp(p.y(), bounds.top(), bounds.bottom()));
}

QRectF spanned(QPointF a, QPointF b)
{
    return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(a.x() - b.x()),
                  std::abs(a.y() - b.y()));
}

QRectF moved(const QRectF& original, QPointF delta, const QRectF& bounds)
{
    QRectF r = original.translated(delta);
    const double x = std::max(bounds.left(), std::min(bounds.right() - r.width(), r.x()));
    const double y = std::max(bounds.top(), std::min(bounds.bottom() - r.height(), r.y()));
    r.moveTo(x, y);
    return r;
}

QRectF resized(const QRectF& original, Handle handle, QPointF p)
{
    QPointF topLeft = original.topLeft();
    QPointF bottomRight = original.bottomRight();
    if (drags(handle, Qt::LeftEdge)) topLeft.setX(p.x());
    if (drags(handle, Qt::TopEdge)) topLeft.setY(p.y());
    if (drags(handle, Qt::RightEdge)) bottomRight.setX(p.x());
    if (drags(handle, Qt::BottomEdge)) bottomRight.setY(p.y());
    return spanned(topLeft, bottomRight);
}

QRectF nudged(const QRectF& s, double dx, double dy, bool resize, const QRectF& bounds)
{
    if (!isUsable(s)) {
        const QPointF c = bounds.center();
        return QRectF(c.x() - nudgeSquareSide / 2, c.y() - nudgeSquareSide / 2, nudgeSquareSide,
                      nudgeSquareSide);
    }
    if (resize) {
        // The bottom-left corner stays where it is: up (negative dy) makes the rectangle taller.
        const double width =
            std::max(minimumNudgedSide, std::min(bounds.right() - s.left(), s.width() + dx));
        const double bottom = s.bottom();
        const double height =
            std::max(minimumNudgedSide, std::min(bottom - bounds.top(), s.height() - dy));
        return QRectF(s.left(), bottom - height, width, height);
    }
    return moved(s, QPointF(dx, dy), bounds);
}

QString badgeLabel(QSizeF size)
{
    return QStringLiteral("%1 \u00d7 %2")
        .arg(static_cast<long long>(std::trunc(size.width())))
        .arg(static_cast<long long>(std::trunc(size.height())));
}

QRectF badgeRect(const QRectF& s, QSizeF textSize, const QRectF& bounds)
{
    const double width = textSize.width() + 12;
    const double height = textSize.height() + 6;
    // Above the selection; when that would leave the screen, down to stay 4 points inside it.
    const double top = std::max(s.top() - badgeGap - height, bounds.top() + loupeMargin);
    return QRectF(s.left(), top, width, height);
}

QRectF decorRect(const QRectF& s, QSizeF badgeTextSize, const QRectF& bounds)
{
    if (!(s.width() > 0) || !(s.height() > 0)) return {};
    const QRectF around = s.adjusted(-decorMargin, -decorMargin, decorMargin, decorMargin);
    return around.united(badgeRect(s, badgeTextSize, bounds).adjusted(-2, -2, 2, 2));
}

QPointF loupeOrigin(QPointF p, QSizeF size, const QRectF& bounds)
{
    double x = p.x() + loupeDistance;
    double y = p.y() + loupeDistance;
    if (y + size.height() > bounds.bottom() - loupeMargin)
        y = p.y() - loupeDistance - size.height();
    if (x + size.width() > bounds.right() - loupeMargin) x = p.x() - loupeDistance - size.width();
    x = std::min(std::max(bounds.left() + loupeMargin, x),
                 bounds.right() - size.width() - loupeMargin);
    y = std::min(std::max(bounds.top() + loupeMargin, y),
                 bounds.bottom() - size.height() - loupeMargin);
    return QPointF(std::round(x), std::round(y));
}

namespace {

double pixelsPerPoint(const QRectF& bounds, QSize imageSize)
{
    return bounds.width() > 0 ? imageSize.width() / bounds.width() : 1.0;
}

} // namespace

QPoint snapshotPixel(QPointF p, const QRectF& bounds, QSize imageSize)
{
    const double scale = pixelsPerPoint(bounds, imageSize);
    const auto limit = [](double v, int size) {
        if (!(v > 0)) return 0;
        return int(std::min<double>(std::trunc(v), size - 1));
    };
    return QPoint(limit((p.x() - bounds.left()) * scale, imageSize.width()),
                  limit((p.y() - bounds.top()) * scale, imageSize.height()));
}

std::optional<QSizeF> selectionPixels(const QRectF& s, const QRectF& bounds, QSize imageSize)
{
    if (!(s.width() >= 1) || !(s.height() >= 1)) return std::nullopt;
    const double scale = pixelsPerPoint(bounds, imageSize);
    return QSizeF(std::round(s.width() * scale), std::round(s.height() * scale));
}

QPointF toRootPixels(QPointF p, QPoint nativeOrigin, double scale)
{
    return QPointF(nativeOrigin) + p * scale;
}

QRectF fromRootPixels(const QRect& frame, QPoint nativeOrigin, double scale)
{
    const QPointF topLeft = QPointF(frame.topLeft() - nativeOrigin) / scale;
    return QRectF(topLeft, QSizeF(frame.size()) / scale);
}

bool wantsLoupe(QPointF p, const QRectF& bounds, const LoupeContext& c)
{
    if (!c.enabled || c.windowMode || !bounds.contains(p)) return false;
    if (c.barFrame &&
        c.barFrame->adjusted(-barLoupeMargin, -barLoupeMargin, barLoupeMargin, barLoupeMargin)
            .contains(p)) {
        return false;
    }
    if (c.creating) return true;
    if (c.moving) return false;
    if (!c.adjusting) return true;
    if (handleAt(p, c.selection)) return true;
    return !c.selection.contains(p);
}

} // namespace snapkin::SelectionGeometry
