#include "output/ExportService.h"

#include "output/WebPEncoder.h"
#include "platform/BmpEncoder.h"
#include "platform/GifEncoder.h"
#include "platform/JpegEncoder.h"
#include "platform/PdfEncoder.h"
#include "platform/PngEncoder.h"
#include "platform/TiffEncoder.h"

#include <QRgb>

#include <algorithm>
#include <cmath>
#include <new>

namespace snapkin {

ExportService& ExportService::shared()
{
    static ExportService instance;
    return instance;
}

std::optional<QByteArray> ExportService::data(const platform::BaseImage& image, ExportFormat format,
                                              std::optional<double> quality) const
{
    // A capture too large for the memory left is a failed export, not a crash.
    try {
        return encode(image, format, quality);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<QByteArray> ExportService::encode(const platform::BaseImage& image,
                                                ExportFormat format, std::optional<double> quality)
{
    if (image.isNull()) return std::nullopt;
    const double q = quality && std::isfinite(*quality) ? *quality : snapkin::quality(format);
    const double dpi = 72.0 * image.pixelScale();

    switch (format) {
    case ExportFormat::png: {
        platform::PngEncoder::Options options;
        options.dpi = dpi;
        return platform::PngEncoder::encode(image.image(), options);
    }
    case ExportFormat::jpeg:
        return platform::JpegEncoder::encode(opaque(image.image()), jpegQualityPercent(q), dpi);
    case ExportFormat::webp:
        return WebPEncoder::encode(image.image(), q, dpi);
    case ExportFormat::pdf: {
        const QSizeF points = image.pointSize().width() > 0 && image.pointSize().height() > 0
                                  ? image.pointSize()
                                  : QSizeF(image.pixelSize());
        return platform::PdfEncoder::encode(image.image(), points);
    }
    case ExportFormat::tiff:
        return platform::TiffEncoder::encode(image.image(), dpi);
    case ExportFormat::gif:
        return platform::GifEncoder::encode(image.image());
    case ExportFormat::bmp:
        return platform::BmpEncoder::encode(opaque(image.image()), dpi);
    }
    return std::nullopt;
}

QImage ExportService::opaque(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel()) return image;
    const QImage source = image.format() == QImage::Format_ARGB32_Premultiplied
                              ? image
                              : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int width = source.width();
    bool translucent = false;
    for (int y = 0; y < source.height() && !translucent; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (qAlpha(row[x]) != 255) {
                translucent = true;
                break;
            }
        }
    }
    if (!translucent) return image;

    QImage out(source.size(), QImage::Format_RGB32);
    if (out.isNull()) return image;
    out.setDotsPerMeterX(source.dotsPerMeterX());
    out.setDotsPerMeterY(source.dotsPerMeterY());
    out.setDevicePixelRatio(source.devicePixelRatio());
    // Over white, a premultiplied channel c with alpha a becomes c + (255 - a), exactly.
    for (int y = 0; y < source.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = src[x];
            const int lift = 255 - qAlpha(p);
            dst[x] = qRgb(std::min(255, qRed(p) + lift), std::min(255, qGreen(p) + lift),
                          std::min(255, qBlue(p) + lift));
        }
    }
    return out;
}

int ExportService::jpegQualityPercent(double quality)
{
    if (!std::isfinite(quality)) return std::isinf(quality) && quality > 0 ? 100 : 0;
    return int(std::lround(std::clamp(quality * 100.0, 0.0, 100.0)));
}

} // namespace snapkin
