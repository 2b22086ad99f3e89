#include "output/ExportFormat.h"

#include "platform/Defaults.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace snapkin {

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
    // In declaration order.
    static constexpr std::array<const char*, 7> types{"image/png",       "image/jpeg", "image/webp",
                                                      "application/pdf", "image/tiff", "image/gif",
                                                      "image/bmp"};
    return QString::fromLatin1(types[std::size_t(format)]);
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
    return fromRaw<ExportFormat>(defaults.get(keys::exportFormat)).value_or(ExportFormat::png);
}

} // namespace snapkin
