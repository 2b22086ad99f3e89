#pragma once

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRgb>

#include <functional>

namespace snapkin::platform {

// Image filters on QImage in place of the platform's image-processing library. Every filter
// takes any format and returns ARGB32 premultiplied (the input's device pixel ratio is kept).
// Edges are extended (the outermost pixels repeat without end), so a blurred edge does not fade
// to transparent. The work is O(1) per pixel whatever the radius, and large images are split
// across threads by rows or columns. A null image gives a null image.
struct ImageFilters {
    // A Gaussian-looking blur: three box passes whose combined spread matches a Gaussian of
    // standard deviation `radius` pixels. A radius below 0.5 returns the pixels unchanged.
    static QImage gaussianBlur(const QImage& image, double radius);

    // Called once per block with the block's premultiplied mean colour and the block's index in
    // the grid (block (0, 0) has its top-left corner at the grid origin); returns the colour to
    // fill the block with. Runs on worker threads, so it must not touch shared mutable state.
    using BlockColor = std::function<QRgb(QRgb mean, QPoint block)>;

    // Square blocks of `blockSize` pixels (at least 1; need not be whole) whose grid lines pass
    // through `gridOrigin`; each block is filled with the mean of its pixels (blocks cut by the
    // image's edge average only the pixels inside), or with what `blockColor` makes of it.
    static QImage pixelate(const QImage& image, double blockSize, QPointF gridOrigin = {},
                           const BlockColor& blockColor = {});

    // image + intensity · (image − gaussianBlur(image, radius)), clamped per channel. Colour
    // channels are clamped to the alpha, so the result stays valid premultiplied data.
    static QImage unsharpMask(const QImage& image, double radius, double intensity);

    // The image composited on opaque white (RGB32), or the same image when no pixel is
    // translucent. For formats and readers that have no transparency: without it,
    // transparent pixels would turn black and hide dark content drawn on them.
    static QImage onWhite(const QImage& image);

    // Blurs larger than this are computed at this standard deviation; beyond a few thousand
    // pixels the result is flat anyway, and it keeps running sums within 32 bits.
    static constexpr double maxBlurRadius = 20000.0;
};

} // namespace snapkin::platform
