#pragma once

#include <QImage>

namespace snapkin::platform {

// The image as rows of 0xAARRGGBB words, the layout the encoders read: the image itself when it
// is RGB32, ARGB32 or ARGB32 premultiplied, else converted to the nearest of these. Straight alpha
// stays straight: premultiplying would lose the colour of faint pixels. Null when the conversion
// runs out of memory.
QImage argb32View(const QImage& image);

} // namespace snapkin::platform
