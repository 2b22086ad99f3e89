#include "platform/PngEncoder.h"

#include "platform/Argb32View.h"

#include <QRgb>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace snapkin::platform {

namespace {

constexpr int kWindowSize = 32768; // deflate's history: the dictionary of each band
// Smaller bands cost more in flushes and priming than they gain in parallelism.
constexpr qsizetype kMinBandBytes = 512 * 1024;
// zlib counts one call's input and output in 32 bits.
constexpr qsizetype kMaxBandBytes = qsizetype(1) << 30;
constexpr qsizetype kMaxIdatChunk = 1 << 20;

enum Filter : std::uint8_t { filterNone = 0, filterSub = 1, filterUp = 2, filterPaeth = 4 };

void putU32(QByteArray& out, std::uint32_t v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

void putChunk(QByteArray& out, const char type[4], const char* data, qsizetype size)
{
    putU32(out, std::uint32_t(size));
    const qsizetype start = out.size();
    out.append(type, 4);
    if (size > 0) out.append(data, size);
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef*>(out.constData() + start), uInt(size + 4));
    putU32(out, std::uint32_t(crc));
}

// One row of the image as PNG samples: RGB, or RGBA with the alpha divided out.
void packRow(const QRgb* src, int width, bool withAlpha, bool premultiplied, std::uint8_t* dst)
{
    if (!withAlpha) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = src[x];
            dst[0] = std::uint8_t(qRed(p));
            dst[1] = std::uint8_t(qGreen(p));
            dst[2] = std::uint8_t(qBlue(p));
            dst += 3;
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const QRgb p = src[x];
        const int a = qAlpha(p);
        const QRgb u = !premultiplied || a == 255 ? p : a == 0 ? 0u : qUnpremultiply(p);
        dst[0] = std::uint8_t(qRed(u));
        dst[1] = std::uint8_t(qGreen(u));
        dst[2] = std::uint8_t(qBlue(u));
        dst[3] = std::uint8_t(a);
        dst += 4;
    }
}

inline int paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

inline int magnitude(std::uint8_t v)
{
    return v < 128 ? v : 256 - v;
}

// Chooses and applies the filter of one row; `prev` holds the previous row's samples (zeros above
// the first row), `out` receives the filter byte and the filtered samples.
//
// Screenshots are mostly flat colour and repeated glyphs, which deflate matches best unfiltered:
// there a pixel equal to its left or upper neighbour costs nothing. Photo-like rows are cheaper as
// small differences. So each filter's cost is the sum of its residuals' magnitudes, while the
// unfiltered cost counts only the pixels that repeat neither neighbour, at their smallest
// residual plus a fixed price for the match they break. Measured on screenshots this is smaller
// than both "always unfiltered" and the classic minimum-sum heuristic. The costs are estimated on
// a quarter of the row (runs of 32 pixels in every 128), which chooses almost as well at a
// quarter of the price.
template <int Bpp>
void filterRow(const std::uint8_t* cur, const std::uint8_t* prev, int width, std::uint8_t* out)
{
    constexpr int kRun = 32, kStride = 128;
    std::int64_t costSub = 0, costUp = 0, costPaeth = 0, costNone = 0;
    for (int start = 0; start < width; start += kStride) {
        const int end = std::min(width, start + kRun);
        for (int px = start; px < end; ++px) {
            const qsizetype i = qsizetype(px) * Bpp;
            int pixSub = 0, pixUp = 0, pixPaeth = 0;
            bool sameLeft = px > 0;
            bool sameUp = true;
            for (int c = 0; c < Bpp; ++c) {
                const qsizetype k = i + c;
                const int x = cur[k];
                const int a = px > 0 ? cur[k - Bpp] : 0;
                const int b = prev[k];
                const int d = px > 0 ? prev[k - Bpp] : 0;
                pixSub += magnitude(std::uint8_t(x - a));
                pixUp += magnitude(std::uint8_t(x - b));
                pixPaeth += magnitude(std::uint8_t(x - paethPredictor(a, b, d)));
                sameLeft = sameLeft && x == a;
                sameUp = sameUp && x == b;
            }
            costSub += pixSub;
            costUp += pixUp;
            costPaeth += pixPaeth;
            if (!sameLeft && !sameUp) costNone += std::min({pixSub, pixUp, pixPaeth}) + 8 * Bpp;
        }
    }
    std::uint8_t chosen = filterNone;
    std::int64_t best = costNone;
    if (costSub < best) {
        best = costSub;
        chosen = filterSub;
    }
    if (costUp < best) {
        best = costUp;
        chosen = filterUp;
    }
    if (costPaeth < best) chosen = filterPaeth;

    out[0] = chosen;
    std::uint8_t* dst = out + 1;
    const qsizetype rowBytes = qsizetype(width) * Bpp;
    switch (chosen) {
    case filterNone:
        std::memcpy(dst, cur, size_t(rowBytes));
        break;
    case filterSub:
        for (qsizetype k = 0; k < Bpp; ++k)
            dst[k] = cur[k];
        for (qsizetype k = Bpp; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - cur[k - Bpp]);
        break;
    case filterUp:
        for (qsizetype k = 0; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - prev[k]);
        break;
    default:
        for (qsizetype k = 0; k < Bpp; ++k)
            dst[k] = std::uint8_t(cur[k] - prev[k]);
        for (qsizetype k = Bpp; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - paethPredictor(cur[k - Bpp], prev[k], prev[k - Bpp]));
        break;
    }
}

