#pragma once

#include "platform/ImageReader.h"

#include <QImage>

#include <expected>

class QIODevice;

namespace snapkin::platform {

// Decodes a PNG of 16 bits a sample through libpng, into the format, colour space, resolution,
// offset and texts that Qt's PNG reader gives such a file: Format_Grayscale16 for grey without
// a transparent colour, Format_RGBX64 for opaque colour, Format_RGBA64 for grey or colour with
// alpha or a transparent colour. Qt 6.4's reader decodes two kinds of these wrong: an RGB image
// with a transparent colour (libpng writes 6 bytes a pixel into rows of 8, so each alpha comes
// from the next pixel and the end of every row is left as the memory was) and any interlaced
// one (every other row's bytes swapped). Here every transformation is set before libpng lays
// out its rows, and the rows it gives must fill the image's to the byte.
//
// The caller has checked the chunks' structure, the critical chunks' CRCs and the pixel cap.
// `allocationLimit` bounds the image, at its 2 or 8 bytes a pixel (`tooLarge` over it); an
// image whose memory can't be had is `outOfMemory`; any error libpng raises (damaged data, too
// few rows, a buffer of its own it could not have) is `unreadable`, as Qt's reader fails on the
// same errors. Nothing is printed. The device is read from its start; any thread may call it.
std::expected<QImage, ImageReadError> decodePng16(QIODevice& device, qint64 allocationLimit);

} // namespace snapkin::platform
