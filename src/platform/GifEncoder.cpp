#include "platform/GifEncoder.h"

#include "platform/ColorQuantizer.h"

#include <gif_lib.h>

#include <limits>

namespace snapkin::platform {

namespace {

int appendBytes(GifFileType* gif, const GifByteType* data, int size)
{
    auto* out = static_cast<QByteArray*>(gif->UserData);
    out->append(reinterpret_cast<const char*>(data), size);
    return size;
}

} // namespace

std::optional<QByteArray> GifEncoder::encode(const QImage& image)
{
    constexpr int kMaxSide = std::numeric_limits<std::uint16_t>::max();
    if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide)
        return std::nullopt;
    ColorQuantizer::Result quantized = ColorQuantizer::quantize(image, 256);
    if (quantized.palette.isEmpty()) return std::nullopt;

    // A GIF colour table holds a power of two entries, at least two.
    int bits = 1;
    while ((1 << bits) < quantized.palette.size())
        ++bits;
    std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
        GifMakeMapObject(1 << bits, nullptr), GifFreeMapObject);
    if (!map) return std::nullopt;
    for (int i = 0; i < map->ColorCount; ++i) {
        const QRgb c = i < quantized.palette.size() ? quantized.palette[i] : 0u;
        map->Colors[i] = {GifByteType(qRed(c)), GifByteType(qGreen(c)), GifByteType(qBlue(c))};
    }

    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendBytes, &error);
    if (!gif) return std::nullopt;
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), bits, 0, map.get()) == GIF_OK;
    if (ok && quantized.transparentIndex >= 0) {
        // Graphic control: transparency on, no delay, the transparent palette index.
        const GifByteType control[4] = {0x01, 0, 0, GifByteType(quantized.transparentIndex)};
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
    }
    if (ok)
        ok = EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height(); ++y) {
        GifPixelType* row = quantized.indices.data() + size_t(y) * size_t(image.width());
        ok = EGifPutLine(gif, row, image.width()) == GIF_OK;
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) ok = false; // frees gif in every case
    if (!ok || out.isEmpty()) return std::nullopt;
    return out;
}

} // namespace snapkin::platform
