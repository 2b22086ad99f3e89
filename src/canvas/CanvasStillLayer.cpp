#include "canvas/CanvasStillLayer.h"

#include "canvas/CanvasDamage.h"

#include <QPainter>

namespace snapkin {

const QImage& CanvasStillLayer::picture(const Key& key, const QList<Annotation>& annotations,
                                        const Painter& paint)
{
    const QSize size = key.deviceSize;
    if (size.isEmpty() || qint64(size.width()) * size.height() > maxPixels) {
        clear();
        return m_image;
    }
    if (m_image.isNull() || !(m_key == key)) {
        // Opaque: the view's background is drawn first, so copying needs no blending.
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) {
            clear();
            return m_image; // out of memory: drawn directly
        }
        image.setDevicePixelRatio(key.devicePixelRatio);
        {
            QPainter painter(&image);
            paint(painter, annotations);
        }
        m_image = std::move(image);
        m_key = key;
        m_annotations = annotations;
        return m_image;
    }
    if (m_annotations == annotations) return m_image;

    const std::optional<QRectF> damage = CanvasDamage::between(m_annotations, annotations);
    QPainter painter(&m_image);
    if (!damage) {
        paint(painter, annotations);
    } else if (!damage->isEmpty()) {
        // In view coordinates, out to whole pixels and one more for antialiasing.
        const QRectF area(damage->topLeft() * key.zoom, damage->size() * key.zoom);
        const QRect clip = area.toAlignedRect().adjusted(-1, -1, 1, 1).intersected(
            QRect(QPoint(0, 0), m_image.deviceIndependentSize().toSize()));
        if (!clip.isEmpty()) {
            painter.setClipRect(clip);
            paint(painter, annotations);
        }
    }
    m_annotations = annotations;
    return m_image;
}

QImage CanvasStillLayer::lastPicture(const QList<Annotation>& annotations) const
{
    return m_annotations == annotations ? m_image : QImage();
}

void CanvasStillLayer::clear()
{
    m_image = QImage();
    m_annotations.clear();
    m_key = {};
}

} // namespace snapkin
