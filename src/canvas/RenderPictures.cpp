#include "canvas/RenderPictures.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace snapkin {

double deviceScale(const QPainter& painter)
{
    const QTransform t = painter.deviceTransform();
    const double sx = std::hypot(t.m11(), t.m12());
    const double sy = std::hypot(t.m21(), t.m22());
    const double s = std::max(sx, sy);
    return std::isfinite(s) && s > 0 ? std::min(s, 64.0) : 1.0;
}

QImage cachedPicture(PictureCache* cache, const RenderCaches::PictureKey& key,
                     const std::function<QImage()>& make)
{
    if (!cache) return make();
    if (const QImage* image = cache->object(key)) return *image;
    QImage image = make();
    if (!image.isNull())
        cache->insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    return image;
}

} // namespace snapkin
