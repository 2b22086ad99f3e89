#include "platform/TiffEncoder.h"

#include "platform/Argb32View.h"

#include <QRgb>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace snapkin::platform {

namespace {

// A growable file in memory for libtiff's client interface.
struct MemoryFile {
    QByteArray bytes;
    qint64 position = 0;
    bool failed = false;
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    const qint64 available = std::max<qint64>(0, file->bytes.size() - file->position);
    const qint64 n = std::min<qint64>(available, size);
    if (n > 0) std::memcpy(buffer, file->bytes.constData() + file->position, size_t(n));
    file->position += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0) return -1;
    const qint64 end = file->position + size;
    if (end > file->bytes.size()) {
        if (end > std::numeric_limits<qsizetype>::max() / 2) {
            file->failed = true;
            return -1;
        }
        file->bytes.resize(qsizetype(end), '\0');
    }
    std::memcpy(file->bytes.data() + file->position, buffer, size_t(size));
    file->position = end;
    return size;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(handle);
    qint64 base = 0;
    if (whence == SEEK_CUR) base = file->position;
    if (whence == SEEK_END) base = file->bytes.size();
    const qint64 target = base + qint64(offset);
    if (target < 0) return toff_t(-1);
    file->position = target;
    return toff_t(target);
}

int closeProc(thandle_t)
{
    return 0;
}
toff_t sizeProc(thandle_t handle)
{
    return toff_t(static_cast<MemoryFile*>(handle)->bytes.size());
}

// Errors become a failed result; nothing is printed.
int quietHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

std::optional<QByteArray> TiffEncoder::encode(const QImage& source, double dpi)
{
    if (source.isNull()) return std::nullopt;
    const QImage image = argb32View(source);
    if (image.isNull()) return std::nullopt;
    const bool premultiplied = image.format() != QImage::Format_ARGB32;
    const bool withAlpha = anyTranslucent(image);

    MemoryFile file;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                         TIFFOpenOptionsFree);
    if (!options) return std::nullopt;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), quietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), quietHandler, nullptr);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
        TIFFClientOpenExt("memory", "w", &file, readProc, writeProc, seekProc, closeProc, sizeProc,
                          nullptr, nullptr, options.get()), // not mapped
        TIFFClose);
    if (!tif) return std::nullopt;

    const int channels = withAlpha ? 4 : 3;
    bool ok = TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, std::uint32_t(image.width())) &&
              TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, std::uint32_t(image.height())) &&
              TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 8) &&
              TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, channels) &&
              TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif.get(), TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_LZW) &&
              TIFFSetField(tif.get(), TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (ok && withAlpha) {
        const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        ok = TIFFSetField(tif.get(), TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (ok && std::isfinite(dpi) && dpi > 0) {
        ok = TIFFSetField(tif.get(), TIFFTAG_XRESOLUTION, float(dpi)) &&
             TIFFSetField(tif.get(), TIFFTAG_YRESOLUTION, float(dpi)) &&
             TIFFSetField(tif.get(), TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    if (ok)
        ok = TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP,
                          TIFFDefaultStripSize(tif.get(), std::uint32_t(-1)));

    std::vector<std::uint8_t> row(size_t(image.width()) * size_t(channels));
    for (int y = 0; ok && y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        packRow(src, image.width(), withAlpha, premultiplied, row.data());
        ok = TIFFWriteScanline(tif.get(), row.data(), std::uint32_t(y), 0) == 1;
    }
    if (ok) ok = TIFFWriteDirectory(tif.get()) == 1;
    tif.reset(); // flushes
    if (!ok || file.failed || file.bytes.isEmpty()) return std::nullopt;
    return file.bytes;
}

} // namespace snapkin::platform
