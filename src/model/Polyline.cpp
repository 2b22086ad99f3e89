#include "model/Polyline.h"

#include <algorithm>
#include <cmath>

namespace snapkin::Polyline {

QList<double> cumulativeLengths(const QList<QPointF>& points)
{
    QList<double> lengths;
    lengths.reserve(std::max<qsizetype>(points.size(), 1));
    lengths.append(0);
    for (qsizetype i = 1; i < points.size(); ++i) {
        const QPointF d = points[i] - points[i - 1];
        lengths.append(lengths.last() + std::hypot(d.x(), d.y()));
    }
    return lengths;
}

namespace {

QPointF pointAt(const QList<QPointF>& points, const QList<double>& lengths, double s)
{
    const qsizetype n = points.size();
    qsizetype j = n - 1;
    if (n < 3) {
        j = 1;
    } else {
        for (qsizetype i = 1; i <= n - 2; ++i) {
            if (s <= lengths[i]) {
                j = i;
                break;
            }
        }
    }
    const double segment = std::max(lengths[j] - lengths[j - 1], 0.0001);
    const double u = std::clamp((s - lengths[j - 1]) / segment, 0.0, 1.0);
    return points[j - 1] + u * (points[j] - points[j - 1]);
}

} // namespace

QList<QPointF> trimmed(const QList<QPointF>& points, double start, double end)
{
    if (points.size() < 2) return {};
    const QList<double> lengths = cumulativeLengths(points);
    const double total = lengths.last();
    // Written so that NaN cuts give an empty result too.
    if (!(total > start + end)) return {};
    QList<QPointF> result;
    result.append(pointAt(points, lengths, start));
    for (qsizetype i = 0; i < points.size(); ++i) {
        if (start < lengths[i] && lengths[i] < total - end) result.append(points[i]);
    }
    result.append(pointAt(points, lengths, total - end));
    return result;
}

} // namespace snapkin::Polyline
