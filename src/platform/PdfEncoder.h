#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>

#include <optional>

namespace snapkin::platform {

// Writes a one-page PDF holding the image at its size in points: the page (MediaBox) is that
// size exactly, fractions of a point included, and the image fills it. The pixels are embedded
// losslessly (Flate, with a soft mask where the image has transparency), never as JPEG, and at
// their full resolution.
class PdfEncoder {
public:
    // Nothing for a null image or a point size that is not positive and finite.
    static std::optional<QByteArray> encode(const QImage& image, QSizeF pointSize);
};

} // namespace snapkin::platform
