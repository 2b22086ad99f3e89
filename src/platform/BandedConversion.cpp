#include "platform/BandedConversion.h"

#include <algorithm>
#include <cstring>

namespace snapkin::platform {

namespace {

// Qt splits a conversion among threads from 65,536 pixels (or bytes) on, and never splits a
// single row: bands under that, or of one row, stay on the calling thread.
constexpr qint64 bandPixels = 16'384;

int bandRows(const QImage& image)
{
    return int(std::max<qint64>(1, bandPixels / std::max(image.width(), 1)));
}

// Rows [y, y + rows) of `image` as an image over the same memory, read-only.
QImage bandOf(const QImage& image, int y, int rows)
{
    QImage band(image.constScanLine(y), image.width(), rows, image.bytesPerLine(), image.format());
    if (image.colorCount() > 0) band.setColorTable(image.colorTable());
    band.setColorSpace(image.colorSpace());
    return band;
}

void copyRows(const QImage& band, QImage& into, int y)
{
    const size_t bytes = size_t(std::min(band.bytesPerLine(), into.bytesPerLine()));
    for (int row = 0; row < band.height(); ++row)
        std::memcpy(into.scanLine(y + row), band.constScanLine(row), bytes);
}

void keepMetadata(const QImage& from, QImage& into)
{
    into.setDotsPerMeterX(from.dotsPerMeterX());
    into.setDotsPerMeterY(from.dotsPerMeterY());
    into.setDevicePixelRatio(from.devicePixelRatio());
}

} // namespace

bool premultiplyInPlace(QImage& image)
{
    if (image.format() != QImage::Format_ARGB32) return false;
    // Detaches: a shared image is copied here, and that copy may fail.
    if (!image.bits()) return false;
    for (int y = 0; y < image.height(); ++y) {
        auto* pixel = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (QRgb* end = pixel + image.width(); pixel != end; ++pixel) {
            if (qAlpha(*pixel) != 255) *pixel = qPremultiply(*pixel);
        }
    }
    return image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage convertedInBands(const QImage& image, QImage::Format format)
{
    if (image.isNull()) return {};
    QImage result(image.size(), format);
    if (result.isNull()) return result;
    keepMetadata(image, result);
    result.setColorSpace(image.colorSpace());
    const int step = bandRows(image);
    for (int y = 0; y < image.height(); y += step) {
        const int rows = std::min(step, image.height() - y);
        const QImage converted = bandOf(image, y, rows).convertToFormat(format);
        if (converted.isNull() || converted.format() != format) return {};
        copyRows(converted, result, y);
    }
    return result;
}

bool convertToColorSpaceInBands(QImage& image, const QColorSpace& target)
{
    if (image.isNull() || !image.colorSpace().isValid() || !target.isValid()) return true;
    // A palette's colours are converted, not its pixels: no work worth splitting.
    if (image.colorCount() > 0) {
        image.convertToColorSpace(target);
        return !image.isNull();
    }
    const auto failed = [&] {
        image = QImage();
        return false;
    };
    QImage result; // made only when the conversion changes the format
    const int step = bandRows(image);
    for (int y = 0; y < image.height(); y += step) {
        const int rows = std::min(step, image.height() - y);
        const QImage converted = bandOf(image, y, rows).convertedToColorSpace(target);
        if (converted.isNull()) return failed();
        if (result.isNull() && converted.format() == image.format()) {
            // In place: detaches first, which for a shared image is a copy that may fail.
            if (!image.bits()) return failed();
            copyRows(converted, image, y);
            continue;
        }
        // The format changes with the first band or never: one format converts alike throughout.
        if (y > 0 && result.isNull()) return failed();
        if (result.isNull()) {
            result = QImage(image.size(), converted.format());
            if (result.isNull()) return failed();
            keepMetadata(image, result);
        }
        copyRows(converted, result, y);
    }
    if (!result.isNull()) image = std::move(result);
    image.setColorSpace(target);
    return true;
}

} // namespace snapkin::platform
