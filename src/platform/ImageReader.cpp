#include "platform/ImageReader.h"

#include "platform/L10n.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace snapkin::platform {

QString userMessage(ImageReadError error)
{
    switch (error) {
    case ImageReadError::notFound: return L10n::text("The file doesn't exist.");
    case ImageReadError::unreadable: return L10n::text("The file isn't an image that Snapkin can read, or it is damaged.");
    case ImageReadError::tooLarge: return L10n::text("The image is too large to open.");
    }
    return {};
}

namespace {

std::expected<QImage, ImageReadError> readFrom(QImageReader& reader, const ImageReadLimits& limits)
{
    reader.setAutoTransform(true);
    reader.setAllocationLimit(limits.allocationLimitMB);
    const QSize declared = reader.size();
    if (declared.isValid()
        && static_cast<qint64>(declared.width()) * declared.height() > limits.maxPixels) {
        return std::unexpected(ImageReadError::tooLarge);
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        // Qt reports an allocation refusal as an invalid image; tell it apart by the size.
        if (declared.isValid()
            && static_cast<qint64>(declared.width()) * declared.height() * 4
                > static_cast<qint64>(limits.allocationLimitMB) * 1024 * 1024) {
            return std::unexpected(ImageReadError::tooLarge);
        }
        return std::unexpected(ImageReadError::unreadable);
    }
    if (static_cast<qint64>(image.width()) * image.height() > limits.maxPixels) {
        return std::unexpected(ImageReadError::tooLarge);
    }
    return image;
}

} // namespace

std::expected<QImage, ImageReadError> readImage(const QString& path, ImageReadLimits limits)
{
    if (!QFileInfo::exists(path)) return std::unexpected(ImageReadError::notFound);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return readFrom(reader, limits);
}

std::expected<QImage, ImageReadError> readImage(const QByteArray& data, ImageReadLimits limits)
{
    QByteArray copy = data; // QBuffer needs a non-const array; the bytes stay shared
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly)) return std::unexpected(ImageReadError::unreadable);
    QImageReader reader(&buffer);
    return readFrom(reader, limits);
}

} // namespace snapkin::platform
