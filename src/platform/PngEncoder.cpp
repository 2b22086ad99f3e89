#include "platform/PngEncoder.h"

#include "platform/Argb32View.h"

#include <QRgb>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace snapkin::platform {

namespace {

// Smaller bands cost more in flushes and priming than they gain in parallelism.
constexpr qsizetype kMinBandBytes = 512 * 1024;
// Each band in flight holds its filtered rows and a compression buffer as large again, so a
// very large image is cut into bands of at most this size: a few cores' worth of them stay a
// small part of the image's own memory. (zlib also counts one call's bytes in 32 bits.)
constexpr qsizetype kMaxBandBytes = qsizetype(8) << 20;
constexpr qsizetype kMaxIdatChunk = 1 << 20;

enum Filter : std::uint8_t {
    filterNone = 0,
    filterSub = 1,
    filterUp = 2,
    filterAverage = 3,
    filterPaeth = 4
};

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

// Written with selects rather than branches, so that the loops over a row vectorise.
inline int paethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    const int bc = pb <= pc ? b : c;
    return (pa <= pb && pa <= pc) ? a : bc;
}

// A residual read as a signed byte, without its sign: min(v, 256 - v).
inline int magnitude(std::uint8_t v)
{
    return std::min<int>(v, std::uint8_t(-v));
}

// Up to 256 colours of an opaque image, in the order they first appear, and each one's index.
// Screens of text, terminals and plain windows often have so few, and one byte an index
// deflates to far less than three of colour.
class Palette {
public:
    static constexpr int maxColours = 256;

    // Nothing when the image has more colours.
    static std::optional<Palette> of(const QImage& image)
    {
        Palette palette;
        const int width = image.width();
        QRgb last = 0; // no opaque pixel is 0
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < width; ++x) {
                const QRgb p = row[x] | 0xff000000u;
                if (p == last) continue;
                last = p;
                if (!palette.insert(p)) return std::nullopt;
            }
        }
        return palette;
    }

    const std::vector<QRgb>& colours() const { return m_colours; }

    std::uint8_t index(QRgb opaque) const
    {
        for (std::uint32_t slot = hash(opaque);; slot = (slot + 1) & (kSlots - 1)) {
            if (m_keys[slot] == opaque) return m_values[slot];
        }
    }

private:
    static constexpr std::uint32_t kSlots = 1024; // at most a quarter full
    static std::uint32_t hash(QRgb p) { return (p * 0x9E3779B1u) >> 22; }

    bool insert(QRgb opaque)
    {
        std::uint32_t slot = hash(opaque);
        for (; m_keys[slot] != 0; slot = (slot + 1) & (kSlots - 1)) {
            if (m_keys[slot] == opaque) return true;
        }
        if (int(m_colours.size()) == maxColours) return false;
        m_keys[slot] = opaque;
        m_values[slot] = std::uint8_t(m_colours.size());
        m_colours.push_back(opaque);
        return true;
    }

    std::vector<QRgb> m_colours;
    std::vector<QRgb> m_keys = std::vector<QRgb>(kSlots, 0);
    std::vector<std::uint8_t> m_values = std::vector<std::uint8_t>(kSlots, 0);
};

void packPaletteRow(const QRgb* src, int width, const Palette& palette, std::uint8_t* dst)
{
    QRgb last = 0;
    std::uint8_t index = 0;
    for (int x = 0; x < width; ++x) {
        const QRgb p = src[x] | 0xff000000u;
        if (p != last) {
            last = p;
            index = palette.index(p);
        }
        dst[x] = index;
    }
}

