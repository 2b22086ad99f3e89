#include "output/WebPEncoder.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <webp/encode.h>
#include <webp/mux.h>

namespace snapkin {

namespace {

void putU16(QByteArray& out, std::uint16_t v)
{
    out.append(char(v & 0xff)).append(char(v >> 8));
}

void putU32(QByteArray& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((v >> shift) & 0xff));
}

} // namespace

std::optional<QByteArray> WebPEncoder::encode(const platform::BaseImage& image, double quality)
{
    if (image.isNull()) return std::nullopt;
    return encode(image.image(), quality, 72.0 * image.pixelScale());
}

std::optional<QByteArray> WebPEncoder::encode(const QImage& image, double quality, double dpi)
{
    const int w = image.width();
    const int h = image.height();
    if (image.isNull() || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return std::nullopt;

    if (quality >= 1.0) {
        auto data = encodeLossless(image);
        if (!data) return std::nullopt;
        return withResolution(*data, dpi);
    }
    // libwebp wants straight (not premultiplied) RGBA bytes; fully transparent pixels come out
    // with colour 0.
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull()) return std::nullopt;

    std::uint8_t* encoded = nullptr;
    const float factor = quality > 0 ? float(quality * 100.0) : 0.0f;
    const size_t size =
        WebPEncodeRGBA(rgba.constBits(), w, h, int(rgba.bytesPerLine()), factor, &encoded);
    if (!encoded || size == 0) {
        WebPFree(encoded);
        return std::nullopt;
    }
    const QByteArray data(reinterpret_cast<const char*>(encoded), qsizetype(size));
    WebPFree(encoded);
    return withResolution(data, dpi);
}

std::optional<QByteArray> WebPEncoder::encodeLossless(const QImage& image)
{
    // Straight ARGB32 is the picture's own ARGB layout; fully transparent pixels come out with
    // colour 0, as the simple encoder leaves them (exact is off).
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull()) return std::nullopt;

    WebPConfig config;
    if (!WebPConfigInit(&config) || !WebPConfigLosslessPreset(&config, kLosslessLevel)) {
        return std::nullopt;
    }
    config.thread_level = 1;
    WebPPicture picture;
    if (!WebPPictureInit(&picture)) return std::nullopt;
    picture.use_argb = 1;
    picture.width = argb.width();
    picture.height = argb.height();
    // The picture borrows the image's rows, which the encoder may change (it clears the colour
    // of transparent pixels): bits() gives this copy rows of its own, never the caller's.
    picture.argb = reinterpret_cast<std::uint32_t*>(argb.bits());
    picture.argb_stride = int(argb.bytesPerLine() / 4);
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool ok = WebPEncode(&config, &picture) != 0 && writer.size > 0;
    WebPPictureFree(&picture); // frees only what the encoder allocated, not the borrowed rows
    std::optional<QByteArray> out;
    if (ok) out = QByteArray(reinterpret_cast<const char*>(writer.mem), qsizetype(writer.size));
    WebPMemoryWriterClear(&writer);
    return out;
}

QByteArray WebPEncoder::withResolution(const QByteArray& webp, double dpi)
{
    if (!(dpi > 0) || std::abs(dpi - 72.0) <= 0.5) return webp;
    const std::optional<QByteArray> payload = exifResolution(dpi);
    if (!payload) return webp; // a resolution EXIF cannot hold is left out, not a failure

    WebPMux* mux = WebPMuxNew();
    if (!mux) return webp;
    QByteArray result = webp;
    const WebPData image{reinterpret_cast<const std::uint8_t*>(webp.constData()),
                         size_t(webp.size())};
    const WebPData exif{reinterpret_cast<const std::uint8_t*>(payload->constData()),
                        size_t(payload->size())};
    WebPData assembled{nullptr, 0};
    if (WebPMuxSetImage(mux, &image, 1) == WEBP_MUX_OK &&
        WebPMuxSetChunk(mux, "EXIF", &exif, 1) == WEBP_MUX_OK &&
        WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK && assembled.bytes && assembled.size > 0) {
        result =
            QByteArray(reinterpret_cast<const char*>(assembled.bytes), qsizetype(assembled.size));
    }
    WebPDataClear(&assembled); // WebPFree of the assembled buffer, if any
    WebPMuxDelete(mux);
    return result;
}

std::optional<QByteArray> WebPEncoder::exifResolution(double dpi)
{
    const double scaled = std::round(dpi * 1000.0); // std::round: halves away from zero
    if (!std::isfinite(scaled) || scaled < 0 ||
        scaled > double(std::numeric_limits<std::uint32_t>::max()))
        return std::nullopt;
    const auto numerator = std::uint32_t(scaled);

    QByteArray out;
    out.reserve(66);
    out.append("II", 2);
    putU16(out, 42);
    putU32(out, 8);      // first directory
    putU16(out, 3);      // entries
    putU16(out, 0x011A); // XResolution, RATIONAL, 1 value at offset 50
    putU16(out, 5);
    putU32(out, 1);
    putU32(out, 50);
    putU16(out, 0x011B); // YResolution, RATIONAL, 1 value at offset 58
    putU16(out, 5);
    putU32(out, 1);
    putU32(out, 58);
    putU16(out, 0x0128); // ResolutionUnit, SHORT, value 2 (inch) inline
    putU16(out, 3);
    putU32(out, 1);
    putU16(out, 2);
    putU16(out, 0);
    putU32(out, 0); // no next directory
    putU32(out, numerator);
    putU32(out, 1000);
    putU32(out, numerator);
    putU32(out, 1000);
    return out;
}

} // namespace snapkin
