#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin::fuzz {

// A PNG decoded by libpng's own transformations alone, as the pixels to check a reader's
// against: every kind expanded to 8-bit RGBA, not premultiplied (Format_RGBA8888), a
// transparent colour or palette entry turned into alpha, 16-bit samples rounded to 8 bits, and
// interlaced rows put together by libpng. Gamma, colour profiles and significant bits are left
// as stored, and libpng's warnings pass as they do in Qt's reader. Nothing when libpng refuses
// the file, or its pixels would take more than `maxPixels`.
//
// libpng's simplified API (png_image_finish_read) is not used: the libpng 1.6 of Debian 12
// misplaces the rows of an interlaced 16-bit image that it reads into 8 bits.
std::optional<QImage> decodedByLibpng(const QByteArray& png, qint64 maxPixels = 4'000'000);

} // namespace snapkin::fuzz
