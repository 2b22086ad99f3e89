#include "platform/ImageFilters.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

namespace snapkin::platform {

namespace {

// Below this many pixels a filter runs on the calling thread: starting tasks costs more.
constexpr qint64 kParallelThreshold = 160 * 160;

QImage premultiplied(const QImage& image)
{
    if (image.format() == QImage::Format_ARGB32_Premultiplied) return image;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Runs fn(begin, end) over [0, count) in contiguous ranges, on the global pool when the work is
// large enough to pay for it.
template <typename Fn>
void parallelRanges(int count, qint64 pixels, Fn&& fn)
{
    if (count <= 0) return;
    const int threads = std::max(1, QThread::idealThreadCount());
    if (pixels < kParallelThreshold || threads == 1 || count == 1) {
        fn(0, count);
        return;
    }
    const int parts = std::min(count, threads * 3);
    std::vector<std::pair<int, int>> ranges;
    ranges.reserve(parts);
    for (int i = 0; i < parts; ++i) {
        const int begin = int(qint64(count) * i / parts);
        const int end = int(qint64(count) * (i + 1) / parts);
        if (end > begin) ranges.emplace_back(begin, end);
    }
    QtConcurrent::blockingMap(ranges, [&fn](const std::pair<int, int>& r) { fn(r.first, r.second); });
}

// Fixed-point reciprocal of a window size, so each output is a multiply and a shift. Using one
// factor for all four channels keeps a colour channel at or below its alpha after rounding.
struct Divider {
    explicit Divider(std::uint32_t window)
        : factor((std::uint64_t(1) << 32) / window)
    {
    }
    std::uint8_t operator()(std::uint32_t sum) const
    {
        return std::uint8_t(std::min<std::uint64_t>((sum * factor + (std::uint64_t(1) << 31)) >> 32,
                                                     255));
    }
    std::uint64_t factor;
};

// One box pass of radius r along a line of n pixels (4 bytes each), edges extended.
// `stride` is the distance in bytes between consecutive pixels of the line.
void boxLine(const std::uint8_t* src, std::uint8_t* dst, int n, int r, std::ptrdiff_t stride)
{
    if (n <= 0) return;
    const Divider divide(std::uint32_t(2 * r + 1));
    std::array<std::uint32_t, 4> sum{};
    const std::uint8_t* first = src;
    const std::uint8_t* last = src + std::ptrdiff_t(n - 1) * stride;
    // Window [-r, r] around pixel 0 with clamped indices.
    const int inside = std::min(r, n - 1);
    for (int c = 0; c < 4; ++c) sum[c] = std::uint32_t(first[c]) * std::uint32_t(r + 1);
    for (int i = 1; i <= inside; ++i) {
        const std::uint8_t* p = src + std::ptrdiff_t(i) * stride;
        for (int c = 0; c < 4; ++c) sum[c] += p[c];
    }
    if (r > n - 1) {
        const std::uint32_t extra = std::uint32_t(r - (n - 1));
        for (int c = 0; c < 4; ++c) sum[c] += std::uint32_t(last[c]) * extra;
    }
    for (int x = 0; x < n; ++x) {
        std::uint8_t* out = dst + std::ptrdiff_t(x) * stride;
        for (int c = 0; c < 4; ++c) out[c] = divide(sum[c]);
        const int addIndex = std::min(x + r + 1, n - 1);
        const int removeIndex = std::max(x - r, 0);
        const std::uint8_t* add = src + std::ptrdiff_t(addIndex) * stride;
        const std::uint8_t* remove = src + std::ptrdiff_t(removeIndex) * stride;
        for (int c = 0; c < 4; ++c) sum[c] += std::uint32_t(add[c]) - std::uint32_t(remove[c]);
    }
}

// A vertical box pass over columns [c0, c1), walking rows so memory is read row by row.
void boxColumns(const QImage& src, QImage& dst, int c0, int c1, int r)
{
    const int h = src.height();
    const int width = c1 - c0;
    const Divider divide(std::uint32_t(2 * r + 1));
    std::vector<std::uint32_t> sum(std::size_t(width) * 4, 0);
    auto row = [&](int y) { return src.constScanLine(y) + std::ptrdiff_t(c0) * 4; };
    {
        const std::uint8_t* top = row(0);
        for (int i = 0; i < width * 4; ++i) sum[i] = std::uint32_t(top[i]) * std::uint32_t(r + 1);
        const int inside = std::min(r, h - 1);
        for (int y = 1; y <= inside; ++y) {
            const std::uint8_t* p = row(y);
            for (int i = 0; i < width * 4; ++i) sum[i] += p[i];
        }
        if (r > h - 1) {
            const std::uint32_t extra = std::uint32_t(r - (h - 1));
            const std::uint8_t* bottom = row(h - 1);
            for (int i = 0; i < width * 4; ++i) sum[i] += std::uint32_t(bottom[i]) * extra;
        }
    }
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = dst.scanLine(y) + std::ptrdiff_t(c0) * 4;
        for (int i = 0; i < width * 4; ++i) out[i] = divide(sum[i]);
        const std::uint8_t* add = row(std::min(y + r + 1, h - 1));
        const std::uint8_t* remove = row(std::max(y - r, 0));
        for (int i = 0; i < width * 4; ++i) sum[i] += std::uint32_t(add[i]) - std::uint32_t(remove[i]);
    }
}

// Box radii of three passes whose combined variance matches sigma² (the usual construction:
// widths wl and wl + 2, odd, mixed so that the variances add up).
std::array<int, 3> boxRadiiForGauss(double sigma)
{
    constexpr int n = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int wl = int(std::floor(ideal));
    if (wl % 2 == 0) --wl;
    wl = std::max(wl, 1);
    const int wu = wl + 2;
    const double mIdeal = (12.0 * sigma * sigma - n * wl * wl - 4.0 * n * wl - 3.0 * n) / (-4.0 * wl - 4.0);
    const int m = int(std::lround(mIdeal));
    std::array<int, 3> radii{};
    for (int i = 0; i < n; ++i) radii[i] = ((i < m ? wl : wu) - 1) / 2;
    return radii;
}

} // namespace

QImage ImageFilters::gaussianBlur(const QImage& image, double radius)
{
    if (image.isNull()) return {};
    QImage src = premultiplied(image);
    if (!(radius >= 0.5)) return src; // also catches NaN
    const double sigma = std::min(radius, maxBlurRadius);
    const std::array<int, 3> radii = boxRadiiForGauss(sigma);
    const int w = src.width();
    const int h = src.height();
    const qint64 pixels = qint64(w) * h;

    QImage a(w, h, QImage::Format_ARGB32_Premultiplied);
    QImage b(w, h, QImage::Format_ARGB32_Premultiplied);
    if (a.isNull() || b.isNull()) return {};

    // Horizontal: the three passes of a row run back to back in two row buffers.
    parallelRanges(h, pixels, [&](int y0, int y1) {
        std::vector<std::uint8_t> t1(std::size_t(w) * 4), t2(std::size_t(w) * 4);
        for (int y = y0; y < y1; ++y) {
            boxLine(src.constScanLine(y), t1.data(), w, radii[0], 4);
            boxLine(t1.data(), t2.data(), w, radii[1], 4);
            boxLine(t2.data(), a.scanLine(y), w, radii[2], 4);
        }
    });

    // Vertical: column bands, each pass over the whole height.
    constexpr int kBand = 128;
    const int bands = (w + kBand - 1) / kBand;
    auto vertical = [&](const QImage& from, QImage& to, int r) {
        parallelRanges(bands, pixels, [&](int i0, int i1) {
            for (int i = i0; i < i1; ++i)
                boxColumns(from, to, i * kBand, std::min(w, (i + 1) * kBand), r);
        });
    };
    vertical(a, b, radii[0]);
    vertical(b, a, radii[1]);
    vertical(a, b, radii[2]);
    b.setDevicePixelRatio(image.devicePixelRatio());
    return b;
}

QImage ImageFilters::pixelate(const QImage& image, double blockSize, QPointF gridOrigin,
                              const BlockColor& blockColor)
{
    if (image.isNull()) return {};
    const QImage src = premultiplied(image);
    const double size = std::isfinite(blockSize) ? std::max(blockSize, 1.0) : 1.0;
    const double ox = std::isfinite(gridOrigin.x()) ? gridOrigin.x() : 0.0;
    const double oy = std::isfinite(gridOrigin.y()) ? gridOrigin.y() : 0.0;
    const int w = src.width();
    const int h = src.height();

    // A pixel belongs to the block containing its centre. Spans are runs of pixels in one block.
    struct Span {
        int begin, end, index;
    };
    auto spans = [size](int n, double origin) {
        std::vector<Span> out;
        for (int i = 0; i < n; ++i) {
            const int index = int(std::floor((i + 0.5 - origin) / size));
            if (out.empty() || out.back().index != index)
                out.push_back({i, i + 1, index});
            else
                out.back().end = i + 1;
        }
        return out;
    };
    const std::vector<Span> columns = spans(w, ox);
    const std::vector<Span> rows = spans(h, oy);

    QImage dst(w, h, QImage::Format_ARGB32_Premultiplied);
    if (dst.isNull()) return {};
    parallelRanges(int(rows.size()), qint64(w) * h, [&](int r0, int r1) {
        std::vector<std::uint64_t> sums(columns.size() * 4);
        std::vector<QRgb> colors(columns.size());
        for (int r = r0; r < r1; ++r) {
            const Span& row = rows[std::size_t(r)];
            std::fill(sums.begin(), sums.end(), 0);
            for (int y = row.begin; y < row.end; ++y) {
                const std::uint8_t* line = src.constScanLine(y);
                for (std::size_t c = 0; c < columns.size(); ++c) {
                    std::uint64_t* s = &sums[c * 4];
                    for (int x = columns[c].begin; x < columns[c].end; ++x) {
                        const std::uint8_t* p = line + std::ptrdiff_t(x) * 4;
                        s[0] += p[0];
                        s[1] += p[1];
                        s[2] += p[2];
                        s[3] += p[3];
                    }
                }
            }
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const std::uint64_t count =
                    std::uint64_t(columns[c].end - columns[c].begin) * std::uint64_t(row.end - row.begin);
                std::array<std::uint8_t, 4> mean{};
                for (int k = 0; k < 4; ++k) mean[k] = std::uint8_t((sums[c * 4 + k] + count / 2) / count);
                QRgb pixel;
                std::memcpy(&pixel, mean.data(), sizeof pixel);
                colors[c] = blockColor ? blockColor(pixel, QPoint(columns[c].index, row.index)) : pixel;
            }
            for (int y = row.begin; y < row.end; ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(dst.scanLine(y));
                for (std::size_t c = 0; c < columns.size(); ++c)
                    std::fill(line + columns[c].begin, line + columns[c].end, colors[c]);
            }
        }
    });
    dst.setDevicePixelRatio(image.devicePixelRatio());
    return dst;
}