struct Band {
    int firstRow = 0;
    int rowCount = 0;
    QByteArray compressed;
    uLong adler = 0;
    qsizetype rawSize = 0;
    bool ok = false;
};

struct Job {
    const QImage* image = nullptr;
    bool withAlpha = false;
    bool premultiplied = true;
    int bpp = 3;
    qsizetype rowBytes = 0;
    int level = 6;
};

// Filtered rows [from, to) into `out` (1 + rowBytes each).
void filterRows(const Job& job, int from, int to, std::vector<std::uint8_t>& out)
{
    const int width = job.image->width();
    std::vector<std::uint8_t> a(size_t(job.rowBytes)), b(size_t(job.rowBytes), 0);
    std::uint8_t* prev = b.data();
    std::uint8_t* cur = a.data();
    if (from > 0)
        packRow(reinterpret_cast<const QRgb*>(job.image->constScanLine(from - 1)), width,
                job.withAlpha, job.premultiplied, prev);
    out.resize(size_t(to - from) * size_t(job.rowBytes + 1));
    for (int y = from; y < to; ++y) {
        packRow(reinterpret_cast<const QRgb*>(job.image->constScanLine(y)), width, job.withAlpha,
                job.premultiplied, cur);
        std::uint8_t* dst = out.data() + size_t(y - from) * size_t(job.rowBytes + 1);
        if (job.bpp == 4)
            filterRow<4>(cur, prev, width, dst);
        else
            filterRow<3>(cur, prev, width, dst);
        std::swap(cur, prev);
    }
}

void compressBandOrThrow(const Job& job, Band& band)
{
    std::vector<std::uint8_t> rows;
    filterRows(job, band.firstRow, band.firstRow + band.rowCount, rows);
    band.rawSize = qsizetype(rows.size());
    band.adler = adler32(adler32(0, nullptr, 0), rows.data(), uInt(rows.size()));

    z_stream zs{};
    if (deflateInit2(&zs, job.level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return;
    if (band.firstRow > 0) {
        // The previous band's tail, recomputed here: filtering is a pure function of two rows.
        const int dictRows = int(std::min<qsizetype>(
            band.firstRow, (kWindowSize + job.rowBytes) / (job.rowBytes + 1) + 1));
        std::vector<std::uint8_t> dict;
        filterRows(job, band.firstRow - dictRows, band.firstRow, dict);
        const size_t take = std::min<size_t>(dict.size(), kWindowSize);
        deflateSetDictionary(&zs, dict.data() + dict.size() - take, uInt(take));
    }
    const bool last = band.firstRow + band.rowCount == job.image->height();
    const uLong bound = deflateBound(&zs, uLong(rows.size())) + 64;
    band.compressed.resize(qsizetype(bound));
    zs.next_in = rows.data();
    zs.avail_in = uInt(rows.size());
    zs.next_out = reinterpret_cast<Bytef*>(band.compressed.data());
    zs.avail_out = uInt(bound);
    const int rc = deflate(&zs, last ? Z_FINISH : Z_SYNC_FLUSH);
    band.ok = (last ? rc == Z_STREAM_END : rc == Z_OK) && zs.avail_in == 0;
    band.compressed.resize(qsizetype(bound - zs.avail_out));
    deflateEnd(&zs);
}

// Runs on pool threads: an allocation failure marks the band failed instead of crossing threads.
void compressBand(const Job& job, Band& band)
{
    try {
        compressBandOrThrow(job, band);
    } catch (const std::bad_alloc&) {
        band.ok = false;
    }
}

bool anyTranslucent(const QImage& image)
{
    if (!image.hasAlphaChannel()) return false;
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint32_t all = 0xff000000u;
        for (int x = 0; x < width; ++x)
            all &= row[x];
        if ((all >> 24) != 0xffu) return true;
    }
    return false;
}

} // namespace

