#include "canvas/CanvasStillLayer.h"

#include "canvas/CanvasDamage.h"

#include <QPainter>
#include <QRegion>

#include <cmath>
#include <cstring>
#include <utility>

namespace snapkin {

namespace {

QSize devicePixels(QSize size, qreal dpr)
{
    return QSize(int(std::ceil(size.width() * dpr)), int(std::ceil(size.height() * dpr)));
}

} // namespace

bool CanvasStillLayer::reusable(QSize size, qreal dpr) const
{
    // Nobody else may hold the pixels (a stand-in may, until the sharp picture is made).
    return !m_image.isNull() && m_image.isDetached() && m_image.devicePixelRatio() == dpr &&
           m_image.width() >= size.width() && m_image.height() >= size.height();
}

bool CanvasStillLayer::scrollTo(const QRect& area)
{
    // Only on whole device pixels; at a fractional ratio the picture is drawn afresh.
    const qreal dpr = m_image.devicePixelRatio();
    const int ratio = int(dpr);
    if (ratio != dpr || !reusable(devicePixels(area.size(), dpr), dpr)) return false;
    const QRect kept = m_area.intersected(area);
    if (kept.isEmpty()) return false;
    const QPoint from = (kept.topLeft() - m_area.topLeft()) * ratio;
    const QPoint to = (kept.topLeft() - area.topLeft()) * ratio;
    const qsizetype rowBytes = qsizetype(kept.width()) * ratio * 4;
    const int rows = kept.height() * ratio;
    // Rows in the order that never overwrites one still to be moved.
    for (int i = 0; i < rows; ++i) {
        const int row = to.y() > from.y() ? rows - 1 - i : i;
        uchar* target = m_image.scanLine(to.y() + row) + to.x() * 4;
        const uchar* source = m_image.constScanLine(from.y() + row) + from.x() * 4;
        std::memmove(target, source, size_t(rowBytes));
    }
    return true;
}

const QImage& CanvasStillLayer::picture(const Key& key, const QRect& visible,
                                        const QList<Annotation>& annotations, const Painter& paint)
{
    const QRect bounds(QPoint(0, 0), key.viewSize);
    const QRect needed = visible.intersected(bounds);
    if (needed.isEmpty()) return m_image; // nothing to show: keep what there is
    const bool sameKey = !m_image.isNull() && m_key == key;
    if (!sameKey || !m_area.contains(needed)) {
        const QRect area = needed.adjusted(-scrollMargin, -scrollMargin, scrollMargin, scrollMargin)
                               .intersected(bounds);
        const QSize size = devicePixels(area.size(), key.devicePixelRatio);
        if (qint64(size.width()) * size.height() > maxPixels) {
            clear();
            return m_image;
        }
        // Scrolled with nothing else changed: what stays in view is moved, not drawn again.
        QRegion fresh(area);
        if (sameKey && m_annotations == annotations && scrollTo(area)) {
            fresh -= m_area;
        } else if (!reusable(size, key.devicePixelRatio)) {
            m_image = QImage();                       // freed before the next is made
            QImage image(size, QImage::Format_RGB32); // opaque: copied without blending
            if (image.isNull()) {
                clear();
                return m_image; // out of memory: drawn directly
            }
            image.setDevicePixelRatio(key.devicePixelRatio);
            m_image = std::move(image);
        }
        {
            QPainter painter(&m_image);
            painter.translate(-area.topLeft());
            painter.setClipRegion(fresh);
            paint(painter, annotations);
        }
        m_key = key;
        m_area = area;
        m_annotations = annotations;
        m_stale = {};
        return m_image;
    }
    if (const QRegion stale = std::exchange(m_stale, {}).intersected(m_area); !stale.isEmpty()) {
        QPainter painter(&m_image);
        painter.translate(-m_area.topLeft());
        painter.setClipRegion(stale);
        paint(painter, annotations);
    }
    if (m_annotations == annotations) return m_image;

    const std::optional<QRectF> damage = CanvasDamage::between(m_annotations, annotations);
    QPainter painter(&m_image);
    painter.translate(-m_area.topLeft());
    if (!damage) {
        painter.setClipRect(m_area);
        paint(painter, annotations);
    } else if (!damage->isEmpty()) {
        // In view coordinates, out to whole pixels and one more for antialiasing.
        const QRectF area(damage->topLeft() * key.zoom, damage->size() * key.zoom);
        const QRect clip = area.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(m_area);
        if (!clip.isEmpty()) {
            painter.setClipRect(clip);
            paint(painter, annotations);
        }
    }
    m_annotations = annotations;
    return m_image;
}

void CanvasStillLayer::draw(QPainter& painter, const QRegion& region) const
{
    const qreal dpr = m_image.devicePixelRatio();
    for (const QRect& r : region.intersected(m_area)) {
        const QPointF source = QPointF(r.topLeft() - m_area.topLeft()) * dpr;
        painter.drawImage(r, m_image, QRectF(source, QSizeF(r.size()) * dpr));
    }
}

CanvasStillLayer::StandIn CanvasStillLayer::standIn(const QList<Annotation>& annotations,
                                                    std::uint64_t serial) const
{
    if (m_image.isNull() || m_annotations != annotations || m_key.serial != serial) return {};
    return {m_image, m_area, m_key.zoom};
}

QRegion CanvasStillLayer::drawStretched(QPainter& painter, const StandIn& standIn, double zoom,
                                        const QRegion& region)
{
    if (standIn.isNull() || standIn.zoom <= 0) return region;
    const double f = zoom / standIn.zoom;
    const QRectF target(QPointF(standIn.area.topLeft()) * f, QSizeF(standIn.area.size()) * f);
    // Only whole pixels count as covered, so the rest is drawn sharp with no seam.
    const QRect covered(
        QPoint(int(std::ceil(target.left())), int(std::ceil(target.top()))),
        QPoint(int(std::floor(target.right())) - 1, int(std::floor(target.bottom())) - 1));
    const QRegion inside = region.intersected(covered);
    if (!inside.isEmpty()) {
        // The picture's pixels may be wider than its area (kept from a larger one).
        const QRectF source(QPointF(0, 0),
                            QSizeF(standIn.area.size()) * standIn.image.devicePixelRatio());
        // A rectangle at a time: a scaled copy clipped to a rectangle takes Qt's fast path,
        // clipped to a region of several the per-pixel one.
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        for (const QRect& r : inside) {
            painter.setClipRect(r);
            painter.drawImage(target, standIn.image, source);
        }
        painter.restore();
    }
    return region.subtracted(covered);
}

void CanvasStillLayer::clear()
{
    m_stale = {};
    m_image = QImage();
    m_annotations.clear();
    m_key = {};
    m_area = {};
}

} // namespace snapkin
