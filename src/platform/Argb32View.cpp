#include "platform/Argb32View.h"

namespace snapkin::platform {

QImage argb32View(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        break;
    }
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
    return image.convertToFormat(image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied
                                     ? QImage::Format_ARGB32_Premultiplied
                                     : QImage::Format_ARGB32);
}

bool anyTranslucent(const QImage& image)
{
    if (!image.hasAlphaChannel()) return false;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint32_t all = 0xff000000u;
        for (int x = 0; x < width; ++x)
            all &= row[x];
        if ((all >> 24) != 0xffu) return true;
    }
    return false;
}

void packRow(const QRgb* src, int width, bool withAlpha, bool premultiplied, std::uint8_t* dst)
{
    if (!withAlpha) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = src[x];
            dst[0] = std::uint8_t(qRed(p));
            dst[1] = std::uint8_t(qGreen(p));
            dst[2] = std::uint8_t(qBlue(p));
            dst += 3;
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const QRgb p = src[x];
        const int a = qAlpha(p);
        const QRgb u = !premultiplied || a == 255 ? p : a == 0 ? 0u : qUnpremultiply(p);
        dst[0] = std::uint8_t(qRed(u));
        dst[1] = std::uint8_t(qGreen(u));
        dst[2] = std::uint8_t(qBlue(u));
        dst[3] = std::uint8_t(a);
        dst += 4;
    }
}

} // namespace snapkin::platform
