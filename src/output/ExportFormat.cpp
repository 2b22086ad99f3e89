#include "output/ExportFormat.h"

#include "platform/Defaults.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace snapkin {

QString toRaw(ExportFormat format)
{
    switch (format) {
    case ExportFormat::png:
        return QStringLiteral("png");
    case ExportFormat::jpeg:
        return QStringLiteral("jpeg");
    case ExportFormat::webp:
        return QStringLiteral("webp");
    case ExportFormat::pdf:
        return QStringLiteral("pdf");
    case ExportFormat::tiff:
        return QStringLiteral("tiff");
    case ExportFormat::gif:
        return QStringLiteral("gif");
    case ExportFormat::bmp:
        return QStringLiteral("bmp");
    }
    return QStringLiteral("png");
}

std::optional<ExportFormat> exportFormatFromRaw(const QString& raw)
{
    for (ExportFormat format : allExportFormats)
        if (toRaw(format) == raw) return format;
    return std::nullopt;
}

std::optional<ExportFormat> exportFormatFromExtension(const QString& fileNameOrExtension)
{
    QString suffix = fileNameOrExtension.contains(u'.') || fileNameOrExtension.contains(u'/')
                         ? QFileInfo(fileNameOrExtension).suffix()
                         : fileNameOrExtension;
    suffix = suffix.toLower();
    if (suffix == u"tif") return ExportFormat::tiff;
    for (ExportFormat format : allExportFormats)
        if (ext(format) == suffix || toRaw(format) == suffix) return format;
    return std::nullopt;
}

QString label(ExportFormat format)
{
    return format == ExportFormat::webp ? QStringLiteral("WebP") : toRaw(format).toUpper();
}

QString ext(ExportFormat format)
{
    return format == ExportFormat::jpeg ? QStringLiteral("jpg") : toRaw(format);
}

QString mimeType(ExportFormat format)
{
    switch (format) {
    case ExportFormat::png:
        return QStringLiteral("image/png");
    case ExportFormat::jpeg:
        return QStringLiteral("image/jpeg");
    case ExportFormat::webp:
        return QStringLiteral("image/webp");
    case ExportFormat::pdf:
        return QStringLiteral("application/pdf");
    case ExportFormat::tiff:
        return QStringLiteral("image/tiff");
    case ExportFormat::gif:
        return QStringLiteral("image/gif");
    case ExportFormat::bmp:
        return QStringLiteral("image/bmp");
    }
    return QStringLiteral("application/octet-stream");
}

bool isLossy(ExportFormat format)
{
    return format == ExportFormat::jpeg || format == ExportFormat::webp;
}

double quality(ExportFormat format, const platform::Defaults& defaults)
{
    if (!isLossy(format)) return 1.0;
    const auto& key = format == ExportFormat::jpeg ? keys::jpegQuality : keys::webpQuality;
    if (!defaults.isNumber(key)) return kFallbackQuality;
    const double stored = defaults.get(key);
    if (!std::isfinite(stored)) return kFallbackQuality;
    return std::clamp(stored, 0.0, 1.0);
}

double quality(ExportFormat format)
{
    return quality(format, platform::Defaults::standard());
}

ExportFormat storedExportFormat(const platform::Defaults& defaults)
{
    return exportFormatFromRaw(defaults.get(keys::exportFormat)).value_or(ExportFormat::png);
}

} // namespace snapkin
