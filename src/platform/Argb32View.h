#pragma once

#include <QImage>

#include <cstdint>

namespace snapkin::platform {

// The image as rows of 0xAARRGGBB words, the layout the encoders read: the image itself when it
// is RGB32, ARGB32 or ARGB32 premultiplied, else converted to the nearest of these. Straight alpha
// stays straight: premultiplying would lose the colour of faint pixels. Null when the conversion
// runs out of memory.
QImage argb32View(const QImage& image);

// Whether any pixel of an image in one of those layouts is less than opaque.
bool anyTranslucent(const QImage& image);

// One row of such an image as 8-bit samples: RGB, or RGBA with the alpha divided out of
// premultiplied pixels.
void packRow(const QRgb* src, int width, bool withAlpha, bool premultiplied, std::uint8_t* dst);

} // namespace snapkin::platform
