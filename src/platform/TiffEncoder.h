#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin::platform {

// Writes TIFF through libtiff: 8-bit RGB, or RGB with unassociated (straight) alpha when any pixel
// is not opaque; LZW with horizontal differencing, which every TIFF reader supports; resolution
// in dots per inch.
class TiffEncoder {
public:
    // Nothing for a null image or when libtiff fails.
    static std::optional<QByteArray> encode(const QImage& image, double dpi = 72.0);
};

} // namespace snapkin::platform