QImage ImageFilters::unsharpMask(const QImage& image, double radius, double intensity)
{
    if (image.isNull()) return {};
    const QImage src = premultiplied(image);
    if (!std::isfinite(intensity) || intensity == 0.0) return src;
    const QImage blurred = gaussianBlur(src, radius);
    if (blurred.isNull()) return {};
    const int w = src.width();
    const int h = src.height();
    QImage dst(w, h, QImage::Format_ARGB32_Premultiplied);
    if (dst.isNull()) return {};
    const float k = float(std::clamp(intensity, -1000.0, 1000.0));
    parallelRanges(h, qint64(w) * h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const QRgb* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
            const QRgb* b = reinterpret_cast<const QRgb*>(blurred.constScanLine(y));
            QRgb* d = reinterpret_cast<QRgb*>(dst.scanLine(y));
            for (int x = 0; x < w; ++x) {
                auto sharpen = [k](int v, int blur, int hi) {
                    const float out = float(v) + k * float(v - blur);
                    return std::clamp(int(std::lround(out)), 0, hi);
                };
                const int alpha = sharpen(qAlpha(s[x]), qAlpha(b[x]), 255);
                d[x] = qRgba(sharpen(qRed(s[x]), qRed(b[x]), alpha),
                             sharpen(qGreen(s[x]), qGreen(b[x]), alpha),
                             sharpen(qBlue(s[x]), qBlue(b[x]), alpha), alpha);
            }
        }
    });
    dst.setDevicePixelRatio(image.devicePixelRatio());
    return dst;
}

} // namespace snapkin::platform
