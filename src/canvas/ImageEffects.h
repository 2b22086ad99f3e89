#pragma once

#include "model/AnnotationKinds.h"
#include "platform/BaseImage.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <cstddef>
#include <optional>

namespace snapkin {

// Pixelated and blurred pictures of a rectangle of the base image, for obscure annotations of
// style pixelate or blur. Results are cached per (image serial, point size, whole-point
// rectangle, style, strength), since the canvas redraws every annotation on each change.
// Main thread only.
class ImageEffects {
public:
    struct Region {
        QImage image;
        // Where to draw `image`, in image points: the whole-point rectangle clipped to the
        // image, so the obscured pixels stay exactly over the pixels they hide.
        QRectF rect;
        // The whole-point rectangle the request was rounded out to.
        QRectF wholeRect;
    };

    // Nothing for the styles solid and stripes, for a rectangle that rounds out to less than one
    // point or lies outside the image, and for a null image. Strength below 0.05 acts as 0.05.
    static std::optional<Region> obscuredRegion(const platform::BaseImage& source, const QRectF& rect,
                                                ObscureStyle style, double strength);

    // Sizes the filters use, in pixels, for a crop of `cropSize` pixels.
    static double blurRadius(QSizeF cropSize, double strength);
    static double blockSize(QSizeF cropSize, double strength, double pixelsPerPoint);

    // The cache is emptied before storing an entry when it already holds more than this many.
    static constexpr int maxCacheEntries = 240;
    // It is also emptied when its pictures would take more than this many bytes, so a few huge
    // regions cannot hold gigabytes.
    static constexpr qint64 maxCacheBytes = 768LL * 1024 * 1024;
    static int cacheCount();
    static void clearCache();

    // The process's noise offset (whole pixels, 0 to 4095 on each axis): the noise pattern is
    // stable within a run and differs between runs.
    static QPoint noiseOffset();
    // The grey (0.38 to 0.62) that the noise gives a block, for a block index in the crop's grid.
    static double noiseGrey(QPoint block, QPoint offset);
};

} // namespace snapkin
