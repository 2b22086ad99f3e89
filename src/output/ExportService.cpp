#include "output/ExportService.h"

#include "platform/ImageFilters.h"

#include "output/WebPEncoder.h"
#include "platform/BmpEncoder.h"
#include "platform/GifEncoder.h"
#include "platform/JpegEncoder.h"
#include "platform/L10n.h"
#include "platform/PdfEncoder.h"
#include "platform/PngEncoder.h"
#include "platform/TiffEncoder.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <new>

namespace snapkin {

using platform::L10n;

ExportService::ExportService(Clock clock) : m_clock(std::move(clock)) {}

std::optional<QByteArray> ExportService::data(const platform::BaseImage& image, ExportFormat format,
                                              std::optional<double> quality)
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
        return platform::PngEncoder::encode(image, options);
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
    return platform::ImageFilters::onWhite(image);
}

int ExportService::jpegQualityPercent(double quality)
{
    if (!std::isfinite(quality)) return std::isinf(quality) && quality > 0 ? 100 : 0;
    return int(std::lround(std::clamp(quality * 100.0, 0.0, 100.0)));
}

QString ExportService::withFormatExtension(const QString& path, ExportFormat format)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString name = info.fileName();
    const auto named = suffix.isEmpty() || suffix.size() == name.size() - 1
                           ? std::nullopt
                           : exportFormatFromExtension(suffix);
    if (named == format) return path;
    QString stem = path;
    if (named) stem.chop(suffix.size() + 1);
    return stem + QLatin1Char('.') + ext(format);
}

QString ExportService::encodingFailureReason(const QImage& image, ExportFormat format)
{
    if (format == ExportFormat::webp &&
        (image.width() > WebPEncoder::kMaxSide || image.height() > WebPEncoder::kMaxSide)) {
        return L10n::format("WebP images can be at most %lld pixels on a side.",
                            qint64(WebPEncoder::kMaxSide));
    }
    return L10n::format("The image couldn't be encoded as %@.", label(format));
}

} // namespace snapkin
