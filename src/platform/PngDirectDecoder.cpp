#include "platform/PngDirectDecoder.h"

#include "platform/ImageProbes.h"

#include <libdeflate.h>
#include <zlib.h>

#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace snapkin::platform {

namespace {

using imageprobe::bigEndian32;

bool isType(const uchar* type, const char* name)
{
    return std::memcmp(type, name, 4) == 0;
}

// Ancillary chunks that change nothing in the pixels or their colours as Qt reads them (text,
// a date, a suggested palette for an RGB image); pHYs is read for the resolution.
bool isHarmless(const uchar* type)
{
    for (const char* name : {"tEXt", "zTXt", "iTXt", "tIME"}) {
        if (isType(type, name)) return true;
    }
    return false;
}

struct Layout {
    int width = 0, height = 0;
    int channels = 0;                // 3 (RGB) or 4 (RGBA), 8 bits each
    QByteArray idat;                 // the compressed stream, its chunks joined
    const uchar* onlyIdat = nullptr; // or where the one IDAT chunk's data lies
    qsizetype onlyIdatSize = 0;
    int dotsPerMeterX = 0, dotsPerMeterY = 0;
};

// Walks the chunks and keeps what the decode needs; nothing for any file outside the case this
// decoder handles. The chunks' lengths are checked against the file here; their CRCs were
// checked by the caller for the critical ones, and are checked here for pHYs.
std::optional<Layout> layoutOf(const QByteArray& png)
{
    static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (png.size() < 8 + 25 || std::memcmp(png.constData(), signature, 8) != 0) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uchar*>(png.constData());
    const qsizetype size = png.size();
    Layout layout;
    std::vector<std::pair<const uchar*, qsizetype>> pieces;
    qsizetype idatBytes = 0;
    bool sawHeader = false, sawResolution = false, idatEnded = false;
    for (qsizetype at = 8;;) {
        if (size - at < 12) return std::nullopt;
        const quint32 length = bigEndian32(bytes + at);
        const uchar* type = bytes + at + 4;
        const uchar* data = type + 4;
        if (length > quint32(size - at - 12)) return std::nullopt;
        const bool isData = isType(type, "IDAT");
        if (!pieces.empty() && !isData) idatEnded = true;
        if (!sawHeader) {
            if (!isType(type, "IHDR") || length != 13) return std::nullopt;
            const quint32 width = bigEndian32(data), height = bigEndian32(data + 4);
            const int depth = data[8], colour = data[9];
            // Compression and filter method 0, no interlace.
            if (depth != 8 || (colour != 2 && colour != 6) || data[10] != 0 || data[11] != 0 ||
                data[12] != 0)
                return std::nullopt;
            if (width == 0 || height == 0 || width > 1'000'000 || height > 1'000'000)
                return std::nullopt;
            layout.width = int(width);
            layout.height = int(height);
            layout.channels = colour == 2 ? 3 : 4;
            sawHeader = true;
        } else if (isData) {
            // Image data in one run of chunks, as libpng wants it.
            if (idatEnded) return std::nullopt;
            if (length > 0) pieces.emplace_back(data, qsizetype(length));
            idatBytes += length;
        } else if (isType(type, "IEND")) {
            break;
        } else if (isType(type, "pHYs")) {
            // Before the image data, once, and whole: libpng drops it otherwise.
            if (sawResolution || idatEnded || !pieces.empty() || length != 9) return std::nullopt;
            const uLong crc = crc32(0, type, 4 + 9);
            if (bigEndian32(data + 9) != quint32(crc)) return std::nullopt;
            const quint32 x = bigEndian32(data), y = bigEndian32(data + 4);
            if (x > quint32(std::numeric_limits<int>::max()) ||
                y > quint32(std::numeric_limits<int>::max()))
                return std::nullopt;
            if (data[8] == 1) { // pixels per metre; other units say only the aspect ratio
                layout.dotsPerMeterX = int(x);
                layout.dotsPerMeterY = int(y);
            }
            sawResolution = true;
        } else if (isType(type, "PLTE")) {
            // A suggested palette for an RGB image, which the pixels do not use.
            if (!pieces.empty()) return std::nullopt;
        } else if (!isHarmless(type)) {
            return std::nullopt;
        }
        at += 12 + qsizetype(length);
    }
    if (pieces.empty()) return std::nullopt;
    if (pieces.size() == 1) {
        layout.onlyIdat = pieces.front().first;
        layout.onlyIdatSize = pieces.front().second;
    } else {
        layout.idat.resize(idatBytes);
        char* out = layout.idat.data();
        for (const auto& [data, length] : pieces) {
            std::memcpy(out, data, size_t(length));
            out += length;
        }
    }
    return layout;
}

// Memory for the large buffers of a decode, mapped on its own and, where the system allows it,
// in pages of 2 MiB: a 4K picture's rows and pixels are some 60 MB that the decode writes once
// from start to end, and taking them 4 KiB at a time costs about as much as the decode itself
// (some 15,000 page faults).
class LargeBuffer {
public:
    static constexpr size_t hugePage = 2 * 1024 * 1024;

