// The geometric questions the store and the canvas ask of an annotation.
#include "model/Annotation.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

// User-perceived characters (grapheme clusters), so "👍🏽" counts as one.
qsizetype characterCount(const QString& text)
{
    if (text.isEmpty()) return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

double length(QPointF v)
{
    return std::hypot(v.x(), v.y());
}

// The rectangle spanning both, also one of zero size, which QRectF::united() would ignore.
QRectF spanning(const QRectF& r, const QRectF& s)
{
    const double left = std::min(r.left(), s.left());
    const double top = std::min(r.top(), s.top());
    const double right = std::max(r.right(), s.right());
    const double bottom = std::max(r.bottom(), s.bottom());
    return QRectF(left, top, right - left, bottom - top);
}

} // namespace

QRectF Annotation::boxOf(QPointF a, QPointF b)
{
    return QRectF(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(b.x() - a.x()),
                  std::abs(b.y() - a.y()));
}

QRectF Annotation::boundingRect() const
{
    switch (kind) {
    case AnnotationKind::arrow:
        if (curved) return bounds(curveSamples(curveSampleCount));
        return box();
    case AnnotationKind::text: {
        const double width = std::max(double(characterCount(text)) * fontSize * 0.6, 24.0);
        return QRectF(p1, QSizeF(width, fontSize * 1.3));
    }
    case AnnotationKind::stamp: {
        QRectF r = box();
        if (auto label = stampLabelRect()) r = spanning(r, *label);
        if (auto tip = tailTip()) r = spanning(r, QRectF(*tip, *tip));
        return r;
    }
    default:
        return box();
    }
}

bool Annotation::contains(QPointF point) const
{
    const double tolerance = std::max(lineWidth + 6, 8.0);
    switch (kind) {
    case AnnotationKind::arrow:
        if (curved) {
            const QList<QPointF> samples = curveSamples(curveSampleCount);
            for (qsizetype i = 1; i < samples.size(); ++i) {
                if (distance(point, samples[i - 1], samples[i]) <= tolerance) return true;
            }
            return false;
        }
        return distance(point, p1, p2) <= tolerance;
    case AnnotationKind::line:
        return distance(point, p1, p2) <= tolerance;
    case AnnotationKind::pixelate:
    case AnnotationKind::pen:
        return false;
    default: {
        // Left and top edges included, right and bottom excluded.
        const QRectF r = boundingRect().adjusted(-6, -6, 6, 6);
        return point.x() >= r.left() && point.x() < r.right() && point.y() >= r.top() &&
               point.y() < r.bottom();
    }
    }
}

double Annotation::distance(QPointF q, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double l2 = d.x() * d.x() + d.y() * d.y();
    if (l2 < 0.0001) return length(q - a);
    const QPointF v = q - a;
    const double t = std::clamp((v.x() * d.x() + v.y() * d.y()) / l2, 0.0, 1.0);
    return length(q - (a + t * d));
}

std::optional<QPointF> Annotation::tailTip() const
{
    if (kind != AnnotationKind::stamp || !tailAngle) return std::nullopt;
    const QRectF b = box();
    const double r = std::max(1.0, b.width()) * 0.5;
    const double l = std::min(3 * r, std::max(1.4 * r, tailLength));
    return b.center() + l * QPointF(std::cos(*tailAngle), std::sin(*tailAngle));
}

std::optional<QRectF> Annotation::stampLabelRect() const
{
    if (kind != AnnotationKind::stamp || stampLabel.isEmpty()) return std::nullopt;
    const QRectF b = box();
    const double h = std::max(b.height() * 0.55, 16.0);
    const double width = std::max(double(characterCount(stampLabel)) * h * 0.62, 14.0) + 0.5 * h;
    return QRectF(b.right() + 0.22 * h, b.center().y() - 0.5 * h, width, h);
}

QPointF Annotation::curveControlPoint() const
{
    const QPointF d = p2 - p1;
    const double t = curveHandle.x();
    const double n = curveHandle.y();
    const QPointF handle = p1 + t * d + n * QPointF(-d.y(), d.x());
    return 2 * handle - (p1 + p2) / 2;
}

QList<QPointF> Annotation::curveSamples(int count) const
{
    const int k = std::max(count, 1);
    const QPointF c = curveControlPoint();
    QList<QPointF> samples;
    samples.reserve(k + 1);
    for (int i = 0; i <= k; ++i) {
        const double s = double(i) / k;
        const double u = 1 - s;
        samples.append(u * u * p1 + 2 * u * s * c + s * s * p2);
    }
    return samples;
}

QPointF Annotation::curveHandlePlacingHandleAt(QPointF q) const
{
    const QPointF d = p2 - p1;
    const double l2 = d.x() * d.x() + d.y() * d.y();
    if (l2 <= 0.0001) return curveHandle;
    const QPointF v = q - p1;
    const double t = (v.x() * d.x() + v.y() * d.y()) / l2;
    const double n = (d.x() * v.y() - d.y() * v.x()) / l2;
    return QPointF(t, n);
}

QRectF Annotation::bounds(const QList<QPointF>& points)
{
    if (points.isEmpty()) return QRectF();
    double minX = points.first().x(), maxX = minX;
    double minY = points.first().y(), maxY = minY;
    for (const QPointF& p : points) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}

} // namespace snapkin
