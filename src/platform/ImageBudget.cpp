#include "platform/ImageBudget.h"

#include "platform/BandedConversion.h"
#include "platform/ImageProbes.h"
#include "platform/SrgbConversion.h"

#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <new>

namespace snapkin::platform {

bool ImageBudget::admits(QSize size)
{
    return size.width() > 0 && size.height() > 0 &&
           qint64(size.width()) * size.height() <= maxPixels;
}

namespace {

std::expected<BaseImage, ImageReadError> acceptOrThrow(QImage image, qint64 maxPixels)
{
    if (image.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    if (image.width() <= 0 || image.height() <= 0 ||
        qint64(image.width()) * image.height() > maxPixels)
        return std::unexpected(ImageReadError::tooLarge);
    // Before the conversion to premultiplied pixels, which would cost precision in the
    // colour transform. Decoded images come here unshared, so this works in place.
    if (!convertToSrgb(image)) return std::unexpected(ImageReadError::outOfMemory);
    // One copy of the pixels at most, and no conversion on Qt's thread pool (which waits for
    // ever when its threads can't start): opaque pixels (0xffRRGGBB) are premultiplied already,
    // so only the format changes; straight alpha is premultiplied where it lies; any other
    // format is converted a band at a time.
    if (image.format() == QImage::Format_RGB32)
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    else if (image.format() == QImage::Format_ARGB32 && !premultiplyInPlace(image))
        return std::unexpected(ImageReadError::outOfMemory);
    else if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image = convertedInBands(image, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    BaseImage converted(image);
    if (converted.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    return converted;
}

// A conversion's buffers that can't be had throw where its image comes back null; both are
// memory that ran out.
std::expected<BaseImage, ImageReadError> acceptWithin(QImage image, qint64 maxPixels)
{
    try {
        return acceptOrThrow(std::move(image), maxPixels);
    } catch (const std::bad_alloc&) {
        return std::unexpected(ImageReadError::outOfMemory);
    }
}

std::expected<BaseImage, ImageReadError> accepted(std::expected<QImage, ImageReadError> image)
{
    if (!image) return std::unexpected(image.error());
    return ImageBudget::accept(std::move(*image));
}

} // namespace

std::expected<BaseImage, ImageReadError> ImageBudget::accept(QImage image)
{
    return acceptWithin(std::move(image), maxPixels);
}

qint64 ImageBudget::documentImagePixelLimit(const QByteArray& png)
{
    const auto header = imageprobe::pngHeader(png);
    if (!header) return maxPixels;
    const auto [width, height, depth, colourType] = *header;
    const int samples = colourType == 2 ? 3 : colourType == 6 ? 4 : colourType == 3 ? 1 : 0;
    if (depth != 8 || samples == 0 || width == 0 || height == 0 || width > quint32(maxOwnSide) ||
        height > quint32(maxOwnSide))
        return maxPixels;
    const qint64 pixels = qint64(width) * height;
    const qint64 rowBytes = qint64(height) * (1 + qint64(width) * samples);
    if (pixels > maxOwnPixels || rowBytes > 1032 * qint64(png.size())) return maxPixels;
    return std::max(pixels, maxPixels);
}

std::expected<BaseImage, ImageReadError> ImageBudget::decodeDocumentImage(const QByteArray& png)
{
    if (png.size() > maxOwnEncodedBytes) return std::unexpected(ImageReadError::tooLarge);
    const qint64 limit = documentImagePixelLimit(png);
    // Told from the header alone, so that a short file declaring a large image is too large
    // rather than damaged.
    if (const auto header = imageprobe::pngHeader(png);
        header && imageprobe::pixelsOver(header->width, header->height, limit))
        return std::unexpected(ImageReadError::tooLarge);
    if (limit == maxPixels) return decode(png);
    // The decoder's own buffers as the budget allows them for a budget-sized image: three
    // pictures' worth.
    ImageReadLimits within;
    within.maxPixels = limit;
    within.allocationLimitMB = int(3 * 4 * limit / (1024 * 1024)) + 1;
    auto image = readImage(png, within);
    if (!image) return std::unexpected(image.error());
    return acceptWithin(std::move(*image), limit);
}

std::expected<BaseImage, ImageReadError> ImageBudget::decode(const QString& path)
{
    // The reader's default limits are the budget.
    const QFileInfo info(path);
    if (info.isFile() && info.size() > maxEncodedBytes)
        return std::unexpected(ImageReadError::tooLarge);
    return accepted(readImage(path));
}

std::expected<BaseImage, ImageReadError> ImageBudget::decode(QIODevice& device)
{
    if (device.size() > maxEncodedBytes) return std::unexpected(ImageReadError::tooLarge);
    return accepted(readImage(device));
}

std::expected<BaseImage, ImageReadError> ImageBudget::decode(const QByteArray& bytes)
{
    if (bytes.size() > maxEncodedBytes) return std::unexpected(ImageReadError::tooLarge);
    return accepted(readImage(bytes));
}

} // namespace snapkin::platform
