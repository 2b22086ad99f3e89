#pragma once

#include "model/EnumCoding.h"

#include <QString>

#include <array>
#include <optional>
#include <string_view>

namespace snapkin {

namespace platform {
class Defaults;
}

// The image formats in which an edited capture leaves the editor, in menu order.
enum class ExportFormat { png, jpeg, webp, pdf, tiff, gif, bmp };

// The stored names ("png", "jpeg", ...) are what keys::exportFormat holds.
template <> struct EnumTable<ExportFormat> {
    static constexpr std::array cases{ExportFormat::png, ExportFormat::jpeg, ExportFormat::webp,
                                      ExportFormat::pdf, ExportFormat::tiff, ExportFormat::gif,
                                      ExportFormat::bmp};
    static constexpr std::array<std::string_view, 7> names{"png",  "jpeg", "webp", "pdf",
                                                           "tiff", "gif",  "bmp"};
};

inline constexpr auto allExportFormats = allCases<ExportFormat>;

// The quality a lossy format has when none is stored (or the stored one is unusable).
inline constexpr double kFallbackQuality = 0.9;

// The format a file name's extension asks for ("shot.JPG" -> jpeg), matched without regard to
// case against each format's extension and raw value, plus "tif"; no format otherwise.
std::optional<ExportFormat> exportFormatFromExtension(const QString& fileNameOrExtension);

// Shown in menus: "PNG", "JPEG", "WebP", "PDF", "TIFF", "GIF", "BMP".
QString label(ExportFormat format);
// File extension without the dot; "jpg" for JPEG, the raw value otherwise.
QString ext(ExportFormat format);
QString mimeType(ExportFormat format);
// True for JPEG and WebP: they store a quality, and the save options show it.
bool isLossy(ExportFormat format);
// The remembered encoder quality, 0...1 (1 best). For JPEG and WebP the stored number,
// else 0.9 when the key is missing, not a number or not finite; it is clamped to 0...1 so no
// stored value can reach an encoder out of range. Every other format: 1, without reading.
double quality(ExportFormat format, const platform::Defaults& defaults);
double quality(ExportFormat format);

// The format remembered under keys::exportFormat, PNG when it is missing or unknown.
ExportFormat storedExportFormat(const platform::Defaults& defaults);

} // namespace snapkin
