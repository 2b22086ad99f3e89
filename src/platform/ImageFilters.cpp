#include "platform/ImageFilters.h"

#include "platform/Argb32View.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
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
template <typename Fn> void parallelRanges(int count, qint64 pixels, Fn&& fn)
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
    QtConcurrent::blockingMap(ranges,
                              [&fn](const std::pair<int, int>& r) { fn(r.first, r.second); });
}

// acc[i] += bytes[i] for n values. Written in fixed-size chunks over non-aliasing pointers so
// the compiler turns it into vector instructions at the project's optimisation level.
void accumulate(std::uint32_t* __restrict acc, const std::uint8_t* __restrict bytes, int n)
{
    int i = 0;
    for (; i + 16 <= n; i += 16)
        for (int k = 0; k < 16; ++k)
            acc[i + k] += bytes[i + k];
    for (; i < n; ++i)
        acc[i] += bytes[i];
}

// out[i] = round((a[i]·(256 − w) + b[i]·w) / 256) for n bytes.
void blendRows(std::uint8_t* __restrict out, const std::uint8_t* __restrict a,
               const std::uint8_t* __restrict b, std::uint32_t w, int n)
{
    const std::uint32_t v = 256 - w;
    int i = 0;
    for (; i + 16 <= n; i += 16)
        for (int k = 0; k < 16; ++k)
            out[i + k] = std::uint8_t((a[i + k] * v + b[i + k] * w + 128) >> 8);
    for (; i < n; ++i)
        out[i] = std::uint8_t((a[i] * v + b[i] * w + 128) >> 8);
}

// sum[i] += add[i] − remove[i] for n values (a running window moving on by one).
void slide(std::uint32_t* __restrict sum, const std::uint8_t* __restrict add,
           const std::uint8_t* __restrict remove, int n)
{
    int i = 0;
    for (; i + 16 <= n; i += 16)
        for (int k = 0; k < 16; ++k)
            sum[i + k] += std::uint32_t(add[i + k]) - std::uint32_t(remove[i + k]);
    for (; i < n; ++i)
        sum[i] += std::uint32_t(add[i]) - std::uint32_t(remove[i]);
}

// Fixed-point reciprocal of a window size, so each output is a multiply and a shift. Using one
// factor for all four channels keeps a colour channel at or below its alpha after rounding.
struct Divider {
    explicit Divider(std::uint32_t window) : factor((std::uint64_t(1) << 32) / window) {}
    std::uint8_t operator()(std::uint32_t sum) const
    {
        return std::uint8_t(
            std::min<std::uint64_t>((sum * factor + (std::uint64_t(1) << 31)) >> 32, 255));
    }
    std::uint64_t factor;
};

// One box pass of radius r along a line of n pixels (4 bytes each), edges extended.
void boxLine(const std::uint8_t* src, std::uint8_t* dst, int n, int r)
{
    if (n <= 0) return;
    const Divider divide(std::uint32_t(2 * r + 1));
    std::array<std::uint32_t, 4> sum{};
    const std::uint8_t* first = src;
    const std::uint8_t* last = src + std::ptrdiff_t(n - 1) * 4;
    // Window [-r, r] around pixel 0 with clamped indices.
    const int inside = std::min(r, n - 1);
    for (int c = 0; c < 4; ++c)
        sum[c] = std::uint32_t(first[c]) * std::uint32_t(r + 1);
    for (int i = 1; i <= inside; ++i) {
        const std::uint8_t* p = src + std::ptrdiff_t(i) * 4;
        for (int c = 0; c < 4; ++c)
            sum[c] += p[c];
    }
    if (r > n - 1) {
        const std::uint32_t extra = std::uint32_t(r - (n - 1));
        for (int c = 0; c < 4; ++c)
            sum[c] += std::uint32_t(last[c]) * extra;
    }
    for (int x = 0; x < n; ++x) {
        std::uint8_t* out = dst + std::ptrdiff_t(x) * 4;
        for (int c = 0; c < 4; ++c)
            out[c] = divide(sum[c]);
        const int addIndex = std::min(x + r + 1, n - 1);
        const int removeIndex = std::max(x - r, 0);
        const std::uint8_t* add = src + std::ptrdiff_t(addIndex) * 4;
        const std::uint8_t* remove = src + std::ptrdiff_t(removeIndex) * 4;
        for (int c = 0; c < 4; ++c)
            sum[c] += std::uint32_t(add[c]) - std::uint32_t(remove[c]);
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
        for (int i = 0; i < width * 4; ++i)
            sum[i] = std::uint32_t(top[i]) * std::uint32_t(r + 1);
        const int inside = std::min(r, h - 1);
        for (int y = 1; y <= inside; ++y) {
            const std::uint8_t* p = row(y);
            for (int i = 0; i < width * 4; ++i)
                sum[i] += p[i];
        }
        if (r > h - 1) {
            const std::uint32_t extra = std::uint32_t(r - (h - 1));
            const std::uint8_t* bottom = row(h - 1);
            for (int i = 0; i < width * 4; ++i)
                sum[i] += std::uint32_t(bottom[i]) * extra;
        }
    }
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = dst.scanLine(y) + std::ptrdiff_t(c0) * 4;
        for (int i = 0; i < width * 4; ++i)
            out[i] = divide(sum[i]);
        slide(sum.data(), row(std::min(y + r + 1, h - 1)), row(std::max(y - r, 0)), width * 4);
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
    const double mIdeal =
        (12.0 * sigma * sigma - n * wl * wl - 4.0 * n * wl - 3.0 * n) / (-4.0 * wl - 4.0);
    const int m = int(std::lround(mIdeal));
    std::array<int, 3> radii{};
    for (int i = 0; i < n; ++i)
        radii[i] = ((i < m ? wl : wu) - 1) / 2;
    return radii;
}

} // namespace

