#include "platform/SrgbConversion.h"

#include <QColorSpace>

namespace snapkin::platform {

bool convertToSrgb(QImage& image)
{
    if (image.isNull()) return true;
    const QColorSpace profile = image.colorSpace();
    if (!profile.isValid()) return true;
    static const QColorSpace srgb(QColorSpace::SRgb);
    if (profile == srgb) return true;
    image.convertToColorSpace(srgb);
    return !image.isNull();
}

} // namespace snapkin::platform
