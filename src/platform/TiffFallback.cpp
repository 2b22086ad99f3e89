#include "platform/TiffFallback.h"

#include "platform/ImageProbes.h"

#include <QFloat16>
#include <QIODevice>

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

namespace snapkin::platform {

namespace {

// ---- libtiff over a QIODevice ----

// What libtiff reads: the device, and the whole file in memory when it fits the allocation
// limit. libtiff 4.5 refuses uncompressed tiles read through the device ("Invalid tile byte
// count"), but reads them from memory it can map; the file is never memory-mapped itself, as
// another program may cut it short while it is read.
struct Source {
    QIODevice* device = nullptr;
    QByteArray bytes;
};

QIODevice* deviceOf(thandle_t handle)
{
    return static_cast<Source*>(handle)->device;
}

tmsize_t readDevice(thandle_t handle, void* buffer, tmsize_t size)
{
    return tmsize_t(deviceOf(handle)->read(static_cast<char*>(buffer), qint64(size)));
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t seekDevice(thandle_t handle, toff_t offset, int whence)
{
    QIODevice* device = deviceOf(handle);
    const qint64 base = whence == SEEK_CUR   ? device->pos()
                        : whence == SEEK_END ? device->size()
                                             : 0;
    // A relative seek backwards comes as a huge unsigned offset.
    const qint64 target = base + qint64(offset);
    if (target < 0 || target > device->size() || !device->seek(target)) return toff_t(-1);
    return toff_t(target);
}

int closeNothing(thandle_t)
{
    return 0;
}

toff_t deviceSize(thandle_t handle)
{
    return toff_t(deviceOf(handle)->size());
}

int mapBytes(thandle_t handle, void** base, toff_t* size)
{
    const QByteArray& bytes = static_cast<Source*>(handle)->bytes;
    if (bytes.isEmpty()) return 0;
    *base = const_cast<char*>(bytes.constData()); // read only: libtiff never writes a map
    *size = toff_t(bytes.size());
    return 1;
}

int quietly(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: nothing reaches the process-wide handler or the terminal
}

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffClose>;

// `source` must outlive the handle.
TiffHandle open(Source& source, qint64 allocationLimit)
{
    QIODevice& device = *source.device;
    if (device.size() <= allocationLimit) {
        if (!device.seek(0)) return nullptr;
        source.bytes = device.readAll();
        if (source.bytes.size() != device.size()) return nullptr;
    }
    // libtiff reads the header from where the device stands.
    if (!device.seek(0)) return nullptr;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(allocationLimit));
    TIFFOpenOptionsSetErrorHandlerExtR(options, quietly, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quietly, nullptr);
    TiffHandle tiff(TIFFClientOpenExt("image", "r", &source, readDevice, refuseWrite, seekDevice,
                                      closeNothing, deviceSize, mapBytes, nullptr, options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

// ---- libtiff's RGBA interface ----

std::expected<QImage, ImageReadError> readRgba(TIFF* tiff, int width, int height)
{
    char message[1024] = {};
    TIFFRGBAImage rgba;
    if (!TIFFRGBAImageBegin(&rgba, tiff, /*stop on error*/ 1, message))
        return std::unexpected(ImageReadError::unreadable);
    // Rows as stored: the orientation is applied afterwards, as for every other format.
    rgba.req_orientation = rgba.orientation;
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull() || image.bytesPerLine() != qsizetype(width) * 4) {
        TIFFRGBAImageEnd(&rgba);
        return std::unexpected(ImageReadError::outOfMemory);
    }
    const int read = TIFFRGBAImageGet(&rgba, reinterpret_cast<uint32_t*>(image.bits()),
                                      uint32_t(width), uint32_t(height));
    TIFFRGBAImageEnd(&rgba);
    if (!read) return std::unexpected(ImageReadError::unreadable);
    // libtiff packs each pixel as 0xAABBGGRR with its alpha associated.
    image.rgbSwap();
    return image;
}

// ---- Floating-point samples ----

struct FloatLayout {
    int width = 0;
    int height = 0;
    int samples = 1; // per pixel
    int bytes = 4;   // per sample
    int colours = 1; // 1 grey, 3 RGB; a sample after them is alpha
    bool separatePlanes = false;
    bool whiteIsZero = false;
};

double sampleAt(const uchar* data, qsizetype index, int bytes)
{
    switch (bytes) {
    case 2: {
        qfloat16 value;
        std::memcpy(&value, data + index * 2, 2);
        return double(float(value));
    }
    case 4: {
        float value;
        std::memcpy(&value, data + index * 4, 4);
        return value;
    }
    default: {
        double value;
        std::memcpy(&value, data + index * 8, 8);
        return value;
    }
    }
}

uchar toByte(double value)
{
    if (!(value > 0)) return 0; // negative, zero and NaN
    return value >= 1 ? 255 : uchar(std::lround(value * 255));
}

// Copies one decoded strip or tile, `columns` x `rows` samples wide as stored, whose top left
// pixel is (x0, y0); `plane` is the sample it holds when the planes are separate, else -1.
void placeChunk(QImage& image, const FloatLayout& layout, const uchar* data, int x0, int y0,
                int columns, int rows, int plane)
{
    const int perPixel = plane < 0 ? layout.samples : 1;
    const int firstSample = plane < 0 ? 0 : plane;
    for (int row = 0; row < rows && y0 + row < layout.height; ++row) {
        uchar* line = image.scanLine(y0 + row);
        for (int column = 0; column < columns && x0 + column < layout.width; ++column) {
            uchar* pixel = line + 4 * (x0 + column);
            const qsizetype at = (qsizetype(row) * columns + column) * perPixel;
            for (int k = 0; k < perPixel; ++k) {
                const int sample = firstSample + k;
                double value = sampleAt(data, at + k, layout.bytes);
                if (sample < layout.colours) {
                    if (layout.whiteIsZero) value = 1 - value;
                    const uchar byte = toByte(value);
                    if (layout.colours == 1)
                        pixel[0] = pixel[1] = pixel[2] = byte;
                    else
                        pixel[sample] = byte;
                } else if (sample == layout.colours) {
                    pixel[3] = toByte(value);
                }
            }
        }
    }
}

std::expected<QImage, ImageReadError> readFloat(TIFF* tiff, const FloatLayout& layout,
                                                bool associatedAlpha, qint64 allocationLimit)
{
    const bool alpha = layout.samples > layout.colours;
    QImage image(layout.width, layout.height,
                 !alpha            ? QImage::Format_RGBX8888
                 : associatedAlpha ? QImage::Format_RGBA8888_Premultiplied
                                   : QImage::Format_RGBA8888);
    if (image.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    image.fill(Qt::black); // opaque where the file has no alpha

    const bool tiled = TIFFIsTiled(tiff);
    uint32_t chunkWidth = uint32_t(layout.width);
    uint32_t chunkHeight = 0;
    if (tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &chunkWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &chunkHeight);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &chunkHeight);
        chunkHeight = std::min<uint32_t>(chunkHeight, uint32_t(layout.height));
    }
    if (chunkWidth == 0 || chunkHeight == 0) return std::unexpected(ImageReadError::unreadable);
    const int perPixel = layout.separatePlanes ? 1 : layout.samples;
    if (imageprobe::pixelsOver(chunkWidth, chunkHeight,
                               allocationLimit / std::max(perPixel * layout.bytes, 1)))
        return std::unexpected(ImageReadError::tooLarge);
    const qint64 chunkBytes = qint64(chunkWidth) * chunkHeight * perPixel * layout.bytes;
    const qint64 decodedBytes =
        tiled ? qint64(TIFFTileSize64(tiff)) : qint64(TIFFStripSize64(tiff));
    if (decodedBytes < chunkBytes) return std::unexpected(ImageReadError::unreadable);
    QByteArray buffer(qsizetype(decodedBytes), Qt::Uninitialized);
    if (buffer.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    auto* data = reinterpret_cast<uchar*>(buffer.data());

    const int planes = layout.separatePlanes ? layout.samples : 1;
    for (int plane = 0; plane < planes; ++plane) {
        const uint16_t sample = layout.separatePlanes ? uint16_t(plane) : 0;
        for (uint32_t y = 0; y < uint32_t(layout.height); y += chunkHeight) {
            for (uint32_t x = 0; x < uint32_t(layout.width); x += chunkWidth) {
                const uint32_t rows = std::min<uint32_t>(chunkHeight, uint32_t(layout.height) - y);
                // A whole tile always; a strip only as far as the image goes.
                const tmsize_t wanted =
                    tiled ? tmsize_t(chunkBytes)
                          : tmsize_t(qint64(chunkWidth) * rows * perPixel * layout.bytes);
                const tmsize_t got =
                    tiled ? TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, sample), data,
                                                tmsize_t(decodedBytes))
                          : TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, y, sample), data,
                                                 tmsize_t(decodedBytes));
                if (got < wanted) return std::unexpected(ImageReadError::unreadable);
                placeChunk(image, layout, data, int(x), int(y), int(chunkWidth), int(rows),
                           layout.separatePlanes ? plane : -1);
            }
        }
    }
    return image;
}

} // namespace

