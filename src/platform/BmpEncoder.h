#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin::platform {

// Writes an uncompressed 24-bit BMP with the resolution in its header. BMP readers disagree about
// alpha, so the image is expected to be opaque (its alpha channel, if any, is dropped).
class BmpEncoder {
public:
    static std::optional<QByteArray> encode(const QImage& image, double dpi = 72.0);
};

} // namespace snapkin::platform
