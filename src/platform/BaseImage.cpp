#include "platform/BaseImage.h"

#include <atomic>

namespace snapkin::platform {

BaseImage::BaseImage(const QImage& pixels, std::optional<QSizeF> pointSize)
{
    if (pixels.isNull()) return;
    m_image = pixels.format() == QImage::Format_ARGB32_Premultiplied
                  ? pixels
                  : pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (m_image.isNull()) return; // out of memory: stays null rather than half made
    const double dpr = pixels.devicePixelRatio() > 0 ? pixels.devicePixelRatio() : 1.0;
    m_image.setDevicePixelRatio(1.0);
    m_pointSize = pointSize.value_or(QSizeF(m_image.width() / dpr, m_image.height() / dpr));
    static std::atomic<std::uint64_t> serials{0};
    m_serial = ++serials;
}

double BaseImage::pixelScale() const
{
    if (!(m_pointSize.width() > 0) || m_image.isNull()) return 1.0;
    return m_image.width() / m_pointSize.width();
}

BaseImage BaseImage::withPointSize(QSizeF pointSize) const
{
    BaseImage copy = *this;
    copy.m_pointSize = pointSize;
    return copy;
}

} // namespace snapkin::platform