// The summed residual magnitudes of bytes [begin, end) of a row under each filter, in the
// order of the filter numbers; begin is at least one pixel into the row.
template <int Bpp>
void addCosts(const std::uint8_t* __restrict cur, const std::uint8_t* __restrict prev,
              qsizetype begin, qsizetype end, std::int64_t costs[5])
{
    int none = 0, sub = 0, up = 0, average = 0, paeth = 0;
    for (qsizetype k = begin; k < end; ++k) {
        const int x = cur[k], a = cur[k - Bpp], b = prev[k], c = prev[k - Bpp];
        none += magnitude(std::uint8_t(x));
        sub += magnitude(std::uint8_t(x - a));
        up += magnitude(std::uint8_t(x - b));
        average += magnitude(std::uint8_t(x - ((a + b) >> 1)));
        paeth += magnitude(std::uint8_t(x - paethPredictor(a, b, c)));
    }
    costs[filterNone] += none;
    costs[filterSub] += sub;
    costs[filterUp] += up;
    costs[filterAverage] += average;
    costs[filterPaeth] += paeth;
}

// The residuals of one row under a filter: `dst` gets rowBytes bytes.
template <int Bpp>
void applyFilter(std::uint8_t filter, const std::uint8_t* __restrict cur,
                 const std::uint8_t* __restrict prev, qsizetype rowBytes,
                 std::uint8_t* __restrict dst)
{
    const qsizetype first = std::min<qsizetype>(Bpp, rowBytes);
    switch (filter) {
    case filterNone:
        std::memcpy(dst, cur, size_t(rowBytes));
        break;
    case filterSub:
        for (qsizetype k = 0; k < first; ++k)
            dst[k] = cur[k];
        for (qsizetype k = Bpp; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - cur[k - Bpp]);
        break;
    case filterUp:
        for (qsizetype k = 0; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - prev[k]);
        break;
    case filterAverage:
        for (qsizetype k = 0; k < first; ++k)
            dst[k] = std::uint8_t(cur[k] - (prev[k] >> 1));
        for (qsizetype k = Bpp; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - ((cur[k - Bpp] + prev[k]) >> 1));
        break;
    default:
        for (qsizetype k = 0; k < first; ++k)
            dst[k] = std::uint8_t(cur[k] - prev[k]);
        for (qsizetype k = Bpp; k < rowBytes; ++k)
            dst[k] = std::uint8_t(cur[k] - paethPredictor(cur[k - Bpp], prev[k], prev[k - Bpp]));
        break;
    }
}

// Chooses and applies the filter of one row; `prev` holds the previous row's samples (zeros above
// the first row), `out` receives the filter byte and the filtered samples.
//
// The filter whose residuals, read as signed bytes, have the smallest sum of magnitudes: small
// residuals are the ones deflate codes cheaply, and flat colour gives zeros under every filter
// but None. The sums are taken over a quarter of the row (runs of 32 pixels in every 128),
// which chooses as well on captures at a quarter of the price: estimating every filter on
// every sample costs more than compressing.
template <int Bpp>
void filterRow(const std::uint8_t* cur, const std::uint8_t* prev, qsizetype rowBytes,
               std::uint8_t* out)
{
    constexpr qsizetype kRun = 32 * Bpp, kStride = 128 * Bpp;
    std::int64_t costs[5] = {};
    for (qsizetype k = 0; k < std::min<qsizetype>(Bpp, rowBytes); ++k) {
        const int x = cur[k], b = prev[k];
        costs[filterNone] += magnitude(std::uint8_t(x));
        costs[filterSub] += magnitude(std::uint8_t(x));
        costs[filterUp] += magnitude(std::uint8_t(x - b));
        costs[filterAverage] += magnitude(std::uint8_t(x - (b >> 1)));
        costs[filterPaeth] += magnitude(std::uint8_t(x - b));
    }
    for (qsizetype start = 0; start < rowBytes; start += kStride) {
        const qsizetype end = std::min(rowBytes, start + kRun);
        addCosts<Bpp>(cur, prev, std::max<qsizetype>(start, Bpp), end, costs);
    }
    std::uint8_t chosen = filterNone;
    for (const Filter filter : {filterSub, filterUp, filterAverage, filterPaeth}) {
        if (costs[filter] < costs[chosen]) chosen = filter;
    }
    out[0] = chosen;
    applyFilter<Bpp>(chosen, cur, prev, rowBytes, out + 1);
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
    int level = 6;                    // below 0: chosen per band by its content
    const Palette* palette = nullptr; // set: one index a pixel
};

