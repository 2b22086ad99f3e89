#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin::platform {

// Writes baseline JPEG through libjpeg-turbo. JPEG has no transparency: the image is expected to
// be opaque already (its alpha channel, if any, is ignored; composite it first).
class JpegEncoder {
public:
    // `quality` is libjpeg's own 1...100 scale (values outside are clamped); the resolution goes
    // into the JFIF header in dots per inch. Nothing for a null image, a side above JPEG's limit
    // of 65500 pixels, or any failure inside libjpeg.
    static std::optional<QByteArray> encode(const QImage& image, int quality, double dpi = 72.0);
};

} // namespace snapkin::platform