    explicit LargeBuffer(size_t size) : m_length(size + hugePage)
    {
        void* mapped = mmap(nullptr, m_length, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapped == MAP_FAILED) return;
        m_base = static_cast<uchar*>(mapped);
        // Large pages start at a multiple of their size.
        const auto address = reinterpret_cast<quintptr>(m_base);
        m_data = m_base + (hugePage - address % hugePage) % hugePage;
        madvise(m_data, size, MADV_HUGEPAGE);
    }
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    ~LargeBuffer()
    {
        if (m_base) munmap(m_base, m_length);
    }

    uchar* data() const { return m_data; }
    // Hands the mapping over to an image, which unmaps it when its last copy goes.
    QImage intoImage(int width, int height, qsizetype bytesPerLine, QImage::Format format)
    {
        auto* mapping = new Mapping{m_base, m_length};
        QImage image(m_data, width, height, bytesPerLine, format, &unmapImageMemory, mapping);
        if (image.isNull()) {
            delete mapping;
            return image;
        }
        m_base = m_data = nullptr;
        return image;
    }

private:
    struct Mapping {
        void* base;
        size_t length;
    };
    static void unmapImageMemory(void* info)
    {
        auto* mapping = static_cast<Mapping*>(info);
        munmap(mapping->base, mapping->length);
        delete mapping;
    }