std::optional<QByteArray> PngEncoder::encode(const QImage& source, const Options& options)
{
    try {
        return encodeOrThrow(source, options);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<QByteArray> PngEncoder::encodeOrThrow(const QImage& source, const Options& options)
{
    if (source.isNull()) return std::nullopt;
    const QImage image = argb32View(source);
    if (image.isNull()) return std::nullopt;

    Job job;
    job.image = &image;
    job.premultiplied = image.format() != QImage::Format_ARGB32;
    job.withAlpha = anyTranslucent(image);
    job.bpp = job.withAlpha ? 4 : 3;
    job.rowBytes = qsizetype(image.width()) * job.bpp;
    job.level = std::clamp(options.compressionLevel, 0, 9);

    // Bands: enough to keep every core busy, none so small that flushes and priming dominate.
    const qsizetype rawTotal = (job.rowBytes + 1) * image.height();
    const int threads = std::max(1, QThread::idealThreadCount());
    const int byWork = int(std::max<qsizetype>(1, rawTotal / kMinBandBytes));
    const int bySize = int((rawTotal + kMaxBandBytes - 1) / kMaxBandBytes);
    const int bandCount =
        std::clamp(std::max(std::min(byWork, threads * 2), bySize), 1, image.height());
    std::vector<Band> bands(static_cast<size_t>(bandCount));
    for (int i = 0; i < bandCount; ++i) {
        bands[size_t(i)].firstRow = int(qint64(image.height()) * i / bandCount);
        bands[size_t(i)].rowCount =
            int(qint64(image.height()) * (i + 1) / bandCount) - bands[size_t(i)].firstRow;
    }
    if (bandCount == 1 || !options.useAllCores) {
        for (Band& band : bands)
            compressBand(job, band);
    } else {
        QtConcurrent::blockingMap(bands, [&job](Band& band) { compressBand(job, band); });
    }

    QByteArray stream;
    qsizetype streamSize = 6;
    for (const Band& band : bands) {
        if (!band.ok) return std::nullopt;
        streamSize += band.compressed.size();
    }
    stream.reserve(streamSize);
    // zlib header: deflate with a 32 KiB window, no preset dictionary, the level class as zlib
    // records it, and check bits making the 16-bit header a multiple of 31.
    const int levelClass = job.level < 2 ? 0 : job.level < 6 ? 1 : job.level == 6 ? 2 : 3;
    int flags = levelClass << 6;
    flags += 31 - (0x78 * 256 + flags) % 31;
    stream.append(char(0x78));
    stream.append(char(flags));
    uLong adler = bands.front().adler;
    for (size_t i = 0; i < bands.size(); ++i) {
        stream.append(bands[i].compressed);
        if (i > 0) adler = adler32_combine(adler, bands[i].adler, z_off_t(bands[i].rawSize));
    }
    putU32(stream, std::uint32_t(adler));

    QByteArray out;
    out.reserve(stream.size() + stream.size() / kMaxIdatChunk * 12 + 128);
    out.append("\x89PNG\r\n\x1a\n", 8);

    QByteArray ihdr;
    putU32(ihdr, std::uint32_t(image.width()));
    putU32(ihdr, std::uint32_t(image.height()));
    ihdr.append(char(8));                                 // bits per channel
    ihdr.append(char(job.withAlpha ? 6 : 2));             // RGBA or RGB
    ihdr.append(char(0)).append(char(0)).append(char(0)); // deflate, adaptive filters, no interlace
    putChunk(out, "IHDR", ihdr.constData(), ihdr.size());

    if (std::isfinite(options.dpi) && options.dpi > 0) {
        const double ppm = std::round(options.dpi / 0.0254);
        if (ppm >= 1 && ppm <= double(std::numeric_limits<std::int32_t>::max())) {
            QByteArray phys;
            putU32(phys, std::uint32_t(ppm));
            putU32(phys, std::uint32_t(ppm));
            phys.append(char(1)); // unit: metre
            putChunk(out, "pHYs", phys.constData(), phys.size());
        }
    }

    for (qsizetype at = 0; at < stream.size(); at += kMaxIdatChunk) {
        putChunk(out, "IDAT", stream.constData() + at, std::min(kMaxIdatChunk, stream.size() - at));
    }
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace snapkin::platform
