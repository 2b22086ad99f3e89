#pragma once

#include "output/ExportFormat.h"
#include "platform/BaseImage.h"

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin {

// Turns a flattened image into the bytes of a file in one of the export formats. Every route
// out of the editor (saving, dragging, copying, the router's save to a folder) encodes here.
// Stateless: calls never interfere; encoding runs on the caller's thread.
class ExportService {
public:
    static ExportService& shared();

    // The file's bytes, or nothing when the image cannot be encoded (a null image, a size the
    // format cannot hold, an encoder failure); nothing is reported here, callers decide what the
    // user sees. A missing or non-finite quality means the format's remembered one; the quality
    // matters only for JPEG and WebP. JPEG and BMP are composited on white first; the other
    // formats keep transparency (GIF as on/off). The resolution written is 72 dpi times the
    // image's pixel scale; a PDF page has the image's size in points.
    std::optional<QByteArray> data(const platform::BaseImage& image, ExportFormat format,
                                   std::optional<double> quality = std::nullopt) const;

    // The image composited on opaque white, or the same image when it has no transparency.
    static QImage opaque(const QImage& image);

    // A quality fraction (0...1) as libjpeg's percent scale, the one every JPEG tool shows:
    // 0.9 -> 90. Rounded, clamped to 0...100; not a number counts as 0.
    static int jpegQualityPercent(double quality);

private:
    static std::optional<QByteArray> encode(const platform::BaseImage& image, ExportFormat format,
                                            std::optional<double> quality);
};

} // namespace snapkin
