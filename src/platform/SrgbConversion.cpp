#include "platform/SrgbConversion.h"

#include "platform/BandedConversion.h"

#include <QColorSpace>

namespace snapkin::platform {

bool convertToSrgb(QImage& image)
{
    if (image.isNull()) return true;
    const QColorSpace profile = image.colorSpace();
    if (!profile.isValid()) return true;
    static const QColorSpace srgb(QColorSpace::SRgb);
    if (profile == srgb) return true;
    // A band at a time on this thread: never a wait for a thread that can't be started.
    return convertToColorSpaceInBands(image, srgb);
}

} // namespace snapkin::platform