    uchar* m_base = nullptr;
    uchar* m_data = nullptr;
    size_t m_length = 0;
};

// One pixel of the image from its unfiltered samples.
template <int bpp> inline QRgb packed(const int* v)
{
    const uint alpha = bpp == 4 ? uint(v[3]) : 0xffu;
    return alpha << 24 | uint(v[0]) << 16 | uint(v[1]) << 8 | uint(v[2]);
}

// One row's filter undone in place, each pixel packed into `out` as it is made; `previous` is
// the row above, unfiltered (zeros for the first row). `bpp` is the bytes of one pixel, the
// distance that Sub, Average and Paeth look back. The pixel to the left and the one above it
// stay in registers: each sample depends on the one before, so the loop runs at the speed of
// that chain.
template <int bpp>
bool unfilterRow(uchar filter, uchar* row, const uchar* previous, int width, QRgb* out)
{
    int left[bpp] = {}, upperLeft[bpp] = {}, v[bpp];
    switch (filter) {
    case 2:
        for (qsizetype i = 0; i < qsizetype(width) * bpp; ++i)
            row[i] = uchar(row[i] + previous[i]);
        [[fallthrough]]; // the row, unfiltered, is packed as it stands
    case 0:
        for (int x = 0; x < width; ++x, row += bpp) {
            for (int k = 0; k < bpp; ++k)
                v[k] = row[k];
            out[x] = packed<bpp>(v);
        }
        return true;
    case 1:
        for (int x = 0; x < width; ++x, row += bpp) {
            for (int k = 0; k < bpp; ++k)
                row[k] = uchar(v[k] = (row[k] + left[k]) & 0xff), left[k] = v[k];
            out[x] = packed<bpp>(v);
        }
        return true;
    case 3:
        for (int x = 0; x < width; ++x, row += bpp, previous += bpp) {
            for (int k = 0; k < bpp; ++k)
                row[k] = uchar(v[k] = (row[k] + ((left[k] + previous[k]) >> 1)) & 0xff),
                left[k] = v[k];
            out[x] = packed<bpp>(v);
        }
        return true;
    case 4:
        for (int x = 0; x < width; ++x, row += bpp, previous += bpp) {
            for (int k = 0; k < bpp; ++k) {
                const int a = left[k], b = previous[k], c = upperLeft[k];
                const int p = b - c, q = a - c;
                const int pa = std::abs(p), pb = std::abs(q), pc = std::abs(p + q);
                const int predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                row[k] = uchar(v[k] = (row[k] + predictor) & 0xff);
                left[k] = v[k];
                upperLeft[k] = b;
            }
            out[x] = packed<bpp>(v);
        }
        return true;
    default:
        return false; // libpng refuses the file; Qt's reader says so
    }
}

#if defined(__SSE2__)
// Sub, Average and Paeth a pixel at a time, its samples side by side in one register: the
// chain from each pixel to the next is then a few instructions for the whole pixel rather than
// for each sample. A pixel is read as four bytes (for RGB one past it, which the rows' layout
// and their buffers always hold) and written as `bpp` bytes.
template <int bpp> inline __m128i loadPixel(const uchar* p)
{
    int v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

template <int bpp> inline QRgb storePixel(__m128i value, uchar* p)
{
    const auto v = uint(_mm_cvtsi128_si32(value));
    std::memcpy(p, &v, bpp);
    const uint alpha = bpp == 4 ? v & 0xff000000u : 0xff000000u;
    return alpha | (v & 0xffu) << 16 | (v & 0xff00u) | (v >> 16 & 0xffu);
}

// |v| for signed 16-bit lanes.
inline __m128i absolute16(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

template <int bpp>
bool unfilterRowSse2(uchar filter, uchar* row, const uchar* previous, int width, QRgb* out)
{
    const __m128i zero = _mm_setzero_si128();
    switch (filter) {
    case 1: {
        __m128i left = zero;
        for (int x = 0; x < width; ++x, row += bpp) {
            left = _mm_add_epi8(loadPixel<bpp>(row), left);
            out[x] = storePixel<bpp>(left, row);
        }
        return true;
    }
    case 3: {
        // The mean rounded down: the rounded-up one less the odd bit.
        const __m128i one = _mm_set1_epi8(1);
        __m128i left = zero;
        for (int x = 0; x < width; ++x, row += bpp, previous += bpp) {
            const __m128i above = loadPixel<bpp>(previous);
            const __m128i mean = _mm_sub_epi8(_mm_avg_epu8(left, above),
                                              _mm_and_si128(_mm_xor_si128(left, above), one));
            left = _mm_add_epi8(loadPixel<bpp>(row), mean);
            out[x] = storePixel<bpp>(left, row);
        }
        return true;
    }
    case 4: {
        __m128i a = zero, c = zero; // left and upper left, 16 bits a sample
        for (int x = 0; x < width; ++x, row += bpp, previous += bpp) {
            const __m128i b = _mm_unpacklo_epi8(loadPixel<bpp>(previous), zero);
            const __m128i p = _mm_sub_epi16(b, c), q = _mm_sub_epi16(a, c);
            const __m128i pa = absolute16(p), pb = absolute16(q);
            const __m128i pc = absolute16(_mm_add_epi16(p, q));
            const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
            // a where its distance is the smallest, else b where its is, else c.
            const __m128i takeA = _mm_cmpeq_epi16(pa, smallest);
            const __m128i takeB = _mm_andnot_si128(takeA, _mm_cmpeq_epi16(pb, smallest));
            const __m128i predictor =
                _mm_or_si128(_mm_or_si128(_mm_and_si128(takeA, a), _mm_and_si128(takeB, b)),
                             _mm_andnot_si128(_mm_or_si128(takeA, takeB), c));
            const __m128i value =
                _mm_add_epi8(loadPixel<bpp>(row), _mm_packus_epi16(predictor, predictor));
            out[x] = storePixel<bpp>(value, row);
            a = _mm_unpacklo_epi8(value, zero);
            c = b;
        }
        return true;
    }
    default:
        return unfilterRow<bpp>(filter, row, previous, width, out);
    }
}
#endif

// The rows at `raw`, inflated, unfiltered into `image`. They may lie in the image's own memory,
// ending where it ends: each row is copied out before its pixels are written, and a row's
// pixels never reach the rows after it (see decodePngDirectly()).
template <int channels> bool unfilterInto(const uchar* raw, QImage& image)
{
    const int width = image.width();
    const qsizetype stride = 1 + qsizetype(width) * channels;
    // The row being unfiltered and the one above it, unfiltered (zeros above the first), each
    // with room for reading its last pixel as four bytes.
    std::vector<uchar> rows(2 * (size_t(stride) + 4), 0);
    uchar* current = rows.data();
    uchar* previous = rows.data() + stride + 4;
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(current, raw + qsizetype(y) * stride, size_t(stride));
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
#if defined(__SSE2__)
        if (!unfilterRowSse2<channels>(current[0], current + 1, previous + 1, width, out))
            return false;
#else
        if (!unfilterRow<channels>(current[0], current + 1, previous + 1, width, out)) return false;
#endif
        std::swap(current, previous);
    }
    return true;
}

std::optional<QImage> decodeOrThrow(const QByteArray& png, qint64 allocationLimit)
{
    std::optional<Layout> layout = layoutOf(png);
    if (!layout) return std::nullopt;
    const qsizetype stride = 1 + qsizetype(layout->width) * layout->channels;
    const qint64 rawBytes = qint64(stride) * layout->height;
    const qsizetype bytesPerLine = qsizetype(layout->width) * 4;
    const qint64 imageBytes = qint64(bytesPerLine) * layout->height;
    // One buffer holds both the inflated rows, at its end, and the image, from its start: one
    // copy of the picture in memory, not two. A pixel takes 4 bytes and its samples 3 or 4, so
    // row y of the image ends no later than row y + 1 of the inflated data begins, and each
    // row is read before its pixels are written.
    const qint64 bufferBytes = std::max(rawBytes, imageBytes);
    if (bufferBytes > allocationLimit) return std::nullopt;

    LargeBuffer buffer{size_t(bufferBytes)};
    if (!buffer.data()) return std::nullopt;
    uchar* raw = buffer.data() + (bufferBytes - rawBytes);
    std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!decompressor) return std::nullopt;
    const void* in = layout->onlyIdat ? static_cast<const void*>(layout->onlyIdat)
                                      : static_cast<const void*>(layout->idat.constData());
    const size_t inSize =
        layout->onlyIdat ? size_t(layout->onlyIdatSize) : size_t(layout->idat.size());
    // Exactly the rows, a whole zlib stream with its checksum, and nothing after it: libpng
    // lets extra or damaged trailing data pass with a warning, which is Qt's reader's call.
    size_t consumed = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), in, inSize, raw, size_t(rawBytes),
                                      &consumed, nullptr) != LIBDEFLATE_SUCCESS ||
        consumed != inSize)
        return std::nullopt;
    layout->idat = {};

    QImage image =
        buffer.intoImage(layout->width, layout->height, bytesPerLine,
                         layout->channels == 3 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull()) return std::nullopt;
    const bool whole =
        layout->channels == 3 ? unfilterInto<3>(raw, image) : unfilterInto<4>(raw, image);
    if (!whole) return std::nullopt;
    if (layout->dotsPerMeterX > 0) image.setDotsPerMeterX(layout->dotsPerMeterX);
    if (layout->dotsPerMeterY > 0) image.setDotsPerMeterY(layout->dotsPerMeterY);
    return image;
}

} // namespace

std::optional<QImage> decodePngDirectly(const QByteArray& png, qint64 allocationLimit)
{
    // The image-data chunks joined, or a row buffer, that can't be had: Qt's reader, which
    // needs neither, may still have room for the image.
    try {
        return decodeOrThrow(png, allocationLimit);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace snapkin::platform
