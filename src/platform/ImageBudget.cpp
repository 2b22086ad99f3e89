#include "platform/ImageBudget.h"

#include "platform/SrgbConversion.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

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

std::expected<BaseImage, ImageReadError> ImageBudget::accept(QImage image)
{
    if (image.isNull() || !admits(image.size())) return std::unexpected(ImageReadError::tooLarge);
    // Before the conversion to premultiplied pixels, which would cost precision in the
    // colour transform. Decoded images come here unshared, so this works in place.
    if (!convertToSrgb(image)) return std::unexpected(ImageReadError::tooLarge);
    BaseImage converted(image);
    // BaseImage converts to ARGB32 premultiplied and stays null when that runs out of memory.
    if (converted.isNull()) return std::unexpected(ImageReadError::tooLarge);
    return converted;
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
