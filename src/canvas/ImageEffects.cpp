#include "canvas/ImageEffects.h"

#include "platform/ImageFilters.h"

#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace snapkin {

namespace {

// Strengths come from documents: anything beyond this gives no different picture (the blur and
// the blocks are already larger than any image), and it keeps the cache key an integer.
constexpr double kMaxStrength = 1000.0;

double effectiveStrength(double strength)
{
    if (std::isnan(strength)) return 1.0;
    return std::clamp(strength, 0.05, kMaxStrength);
}

struct CacheKey {
    std::uint64_t serial;
    double pointWidth;
    int x, y, w, h;
    ObscureStyle style;
    long long strength;
    friend bool operator==(const CacheKey&, const CacheKey&) = default;
};

size_t qHash(const CacheKey& k, size_t seed = 0)
{
    return qHashMulti(seed, k.serial, k.pointWidth, k.x, k.y, k.w, k.h, int(k.style), k.strength);
}

// A well-mixed 64-bit hash of two integers (splitmix64 finaliser).
std::uint64_t mix(std::int64_t x, std::int64_t y)
{
    std::uint64_t z =
        std::uint64_t(x) * 0x9E3779B97F4A7C15ull ^ (std::uint64_t(y) + 0x632BE59BD9B4E019ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Soft light of a foreground s over a background b, both 0..1.
double softLight(double b, double s)
{
    if (s <= 0.5) return b - (1 - 2 * s) * b * (1 - b);
    const double d = b <= 0.25 ? ((16 * b - 12) * b + 4) * b : std::sqrt(b);
    return b + (2 * s - 1) * (d - b);
}

QImage pixelated(const QImage& crop, double strength, double pixelsPerPoint)
{
    const QSizeF size = crop.size();
    const double block = ImageEffects::blockSize(size, strength, pixelsPerPoint);
    const QPointF centre(size.width() / 2, size.height() / 2);
    const QPoint offset = ImageEffects::noiseOffset();
    // Each block gets the mean of the pixels under it (what a box blur of half the block's size
    // sampled at the block's centre gives), then a soft-light grey of its own, so the mean
    // colours cannot be read back exactly from the picture.
    return platform::ImageFilters::pixelate(crop, block, centre, [offset](QRgb mean, QPoint index) {
        const int a = qAlpha(mean);
        if (a == 0) return mean;
        const double grey = ImageEffects::noiseGrey(index, offset);
        auto channel = [&](int premultiplied) {
            const double b = std::min(1.0, double(premultiplied) / a);
            return int(std::lround(softLight(b, grey) * a));
        };
        return qRgba(channel(qRed(mean)), channel(qGreen(mean)), channel(qBlue(mean)), a);
    });
}

} // namespace

struct ImageEffects::Cache::Table {
    QHash<CacheKey, ImageEffects::Region> entries;
    qint64 bytes = 0;
};

ImageEffects::Cache::Cache() : m_table(std::make_unique<Table>()) {}
ImageEffects::Cache::~Cache() = default;

int ImageEffects::Cache::count() const
{
    return int(m_table->entries.size());
}

void ImageEffects::Cache::clear()
{
    m_table->entries.clear();
    m_table->bytes = 0;
}

QPoint ImageEffects::noiseOffset()
{
    static const QPoint offset(int(QRandomGenerator::system()->bounded(4096)),
                               int(QRandomGenerator::system()->bounded(4096)));
    return offset;
}

double ImageEffects::noiseGrey(QPoint block, QPoint offset)
{
    const std::uint64_t h =
        mix(std::int64_t(block.x()) + offset.x(), std::int64_t(block.y()) + offset.y());
    const double r = double(h & 0xff) / 255.0;
    const double g = double((h >> 8) & 0xff) / 255.0;
    const double b = double((h >> 16) & 0xff) / 255.0;
    return 0.08 * (r + g + b) + 0.38;
}

double ImageEffects::blurRadius(QSizeF cropSize, double strength)
{
    const double m = std::min(cropSize.width(), cropSize.height());
    return std::max(m * 0.125 * effectiveStrength(strength), 6.0);
}

double ImageEffects::blockSize(QSizeF cropSize, double strength, double pixelsPerPoint)
{
    const double m = std::min(cropSize.width(), cropSize.height());
    const double s = effectiveStrength(strength);
    return std::max(
        {m / 12.0 * s, 6.0, std::min(14.0 * pixelsPerPoint, m / 2.5) * std::max(s, 1.0)});
}

std::optional<ImageEffects::Region> ImageEffects::obscuredRegion(const platform::BaseImage& source,
                                                                 const QRectF& rect,
                                                                 ObscureStyle style,
                                                                 double strength, Cache* cache)
{
    if (style != ObscureStyle::pixelate && style != ObscureStyle::blur) return std::nullopt;
    // Coordinates far beyond any image cannot be converted to whole numbers safely.
    constexpr double kLimit = 1e9;
    if (!(std::abs(rect.left()) < kLimit && std::abs(rect.top()) < kLimit &&
          std::abs(rect.right()) < kLimit && std::abs(rect.bottom()) < kLimit))
        return std::nullopt;
    // The smallest whole-point rectangle holding it.
    const QRectF whole = rect.normalized().toAlignedRect();
    if (whole.width() < 1 || whole.height() < 1) return std::nullopt;
    if (source.isNull()) return std::nullopt;

    const double s = effectiveStrength(strength);
    const CacheKey key{source.serial(), source.pointSize().width(), int(whole.x()),
                       int(whole.y()),  int(whole.width()),         int(whole.height()),
                       style,           std::llround(s * 100)};
    if (cache) {
        const Cache::Table& c = *cache->m_table;
        if (auto it = c.entries.constFind(key); it != c.entries.constEnd()) return *it;
    }

    const QImage& bitmap = source.image();
    const double ppp = bitmap.width() / std::max(source.pointSize().width(), 1.0);
    const QRectF scaled(whole.x() * ppp, whole.y() * ppp, whole.width() * ppp,
                        whole.height() * ppp);
    const QRect pixels = scaled.toAlignedRect().intersected(bitmap.rect());
    if (pixels.width() < 1 || pixels.height() < 1) return std::nullopt;

    // A read-only view of the region: the filters read the base image's pixels in place and
    // write only their result (the view never outlives `bitmap`, which `source` keeps alive).
    if (bitmap.depth() != 32) return std::nullopt; // base images are always 32-bit
    const QImage crop(bitmap.constBits() + qsizetype(pixels.y()) * bitmap.bytesPerLine() +
                          qsizetype(pixels.x()) * 4,
                      pixels.width(), pixels.height(), bitmap.bytesPerLine(), bitmap.format());
    if (crop.isNull()) return std::nullopt;
    QImage result = style == ObscureStyle::pixelate
                        ? pixelated(crop, s, ppp)
                        : platform::ImageFilters::gaussianBlur(crop, blurRadius(crop.size(), s));
    if (result.isNull()) return std::nullopt;

    Region region{result, whole};
    if (!cache) return region;
    Cache::Table& c = *cache->m_table;
    const qint64 bytes = result.sizeInBytes();
    if (c.entries.size() > maxCacheEntries || c.bytes + bytes > maxCacheBytes) {
        c.entries.clear();
        c.bytes = 0;
    }
    c.entries.insert(key, region);
    c.bytes += bytes;
    return region;
}

} // namespace snapkin