namespace {

// Three box passes of the given standard deviation, at full resolution.
QImage boxBlur3(const QImage& src, double sigma)
{
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
            boxLine(src.constScanLine(y), t1.data(), w, radii[0]);
            boxLine(t1.data(), t2.data(), w, radii[1]);
            boxLine(t2.data(), a.scanLine(y), w, radii[2]);
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
    return b;
}

// The mean of each f × f block (blocks cut by the edge average the pixels they hold).
QImage downsample(const QImage& src, int f)
{
    const int w = src.width();
    const int h = src.height();
    const int sw = (w + f - 1) / f;
    const int sh = (h + f - 1) / f;
    QImage out(sw, sh, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return {};
    parallelRanges(sh, qint64(w) * h, [&](int r0, int r1) {
        std::vector<std::uint32_t> columns(std::size_t(w) * 4);
        for (int sy = r0; sy < r1; ++sy) {
            const int y0 = sy * f;
            const int y1 = std::min(h, y0 + f);
            std::fill(columns.begin(), columns.end(), 0u);
            for (int y = y0; y < y1; ++y)
                accumulate(columns.data(), src.constScanLine(y), w * 4);
            std::uint8_t* o = out.scanLine(sy);
            for (int sx = 0; sx < sw; ++sx) {
                const int x0 = sx * f;
                const int x1 = std::min(w, x0 + f);
                const std::uint32_t count = std::uint32_t((x1 - x0) * (y1 - y0));
                for (int c = 0; c < 4; ++c) {
                    std::uint32_t sum = 0;
                    for (int x = x0; x < x1; ++x)
                        sum += columns[std::size_t(x) * 4 + c];
                    o[sx * 4 + c] = std::uint8_t((sum + count / 2) / count);
                }
            }
        }
    });
    return out;
}

// Bilinear enlargement of a downsampled picture back to w × h (pixel centres aligned, edges
// extended): each small row is widened once, then every output row blends two widened rows.
// Weights are shared by all four channels and each stage rounds monotonically, so
// premultiplied data stays valid.
QImage upsample(const QImage& small, int w, int h, int f)
{
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return {};
    const int sw = small.width();
    const int sh = small.height();
    struct Tap {
        int i0, i1;
        std::uint32_t weight; // of i1, out of 256
    };
    auto taps = [f](int n, int smallN) {
        std::vector<Tap> t(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const double v = (i + 0.5) / f - 0.5;
            const double fl = std::floor(v);
            const int i0 = std::clamp(int(fl), 0, smallN - 1);
            const int i1 = std::clamp(int(fl) + 1, 0, smallN - 1);
            t[std::size_t(i)] = {i0, i1, std::uint32_t(std::lround((v - fl) * 256))};
        }
        return t;
    };
    const std::vector<Tap> xs = taps(w, sw);
    const std::vector<Tap> ys = taps(h, sh);

    const std::size_t rowBytes = std::size_t(w) * 4;
    std::vector<std::uint8_t> wide(rowBytes * std::size_t(sh));
    parallelRanges(sh, qint64(w) * sh, [&](int r0, int r1) {
        for (int sy = r0; sy < r1; ++sy) {
            const std::uint8_t* in = small.constScanLine(sy);
            std::uint8_t* o = wide.data() + rowBytes * std::size_t(sy);
            for (int x = 0; x < w; ++x) {
                const Tap& t = xs[std::size_t(x)];
                const std::uint8_t* p0 = in + t.i0 * 4;
                const std::uint8_t* p1 = in + t.i1 * 4;
                for (int c = 0; c < 4; ++c)
                    o[x * 4 + c] =
                        std::uint8_t((p0[c] * (256 - t.weight) + p1[c] * t.weight + 128) >> 8);
            }
        }
    });
    parallelRanges(h, qint64(w) * h, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const Tap& t = ys[std::size_t(y)];
            blendRows(out.scanLine(y), wide.data() + rowBytes * std::size_t(t.i0),
                      wide.data() + rowBytes * std::size_t(t.i1), t.weight, int(rowBytes));
        }
    });
    return out;
}

} // namespace

