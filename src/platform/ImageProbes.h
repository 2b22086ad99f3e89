#pragma once

#include <QByteArray>
#include <QImageIOHandler>
#include <QSize>

#include <optional>

class QIODevice;

namespace snapkin::platform::imageprobe {

// What the image reader learns from a file's bytes before, or instead of, handing it to a
// decoder: its format, its declared size, and whether its structure is whole. Each probe reads
// only within the device and never decodes a pixel.

// Seeks only within the data: QBuffer warns on the terminal about a position past its end.
bool seekWithin(QIODevice& device, qint64 offset);
quint32 bigEndian32(const void* p);

// Whether `width` x `height` is more than `limit` (pixels, or what the caller counts per pixel
// divided out of its limit), told without a product that could overflow: sides that two headers'
// 32-bit fields declare can multiply past what 64 bits hold. Over any negative limit.
bool pixelsOver(quint64 width, quint64 height, qint64 limit);

// The raster formats the application reads, told apart by their first bytes. Nothing else
// reaches Qt's plugins: SVG, for one, can take minutes to render from a few kilobytes.
std::optional<QByteArray> formatFromContent(const QByteArray& head);

// What a PNG's signature and IHDR chunk (its first 26 bytes) declare, unchecked.
struct PngHeader {
    quint32 width = 0, height = 0;
    int depth = 0, colourType = 0;
};
std::optional<PngHeader> pngHeader(const QByteArray& head);

// libpng prints its errors to the terminal before Qt sees them ("libpng error: Read Error" for
// a truncated file). Checking the chunk structure and the CRC of every critical chunk first
// turns a truncated or damaged file into our own error without calling the decoder.
bool pngStructureIsSound(QIODevice& device);

// What libjpeg needs beyond the output image. A progressive JPEG, or one whose components come
// in separate scans, is decoded through a buffer of every DCT coefficient of the whole image:
// 128 bytes for each 8 x 8 block of each component, 1.5 GB for a 14000 x 14000 CMYK image that
// a 1.4 KB file can declare. A single-scan JPEG is decoded a few rows at a time.
struct JpegHeader {
    QSize size;
    qint64 coefficientBytes = 0;
    qint64 firstScan = 0; // where the first scan's data starts, after its header
};
std::optional<JpegHeader> readJpegHeader(QIODevice& device);
// Whether the scans that start at `firstScan` run to the end-of-image marker. libjpeg shows a
// file cut short as far as it goes, the rest grey, with no more than a warning.
bool jpegReachesItsEnd(QIODevice& device, qint64 firstScan);

// A BMP's size from its header, and whether the file holds every row the header declares
// (Qt's decoder fills the rows a cut file lacks with black and reports success).
struct BmpHeader {
    QSize size;
    bool whole = false;
};
std::optional<BmpHeader> readBmpHeader(QIODevice& device);

// The GIF decoder draws every frame onto a canvas of the logical screen's size, which the
// header declares apart from the frames (a 35-byte file can declare 14000 x 14000 around a
// single pixel). Qt's reported size is the first frame's, so the screen is checked here.
std::optional<QSize> gifScreenSize(QIODevice& device);
// Whether the first image (the one the reader decodes) is there to its last data block: the
// decoder shows a cut image with the rest transparent and reports success.
bool gifFirstImageIsWhole(QIODevice& device);

// The EXIF orientation (1 to 8) of a WebP file, which Qt's WebP reader leaves unapplied; 0
// when the file declares none.
int webpOrientation(QIODevice& device);

// What an EXIF or TIFF orientation (1 to 8) asks for, as Qt's readers report it; none for any
// other value.
QImageIOHandler::Transformations exifTransformation(int orientation);

// The size that a PBM, PGM, PPM, XPM or TGA header declares. The application reads none of
// these formats, but one too large to open is told so, as any other image is.
std::optional<QSize> unreadFormatDeclaredSize(QIODevice& device);

} // namespace snapkin::platform::imageprobe
