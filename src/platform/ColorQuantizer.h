#pragma once

#include <QImage>
#include <QList>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace snapkin::platform {

// Reduces an image to an indexed palette for formats with at most 256 colours.
//
// An image with few enough colours keeps them exactly (screenshots of interfaces usually do).
// Otherwise the palette comes from median cut over a histogram of the colours, refined by a few
// rounds of nearest-mean assignment, and each pixel takes its nearest palette colour (no
// dithering: it would add noise to the flat areas of a capture). Pixels less than half opaque
// become one transparent entry; the others are treated as opaque, un-premultiplied.
class ColorQuantizer {
public:
    struct Result {
        QList<QRgb> palette;               // opaque colours (alpha 255); the transparent entry too
        std::vector<std::uint8_t> indices; // width x height, row by row
        int transparentIndex = -1;         // index of the transparent entry, -1 when none
        bool exact = false;                // every opaque pixel kept its colour
    };

    // `maxColors` is clamped to 2...256 and includes the transparent entry. An empty result for
    // a null image.
    static Result quantize(const QImage& image, int maxColors = 256);
};

} // namespace snapkin::platform