void packJobRow(const Job& job, int y, std::uint8_t* dst)
{
    const auto* src = reinterpret_cast<const QRgb*>(job.image->constScanLine(y));
    if (job.palette)
        packPaletteRow(src, job.image->width(), *job.palette, dst);
    else
        packRow(src, job.image->width(), job.withAlpha, job.premultiplied, dst);
}

// Filtered rows [from, to) into `out` (1 + rowBytes each).
void filterRows(const Job& job, int from, int to, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> a(size_t(job.rowBytes)), b(size_t(job.rowBytes), 0);
    std::uint8_t* prev = b.data();
    std::uint8_t* cur = a.data();
    if (from > 0) packJobRow(job, from - 1, prev);
    out.resize(size_t(to - from) * size_t(job.rowBytes + 1));
    for (int y = from; y < to; ++y) {
        packJobRow(job, y, cur);
        std::uint8_t* dst = out.data() + size_t(y - from) * size_t(job.rowBytes + 1);
        if (job.palette) {
            // Indices have no order for differences to follow: palette rows stay unfiltered.
            dst[0] = filterNone;
            std::memcpy(dst + 1, cur, size_t(job.rowBytes));
        } else if (job.bpp == 4) {
            filterRow<4>(cur, prev, job.rowBytes, dst);
        } else {
            filterRow<3>(cur, prev, job.rowBytes, dst);
        }
        std::swap(cur, prev);
    }
}

// libdeflate's level for a band of filtered rows, unless the options fix one. Measured on
// captures of a terminal, an editor and a photo viewer: palette indices take level 7 (a third of
// the bytes, so cheap; level 5 leaves them 4 % above optipng -o2). Colour takes level 5, whose
// lazy matching finds the repeats of text and flat panels (2-5 % smaller than level 4 where
// two thirds or more of the residuals are zero). Where fewer than half are, the band is
// photographic: level 5 gains under 1 % there at half again level 4's time, so it takes 4.
int bandLevel(const Job& job, const std::vector<std::uint8_t>& rows)
{
    if (job.level >= 0) return job.level;
    if (job.palette) return 7;
    const auto zeros = std::count(rows.begin(), rows.end(), std::uint8_t(0));
    return zeros * 2 < qsizetype(rows.size()) ? 4 : 5;
}

// Makes a complete raw deflate stream one that another stream may follow: clears the final flag
// of its last block and appends an empty stored block, which ends on a byte boundary (as a zlib
// sync flush does). The last block is found by inflating the stream block by block.
bool continueAfter(QByteArray& deflate)
{
    z_stream zs{};
    if (inflateInit2(&zs, -15) != Z_OK) return false;
    zs.next_in = reinterpret_cast<Bytef*>(deflate.data());
    zs.avail_in = uInt(deflate.size());
    std::vector<Bytef> sink(64 * 1024); // inflate keeps its own window: the output is not needed
    qint64 lastHeaderBit = 0;
    int unusedBits = -1;
    int rc = Z_OK;
    for (;;) {
        zs.next_out = sink.data();
        zs.avail_out = uInt(sink.size());
        rc = inflate(&zs, Z_BLOCK);
        if (rc != Z_OK) break;
        // At a block boundary: before the final block, where the next header starts; after
        // it, how many bits of the last byte are left over.
        if (zs.data_type & 128) {
            if (zs.data_type & 64)
                unusedBits = zs.data_type & 7;
            else
                lastHeaderBit = qint64(deflate.size() - zs.avail_in) * 8 - (zs.data_type & 7);
        }
    }
    inflateEnd(&zs);
    if (rc != Z_STREAM_END || zs.avail_in != 0 || unusedBits < 0) return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(deflate.data());
    bytes[lastHeaderBit / 8] &= std::uint8_t(~(1u << (lastHeaderBit % 8)));
    // The stored block's three header bits (all zero) go into the last byte's zero padding when
    // they fit, else into a byte of their own; then LEN 0 and NLEN 0xffff.
    if (unusedBits < 3) deflate.append(char(0));
    deflate.append("\x00\x00\xff\xff", 4);
    return true;
}

