#include "output/FrameShadow.h"

#include "output/FrameCornerMask.h"
#include "platform/ImageFilters.h"

#include <QPainter>
#include <mutex>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>

namespace snapkin {

namespace {

struct Key {
    std::uint64_t serial = 0;
    QSizeF imageSize;
    double cornerRadius = 0;
    double blurRadius = 0;
    double offsetY = 0;
    double opacity = 0;
    double deviceScale = 0;
    bool opaque = false;
    bool operator==(const Key&) const = default;
};

struct Entry {
    Key key;
    FrameShadow::Rendition rendition;
};

// A standard mutex: ThreadSanitizer sees through it.
std::mutex cacheMutex;
std::deque<Entry> cache; // newest first
constexpr size_t cacheCapacity = 2;
constexpr qint64 maxCachedPixels = 4'000'000;

} // namespace

FrameShadow FrameShadow::of(const QRectF& imageRect, double strength)
{
    const double s = std::isfinite(strength) ? std::clamp(strength, 0.0, 1.0) : 0.0;
    double m = std::min(imageRect.x(), imageRect.y());
    if (!std::isfinite(m)) m = 0;
    const double r = std::clamp(0.45 * m, 6.0, 60.0);
    FrameShadow shadow;
    shadow.blurRadius = r * s;
    shadow.offsetY = 0.4 * shadow.blurRadius;
    shadow.opacity = s > 0 ? 0.15 + 0.3 * s : 0.0;
    return shadow;
}

std::optional<FrameShadow::Rendition> FrameShadow::render(const platform::BaseImage& image,
                                                          QSizeF imageSize, double cornerRadius,
                                                          const FrameShadow& shadow,
                                                          double deviceScale, bool imageIsOpaque)
{
    const double w = imageSize.width();
    const double h = imageSize.height();
    if (!shadow.isVisible() || !(w > 0 && h > 0) || !std::isfinite(w * h) ||
        !(deviceScale > 0 && std::isfinite(deviceScale)) || (!imageIsOpaque && image.isNull()))
        return Rendition{};

    // An opaque image casts the shadow of its outline alone, whatever its pixels.
    const std::uint64_t serial = imageIsOpaque ? 0 : image.serial();
    const bool cacheable = imageIsOpaque || serial != 0;
    const Key key{serial,         imageSize,      cornerRadius, shadow.blurRadius,
                  shadow.offsetY, shadow.opacity, deviceScale,  imageIsOpaque};
    {
        const std::lock_guard lock(cacheMutex);
        for (const Entry& entry : cache)
            if (cacheable && entry.key == key) return entry.rendition;
    }

    const double sigmaDevice = shadow.blurRadius / 2 * deviceScale;
    const int downsample =
        std::clamp(static_cast<int>(std::floor(sigmaDevice / 2)), 1, maxDownsample);
    // Low-resolution pixels per point. A deeply zoomed editor would otherwise ask for a
    // silhouette far larger than the screen; past the cap the shadow is computed coarser and
    // drawn enlarged.
    const double lowScale =
        std::min(deviceScale / downsample, std::sqrt(maxShadowPixels / (w * h)));
    const double sigma = shadow.blurRadius / 2 * lowScale;
    const int pad = static_cast<int>(std::ceil(3 * sigma)) + 2;
    const double lowW = std::ceil(w * lowScale) + 2.0 * pad;
    const double lowH = std::ceil(h * lowScale) + 2.0 * pad;
    if (!(lowW * lowH <= 2 * maxShadowPixels)) return std::nullopt;

    QImage low(static_cast<int>(lowW), static_cast<int>(lowH), QImage::Format_ARGB32_Premultiplied);
    if (low.isNull()) return std::nullopt;
    low.fill(Qt::transparent);
    {
        QPainter p(&low);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.translate(pad, pad);
        p.scale(lowScale, lowScale);
        const QPainterPath outline = roundedOutline(QRectF(0, 0, w, h), cornerRadius);
        if (imageIsOpaque) {
            p.fillPath(outline, Qt::black);
        } else {
            p.setClipPath(outline);
            p.drawImage(QRectF(0, 0, w, h), image.image());
        }
        // Keep the silhouette's alpha, in the shadow's colour.
        p.resetTransform();
        p.setClipping(false);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(low.rect(), QColor::fromRgbF(0, 0, 0, static_cast<float>(shadow.opacity)));
    }
    QImage blurred = platform::ImageFilters::gaussianBlur(low, sigma);
    if (blurred.isNull()) return std::nullopt;

    Rendition rendition;
    rendition.pixels = blurred;
    rendition.target =
        QRectF(-pad / lowScale, -pad / lowScale + shadow.offsetY, lowW / lowScale, lowH / lowScale);

    if (cacheable && lowW * lowH <= maxCachedPixels) {
        const std::lock_guard lock(cacheMutex);
        cache.push_front(Entry{key, rendition});
        if (cache.size() > cacheCapacity) cache.pop_back();
    }
    return rendition;
}

} // namespace snapkin
