#include "support/AnnotatedImage.h"

#include "canvas/AnnotationRenderer.h"

#include <QPainter>

#include <cmath>

namespace snapkin {

QImage renderAnnotated(const platform::BaseImage& image, const QList<Annotation>& annotations,
                       double pixelScale)
{
    if (image.isNull() || !(pixelScale > 0) || !std::isfinite(pixelScale)) return {};
    const QSizeF points = image.pointSize();
    const double w = std::ceil(points.width() * pixelScale - 1e-6);
    const double h = std::ceil(points.height() * pixelScale - 1e-6);
    if (!(w >= 1 && h >= 1) || w * h > 400'000'000.0) return {};
    QImage out(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return {};
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(pixelScale, pixelScale);
    painter.drawImage(QRectF(QPointF(0, 0), points), image.image());
    // Drawn once, without caches: nothing to reuse, and safe on any thread.
    AnnotationRenderer(annotations, std::nullopt, points, image).paint(painter);
    painter.end();
    return out;
}

} // namespace snapkin