void compressBandOrThrow(const Job& job, Band& band)
{
    std::vector<std::uint8_t> rows;
    filterRows(job, band.firstRow, band.firstRow + band.rowCount, rows);
    band.rawSize = qsizetype(rows.size());
    band.adler = libdeflate_adler32(1, rows.data(), rows.size());

    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(bandLevel(job, rows)), libdeflate_free_compressor);
    if (!compressor) throw std::bad_alloc();
    const size_t bound = libdeflate_deflate_compress_bound(compressor.get(), rows.size());
    band.compressed.resize(qsizetype(bound) + 8);
    const size_t written = libdeflate_deflate_compress(compressor.get(), rows.data(), rows.size(),
                                                       band.compressed.data(), bound);
    if (written == 0) return;
    band.compressed.resize(qsizetype(written));
    const bool last = band.firstRow + band.rowCount == job.image->height();
    band.ok = last || continueAfter(band.compressed);
    // Shrinking keeps the capacity the bound asked for: give back all but what was written, or
    // every finished band of a large image goes on holding as much as its rows took.
    band.compressed.squeeze();
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

std::atomic<std::uint64_t> compressionCount{0};

} // namespace

// The compressed pixels of the few newest base images, by serial and the options that shape
// them, so one capture copied, saved and recorded is compressed once. Bounded in entries and
// bytes; any thread may use it.
class PngEncoder::Cache {
public:
    struct Key {
        std::uint64_t serial = 0;
        int level = 0;
        bool allowPalette = true;
        friend bool operator==(const Key&, const Key&) = default;
    };

    static Cache& shared()
    {
        static Cache cache;
        return cache;
    }

    std::shared_ptr<const CompressedPixels> find(const Key& key)
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                     [&](const auto& entry) { return entry.first == key; });
        if (it == m_entries.end()) return nullptr;
        // The newest first: a hit moves to the front.
        std::rotate(m_entries.begin(), it, it + 1);
        return m_entries.front().second;
    }

    void insert(const Key& key, std::shared_ptr<const CompressedPixels> pixels)
    {
        std::lock_guard lock(m_mutex);
        if (pixels->stream.size() > kMaxBytes) return;
        std::erase_if(m_entries, [&](const auto& entry) { return entry.first == key; });
        m_entries.insert(m_entries.begin(), {key, std::move(pixels)});
        qsizetype bytes = 0;
        std::size_t kept = 0;
        for (; kept < m_entries.size() && kept < kMaxEntries; ++kept) {
            bytes += m_entries[kept].second->stream.size();
            if (bytes > kMaxBytes) break;
        }
        m_entries.resize(kept);
    }

private:
    // The routes out of one capture ask within moments of each other, so two entries do; the
    // idle application keeps little.
    static constexpr std::size_t kMaxEntries = 2;
    static constexpr qsizetype kMaxBytes = 32 * 1024 * 1024;

    std::mutex m_mutex;
    std::vector<std::pair<Key, std::shared_ptr<const CompressedPixels>>> m_entries;
};

