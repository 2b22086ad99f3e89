#pragma once

#include "model/AnnotationKinds.h"
#include "platform/BaseImage.h"

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <memory>
#include <optional>

namespace snapkin {

// Pixelated and blurred pictures of a rectangle of the base image, for obscure annotations of
// style pixelate or blur. A view keeps results in a Cache of its own, per (image serial, point
// size, whole-point rectangle, style, strength), since the canvas redraws every annotation on
// each change; one-off drawing (a flatten, on any thread) keeps none. Safe on any thread.
class ImageEffects {
public:
    class Cache;
    struct Region {
        // The obscured pixels of the part of the rectangle that lies on the image.
        QImage image;
        // Where to draw `image`, in image points: the whole-point rectangle the request was
        // rounded out to. A rectangle reaching past the image's edge gets the picture of the
        // part on the image stretched over all of it, so the part over the frame's padding is
        // obscured too and never shows what lies under it.
        QRectF rect;
    };

    // Nothing for the styles solid and stripes, for a rectangle that rounds out to less than one
    // point or lies outside the image, and for a null image. Strength below 0.05 acts as 0.05.
    // `cache` (may be null) is read and filled; it belongs to the caller's thread.
    static std::optional<Region> obscuredRegion(const platform::BaseImage& source,
                                                const QRectF& rect, ObscureStyle style,
                                                double strength, Cache* cache = nullptr);

    // Sizes the filters use, in pixels, for a crop of `cropSize` pixels.
    static double blurRadius(QSizeF cropSize, double strength);
    static double blockSize(QSizeF cropSize, double strength, double pixelsPerPoint);

    // A cache is emptied before storing an entry when it already holds more than this many.
    static constexpr int maxCacheEntries = 240;
    // It is also emptied when its pictures would take more than this many bytes, so a few huge
    // regions cannot hold gigabytes.
    static constexpr qint64 maxCacheBytes = 768LL * 1024 * 1024;

    // The process's noise offset (whole pixels, 0 to 4095 on each axis): the noise pattern is
    // stable within a run and differs between runs.
    static QPoint noiseOffset();
    // The grey (0.38 to 0.62) that the noise gives a block, for a block index in the crop's grid.
    static double noiseGrey(QPoint block, QPoint offset);
};

// Obscured regions already made, for one owner on one thread.
class ImageEffects::Cache {
public:
    Cache();
    ~Cache();
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;

    int count() const;
    void clear();

private:
    friend class ImageEffects;
    struct Table;
    std::unique_ptr<Table> m_table;
};

} // namespace snapkin
