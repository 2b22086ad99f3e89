#include "platform/ImageBudget.h"

#include "platform/SrgbConversion.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <optional>

namespace snapkin::platform {

bool ImageBudget::admits(QSize size)
{
    return size.width() > 0 && size.height() > 0 &&
           qint64(size.width()) * size.height() <= maxPixels;
}

ImageReadLimits ImageBudget::limits()
{
    // The reader's defaults are the budget.
    return ImageReadLimits{};
}

namespace {

std::expected<BaseImage, ImageReadError> acceptWithin(QImage image, qint64 maxPixels)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
        qint64(image.width()) * image.height() > maxPixels)
        return std::unexpected(ImageReadError::tooLarge);
    // Before the conversion to premultiplied pixels, which would cost precision in the
    // colour transform. Decoded images come here unshared, so this works in place.
    if (!convertToSrgb(image)) return std::unexpected(ImageReadError::tooLarge);
    // Opaque pixels (0xffRRGGBB) are premultiplied already: the format changes, not the bytes,
    // which spares a copy of the whole picture.
    if (image.format() == QImage::Format_RGB32)
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    BaseImage converted(image);
    // BaseImage converts to ARGB32 premultiplied and stays null when that runs out of memory.
    if (converted.isNull()) return std::unexpected(ImageReadError::tooLarge);
    return converted;
}

quint32 bigEndian32(const QByteArray& bytes, qsizetype at)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

// What a PNG's header (the signature, then IHDR) declares.
struct PngHeader {
    quint32 width = 0, height = 0;
    int depth = 0, colourType = 0;
};

std::optional<PngHeader> pngHeader(const QByteArray& png)
{
    static const QByteArray head("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    if (png.size() < 26 || !png.startsWith(head)) return std::nullopt;
    return PngHeader{bigEndian32(png, 16), bigEndian32(png, 20), uchar(png[24]), uchar(png[25])};
}

} // namespace

std::expected<BaseImage, ImageReadError> ImageBudget::accept(QImage image)
{
    return acceptWithin(std::move(image), maxPixels);
}

qint64 ImageBudget::documentImagePixelLimit(const QByteArray& png)
{
    const auto header = pngHeader(png);
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
    if (const auto header = pngHeader(png);
        header && qint64(header->width) * header->height > limit)
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

std::expected<BaseImage, ImageReadError> ImageBudget::decode(QIODevice& device)
{
    if (device.size() > maxEncodedBytes) return std::unexpected(ImageReadError::tooLarge);
    auto image = readImage(device, limits());
    if (!image) return std::unexpected(image.error());
    return accept(std::move(*image));
}

std::expected<BaseImage, ImageReadError> ImageBudget::decode(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) return std::unexpected(ImageReadError::notFound);
    if (!info.isFile()) return std::unexpected(ImageReadError::unreadable);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::unexpected(ImageReadError::unreadable);
    return decode(file);
}

std::expected<BaseImage, ImageReadError> ImageBudget::decode(const QByteArray& bytes)
{
    if (bytes.size() > maxEncodedBytes) return std::unexpected(ImageReadError::tooLarge);
    auto image = readImage(bytes, limits());
    if (!image) return std::unexpected(image.error());
    return accept(std::move(*image));
}

} // namespace snapkin::platform