std::optional<QByteArray> PngEncoder::encode(const QImage& source, const Options& options)
{
    try {
        const auto pixels = compress(source, options);
        if (!pixels) return std::nullopt;
        return assemble(*pixels, options.dpi);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<QByteArray> PngEncoder::encode(const BaseImage& image, const Options& options)
{
    if (image.isNull()) return std::nullopt;
    const Cache::Key key{image.serial(), std::clamp(options.compressionLevel, -1, 12),
                         options.allowPalette};
    try {
        auto pixels = Cache::shared().find(key);
        if (!pixels) {
            pixels = compress(image.image(), options);
            if (!pixels) return std::nullopt;
            Cache::shared().insert(key, pixels);
        }
        return assemble(*pixels, options.dpi);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::uint64_t PngEncoder::compressions()
{
    return compressionCount.load();
}

std::shared_ptr<const PngEncoder::CompressedPixels> PngEncoder::compress(const QImage& source,
                                                                         const Options& options)
{
    if (source.isNull()) return nullptr;
    const QImage image = argb32View(source);
    if (image.isNull()) return nullptr;
    ++compressionCount;
    Job job;
    job.image = &image;
    job.premultiplied = image.format() != QImage::Format_ARGB32;
    job.withAlpha = anyTranslucent(image);
    job.bpp = job.withAlpha ? 4 : 3;

    std::optional<Palette> palette;
    if (!job.withAlpha && options.allowPalette) palette = Palette::of(image);
    if (palette) {
        job.palette = &*palette;
        job.bpp = 1;
    }
    job.rowBytes = qsizetype(image.width()) * job.bpp;
    job.level = options.compressionLevel >= 0 ? std::min(options.compressionLevel, 12) : -1;

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
        if (!band.ok) return nullptr;
        streamSize += band.compressed.size();
    }
    stream.reserve(streamSize);
    // zlib header: deflate with a 32 KiB window, no preset dictionary, the level class as zlib
    // records it, and check bits making the 16-bit header a multiple of 31.
    // (A header field only: the bands' own levels may differ.)
    const int level = job.level >= 0 ? job.level : job.palette ? 7 : 5;
    const int levelClass = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
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

    auto pixels = std::make_shared<CompressedPixels>();
    pixels->width = image.width();
    pixels->height = image.height();
    pixels->colourType = job.palette ? 3 : job.withAlpha ? 6 : 2; // palette, RGBA or RGB
    if (job.palette) {
        for (const QRgb colour : job.palette->colours())
            pixels->palette.append(char(qRed(colour)))
                .append(char(qGreen(colour)))
                .append(char(qBlue(colour)));
    }
    pixels->stream = std::move(stream);
    return pixels;
}

QByteArray PngEncoder::assemble(const CompressedPixels& pixels, double dpi)
{
    const QByteArray& stream = pixels.stream;
    QByteArray out;
    out.reserve(stream.size() + stream.size() / kMaxIdatChunk * 12 + 128);
    out.append("\x89PNG\r\n\x1a\n", 8);

    QByteArray ihdr;
    putU32(ihdr, std::uint32_t(pixels.width));
    putU32(ihdr, std::uint32_t(pixels.height));
    ihdr.append(char(8)); // bits per channel
    ihdr.append(char(pixels.colourType));
    ihdr.append(char(0)).append(char(0)).append(char(0)); // deflate, adaptive filters, no interlace
    putChunk(out, "IHDR", ihdr.constData(), ihdr.size());

    if (std::isfinite(dpi) && dpi > 0) {
        const double ppm = std::round(dpi / 0.0254);
        if (ppm >= 1 && ppm <= double(std::numeric_limits<std::int32_t>::max())) {
            QByteArray phys;
            putU32(phys, std::uint32_t(ppm));
            putU32(phys, std::uint32_t(ppm));
            phys.append(char(1)); // unit: metre
            putChunk(out, "pHYs", phys.constData(), phys.size());
        }
    }

    if (!pixels.palette.isEmpty())
        putChunk(out, "PLTE", pixels.palette.constData(), pixels.palette.size());

    for (qsizetype at = 0; at < stream.size(); at += kMaxIdatChunk) {
        putChunk(out, "IDAT", stream.constData() + at, std::min(kMaxIdatChunk, stream.size() - at));
    }
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace snapkin::platform
