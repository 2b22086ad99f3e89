#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

#include <expected>

namespace snapkin::platform {

enum class ImageReadError {
    notFound,    // no file at the path
    unreadable,  // not an image, damaged, or in a format without a reader
    tooLarge,    // more pixels than the cap, or more memory than the allocation limit
    outOfMemory, // within the limits, but the memory to decode or convert it couldn't be had
};

QString userMessage(ImageReadError error);
// The refusal of the file called `name` in one sentence: the memory message names it, the
// others follow it (“name”: message).
QString userMessage(ImageReadError error, const QString& name);
// Refused for what it would take (its size, or memory the machine hasn't got), not for what it
// holds: a refusal to tell in words, where an unreadable file may be something else.
inline bool refusedForMemory(ImageReadError error)
{
    return error == ImageReadError::tooLarge || error == ImageReadError::outOfMemory;
}

// The memory one decoded image may take, at 4 bytes a pixel (ImageBudget says why this much).
inline constexpr qint64 imageBudgetBytes = 128LL * 1024 * 1024;

// The one reader for images from outside (documents, opened or pasted files, placed images).
// It reads PNG, JPEG, WebP, TIFF, GIF and BMP, chosen by the content (never by the name, and
// never another installed image plugin such as SVG); TIFF files that Qt's reader refuses (tiles,
// floating-point samples) are read through libtiff, and PNGs of 16 bits a sample through libpng
// (Png16Decoder.h: Qt's reader decodes some of them wrong). Orientation is applied, WebP's EXIF
// one included. A file cut short is `unreadable`, never shown in part. The pixel cap is checked
// against the size the header declares before any pixel is decoded, and again on the decoded
// image; the allocation limit bounds the decoder's own buffers too (a 16-bit PNG's 8 bytes a
// pixel, a progressive JPEG's coefficients). By default both hold the image budget. A header
// over them is `tooLarge`, also in a format the reader does not read (PBM, PGM, PPM, TGA, XPM).
// A refusal is an error, never a crash; an image whose memory could not be had (the file's
// bytes, a decoder's buffers, a conversion or the orientation's turn, whether the allocation
// threw or gave nothing) is `outOfMemory`. Decoders print nothing on the terminal.
struct ImageReadLimits {
    qint64 maxPixels = imageBudgetBytes / 4; // 33.5 megapixels
    int allocationLimitMB = int(3 * imageBudgetBytes / (1024 * 1024));
    // When positive, the image is decoded reduced so that its longer side is at most this many
    // pixels, aspect ratio kept (a JPEG at a fraction of its size, other formats at full size
    // and then scaled). The pixel cap then holds for the reduced image; the allocation limit
    // still bounds what the decoder takes on the way.
    int maxSide = 0;
};

std::expected<QImage, ImageReadError> readImage(const QString& path, ImageReadLimits limits = {});
std::expected<QImage, ImageReadError> readImage(const QByteArray& data,
                                                ImageReadLimits limits = {});
// From an open, readable device (a file opened without following links, for one).
std::expected<QImage, ImageReadError> readImage(QIODevice& device, ImageReadLimits limits = {});

} // namespace snapkin::platform
