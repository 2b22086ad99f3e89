#include "output/OpaqueImages.h"

#include <mutex>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <utility>

namespace snapkin {

bool OpaqueImages::scan(const QImage& image)
{
    if (image.isNull()) return false;
    if (!image.hasAlphaChannel()) return true;
    QImage argb = image;
    if (argb.format() != QImage::Format_ARGB32_Premultiplied &&
        argb.format() != QImage::Format_ARGB32)
        argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (argb.isNull()) return false;
    const int w = argb.width();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        // AND of all pixels: alpha stays 0xFF only if every alpha is 0xFF. Branch-free per
        // row, so the compiler vectorises it.
        QRgb all = 0xFFFFFFFFu;
        for (int x = 0; x < w; ++x)
            all &= line[x];
        if ((all >> 24) != 0xFFu) return false;
    }
    return true;
}

bool OpaqueImages::isOpaque(const platform::BaseImage& image)
{
    // A standard mutex: ThreadSanitizer sees through it.
    static std::mutex mutex;
    static std::deque<std::pair<std::uint64_t, bool>> known; // newest first
    constexpr size_t capacity = 32;
    const std::uint64_t serial = image.serial();
    {
        const std::lock_guard lock(mutex);
        const auto it = std::find_if(known.begin(), known.end(),
                                     [&](const auto& entry) { return entry.first == serial; });
        if (it != known.end()) return it->second;
    }
    const bool opaque = scan(image.image());
    const std::lock_guard lock(mutex);
    if (serial != 0) {
        known.emplace_front(serial, opaque);
        if (known.size() > capacity) known.pop_back();
    }
    return opaque;
}

} // namespace snapkin