std::expected<TiffPicture, ImageReadError>
readTiffThroughLibtiff(QIODevice& device, qint64 maxPixels, qint64 allocationLimit)
{
    Source source{&device, {}};
    const TiffHandle tiff = open(source, allocationLimit);
    if (!tiff) return std::unexpected(ImageReadError::unreadable);
    uint32_t width = 0;
    uint32_t height = 0;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
        return std::unexpected(ImageReadError::unreadable);
    // Each side on its own first: two 32-bit sides can multiply past 64 bits.
    if (width > INT_MAX || height > INT_MAX) return std::unexpected(ImageReadError::tooLarge);
    const qint64 pixels = qint64(width) * height;
    if (pixels > maxPixels || pixels > allocationLimit / 4)
        return std::unexpected(ImageReadError::tooLarge);

    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_ORIENTATION, &orientation);
    uint16_t format = SAMPLEFORMAT_UINT;
    uint16_t bits = 0;
    uint16_t samples = 0;
    uint16_t photometric = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &planar);
    const bool hasPhotometric = TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);

    std::expected<QImage, ImageReadError> image = std::unexpected(ImageReadError::unreadable);
    if (format == SAMPLEFORMAT_IEEEFP) {
        FloatLayout layout;
        layout.width = int(width);
        layout.height = int(height);
        layout.samples = samples;
        layout.bytes = bits / 8;
        layout.colours = hasPhotometric && photometric == PHOTOMETRIC_RGB ? 3 : 1;
        layout.separatePlanes = planar == PLANARCONFIG_SEPARATE;
        layout.whiteIsZero = hasPhotometric && photometric == PHOTOMETRIC_MINISWHITE;
        const bool photometricFits = !hasPhotometric || photometric == PHOTOMETRIC_RGB ||
                                     photometric == PHOTOMETRIC_MINISBLACK ||
                                     photometric == PHOTOMETRIC_MINISWHITE;
        if (photometricFits && (bits == 16 || bits == 32 || bits == 64) &&
            samples >= layout.colours && samples <= 16) {
            uint16_t extraCount = 0;
            uint16_t* extra = nullptr;
            const bool associated =
                TIFFGetField(tiff.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra) &&
                extraCount > 0 && extra[0] == EXTRASAMPLE_ASSOCALPHA;
            image = readFloat(tiff.get(), layout, associated, allocationLimit);
        }
    } else {
        char message[1024] = {};
        if (TIFFRGBAImageOK(tiff.get(), message))
            image = readRgba(tiff.get(), int(width), int(height));
    }
    if (!image) return std::unexpected(image.error());
    return TiffPicture{std::move(*image), imageprobe::exifTransformation(orientation)};
}

} // namespace snapkin::platform
