#include "canvas/RenderCaches.h"

#include <QHashFunctions>

namespace snapkin {

RenderCaches::RenderCaches() = default;
RenderCaches::~RenderCaches() = default;

size_t qHash(const RenderCaches::OverlayKey& k, size_t seed)
{
    return qHashMulti(seed, k.id, k.bytes);
}

size_t qHash(const RenderCaches::PictureKey& k, size_t seed)
{
    return qHashMulti(seed, k.text, k.width, k.height, k.variant);
}

size_t qHash(const RenderCaches::RasterKey& k, size_t seed)
{
    return qHashMulti(seed, k.id, k.scaleX, k.scaleY, k.fractionX, k.fractionY);
}

size_t qHash(const RenderCaches::StrokeKey& k, size_t seed)
{
    return qHashMulti(seed, k.id, k.scaleBucket);
}

} // namespace snapkin
