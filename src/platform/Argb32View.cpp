#include "platform/Argb32View.h"

namespace snapkin::platform {

QImage argb32View(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        break;
    }
    if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB32);
    return image.convertToFormat(image.pixelFormat().premultiplied() == QPixelFormat::Premultiplied
                                     ? QImage::Format_ARGB32_Premultiplied
                                     : QImage::Format_ARGB32);
}

} // namespace snapkin::platform