QImage ImageFilters::gaussianBlur(const QImage& image, double radius)
{
    if (image.isNull()) return {};
    const QImage src = premultiplied(image);
    if (!(radius >= 0.5)) return src; // also catches NaN
    const double sigma = std::min(radius, maxBlurRadius);
    QImage out;
    // A wide blur leaves nothing finer than a few pixels per sigma: it is computed on a
    // picture reduced by f and enlarged again, which costs about two copies whatever the
    // radius. The reduction and the enlargement spread by f²/4 in variance; the small blur
    // makes up the rest.
    constexpr double kSigmaPerStep = 4.0;
    const int f = int(std::floor(sigma / kSigmaPerStep));
    if (f >= 2) {
        const QImage small = downsample(src, f);
        const double rest = std::sqrt(std::max(sigma * sigma - f * f / 4.0, 1.0)) / f;
        const QImage blurred = small.isNull() ? QImage() : boxBlur3(small, rest);
        if (!blurred.isNull()) out = upsample(blurred, src.width(), src.height(), f);
    } else {
        out = boxBlur3(src, sigma);
    }
    if (out.isNull()) return {};
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
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
        std::vector<std::uint32_t> columnSums(std::size_t(w) * 4);
        std::vector<std::uint64_t> sums(columns.size() * 4);
        std::vector<QRgb> colors(columns.size());
        for (int r = r0; r < r1; ++r) {
            const Span& row = rows[std::size_t(r)];
            // Sums per pixel column over the block row (in bands, so 32 bits never overflow),
            // then per block.
            std::fill(sums.begin(), sums.end(), 0);
            constexpr int kBandRows = 1 << 20;
            for (int band = row.begin; band < row.end; band += kBandRows) {
                std::fill(columnSums.begin(), columnSums.end(), 0u);
                for (int y = band; y < std::min(row.end, band + kBandRows); ++y)
                    accumulate(columnSums.data(), src.constScanLine(y), w * 4);
                for (std::size_t c = 0; c < columns.size(); ++c)
                    for (int x = columns[c].begin; x < columns[c].end; ++x)
                        for (int k = 0; k < 4; ++k)
                            sums[c * 4 + k] += columnSums[std::size_t(x) * 4 + k];
            }
            for (std::size_t c = 0; c < columns.size(); ++c) {
                const std::uint64_t count = std::uint64_t(columns[c].end - columns[c].begin) *
                                            std::uint64_t(row.end - row.begin);
                std::array<std::uint8_t, 4> mean{};
                for (int k = 0; k < 4; ++k)
                    mean[k] = std::uint8_t((sums[c * 4 + k] + count / 2) / count);
                QRgb pixel;
                std::memcpy(&pixel, mean.data(), sizeof pixel);
                colors[c] =
                    blockColor ? blockColor(pixel, QPoint(columns[c].index, row.index)) : pixel;
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

QImage ImageFilters::onWhite(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel()) return image;
    const QImage source = premultiplied(image);
    if (!anyTranslucent(source)) return image;

    QImage out(source.size(), QImage::Format_RGB32);
    if (out.isNull()) return image;
    out.setDotsPerMeterX(source.dotsPerMeterX());
    out.setDotsPerMeterY(source.dotsPerMeterY());
    out.setDevicePixelRatio(source.devicePixelRatio());
    // Over white, a premultiplied channel c with alpha a becomes c + (255 - a), exactly.
    for (int y = 0; y < source.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < source.width(); ++x) {
            const QRgb p = src[x];
            const int lift = 255 - qAlpha(p);
            dst[x] = qRgb(std::min(255, qRed(p) + lift), std::min(255, qGreen(p) + lift),
                          std::min(255, qBlue(p) + lift));
        }
    }
    return out;
}

} // namespace snapkin::platform
