#include "platform/BmpEncoder.h"

#include <QBuffer>
#include <QImageWriter>

#include <cmath>

namespace snapkin::platform {

std::optional<QByteArray> BmpEncoder::encode(const QImage& source, double dpi)
{
    if (source.isNull()) return std::nullopt;
    // Qt writes 24-bit rows for an image without alpha.
    QImage image = source.format() == QImage::Format_RGB32
                       ? source
                       : source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;
    if (std::isfinite(dpi) && dpi > 0) {
        const int dotsPerMeter = int(std::lround(std::min(dpi / 0.0254, 1e9)));
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
    }
    QByteArray out;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image) || out.isEmpty()) return std::nullopt;
    return out;
}

} // namespace snapkin::platform
