#pragma once

#include <QImage>

namespace snapkin::platform {

// Every encoder writes its pixels untagged, meaning sRGB, and the screen shows them as sRGB;
// a picture that carries another colour profile (Display P3, Adobe RGB, …) is therefore
// converted to sRGB once, where it comes in, so that the editor, the clipboard and every
// format show the same colours. An image without a profile (a capture) or already in sRGB is
// left as it is, at no cost. The conversion works in place when the image is not shared.
// False when its memory could not be had; the image is then null.
bool convertToSrgb(QImage& image);

} // namespace snapkin::platform
