#pragma once

#include "platform/ImageReader.h"

#include <QImage>
#include <QImageIOHandler>

#include <expected>

class QIODevice;

namespace snapkin::platform {

// TIFF files that Qt's TIFF reader refuses but libtiff reads: tiled files (as `tiffcp -t`
// writes them) and the other layouts of libtiff's RGBA interface, and floating-point samples
// (16, 32 or 64 bits, grey or RGB, with or without alpha), which that interface refuses.
// Floating-point values from 0 to 1 become 0 to 255, as Qt shows the files it reads itself.
//
// The first directory is read. The size is checked against `maxPixels` and `allocationLimit`
// (bytes, at 4 a pixel) before any pixel is decoded, and libtiff's own buffers are held to
// `allocationLimit` too. A file cut short or damaged anywhere is `unreadable`, never shown in
// part. The image comes in the order it is stored; `transformation` is what its Orientation
// tag asks for. Prints nothing.
struct TiffPicture {
    QImage image;
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
};

std::expected<TiffPicture, ImageReadError>
readTiffThroughLibtiff(QIODevice& device, qint64 maxPixels, qint64 allocationLimit);

} // namespace snapkin::platform
