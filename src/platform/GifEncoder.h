#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin::platform {

// Writes a single-frame GIF89a through giflib with a palette from ColorQuantizer: exact for
// images of at most 255 colours plus transparency, quantised otherwise. Pixels less than half
// opaque become transparent.
class GifEncoder {
public:
    // Nothing for a null image, a side above GIF's 65535-pixel limit, or a giflib failure.
    static std::optional<QByteArray> encode(const QImage& image);
};

} // namespace snapkin::platform
