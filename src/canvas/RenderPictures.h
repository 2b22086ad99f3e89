#pragma once

#include "canvas/RenderCaches.h"

#include <QCache>
#include <QImage>

#include <functional>

class QPainter;

namespace snapkin {

// What the renderer's painters of several kinds share.

// How many device pixels one painter unit covers (the larger axis).
double deviceScale(const QPainter& painter);

// Small pictures that cost a lot to make and little to draw (emoji glyphs, lens shadows),
// kept by key within the cache's memory budget; made afresh when there is no cache.
using PictureCache = QCache<RenderCaches::PictureKey, QImage>;
QImage cachedPicture(PictureCache* cache, const RenderCaches::PictureKey& key,
                     const std::function<QImage()>& make);

} // namespace snapkin
