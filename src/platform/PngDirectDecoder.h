#pragma once

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin::platform {

// Decodes the PNG files that screenshots are made of (8 bits a sample, RGB or RGBA, not
// interlaced) in one pass: the whole compressed stream inflated at once with libdeflate, then
// the rows unfiltered into the image. That is several times faster than libpng over zlib, which
// inflates a few kilobytes at a time, and gives the same pixels and format as Qt's PNG reader
// (Format_RGB32 for RGB, Format_ARGB32 for RGBA, the resolution of a pHYs chunk in metres).
//
// It answers only for files whose every byte is as the format wants it and whose pixels need
// nothing more than unfiltering: any other kind of PNG (grey, a palette, 16 bits, interlaced,
// a transparent colour, a colour profile, gamma, an orientation), any chunk it does not know,
// and any damage (a bad filter, a stream too short or too long, a wrong checksum) give nothing,
// and the caller reads the file otherwise (16 bits a sample through Png16Decoder, any other with
// Qt's reader), which decides as it always has. The caller
// checks the chunks' structure and CRCs, the pixel cap and the allocation limit beforehand;
// `allocationLimit` bounds the decoder's one buffer, which holds the image and, until each row
// is unfiltered, the inflated rows (a few bytes a row more than the image for RGBA), over which
// it gives nothing too, as it does when memory for its buffers can't be had. Any thread may
// call it.
std::optional<QImage> decodePngDirectly(const QByteArray& png, qint64 allocationLimit);

} // namespace snapkin::platform
