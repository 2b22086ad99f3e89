#include "platform/PngDirectDecoder.h"

#include <libdeflate.h>
#include <zlib.h>

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace snapkin::platform {

namespace {

quint32 bigEndian32(const uchar* p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | quint32(p[3]);
}

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

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
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
    case 2: {
        const qsizetype length = qsizetype(width) * bpp;
        for (qsizetype i = 0; i < length; ++i)
            row[i] = uchar(row[i] + previous[i]);
        for (int x = 0; x < width; ++x, row += bpp) {
            for (int k = 0; k < bpp; ++k)
                v[k] = row[k];
            out[x] = packed<bpp>(v);
        }
        return true;
    }
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

template <int channels> bool unfilterInto(uchar* raw, QImage& image)
{
    const int width = image.width();
    const qsizetype stride = 1 + qsizetype(width) * channels;
    const std::vector<uchar> zeros(size_t(stride), 0);
    const uchar* previous = zeros.data() + 1;
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = raw + qsizetype(y) * stride;
        if (!unfilterRow<channels>(row[0], row + 1, previous, width,
                                   reinterpret_cast<QRgb*>(image.scanLine(y))))
            return false;
        previous = row + 1;
    }
    return true;
}

} // namespace

std::optional<QImage> decodePngDirectly(const QByteArray& png, qint64 allocationLimit)
{
    std::optional<Layout> layout = layoutOf(png);
    if (!layout) return std::nullopt;
    const qsizetype stride = 1 + qsizetype(layout->width) * layout->channels;
    const qint64 rawBytes = qint64(stride) * layout->height;
    const qint64 imageBytes = qint64(layout->width) * layout->height * 4;
    if (rawBytes + imageBytes > allocationLimit) return std::nullopt;

    LargeBuffer raw{size_t(rawBytes)};
    if (!raw.data()) return std::nullopt;
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> decompressor(
        libdeflate_alloc_decompressor());
    if (!decompressor) return std::nullopt;
    const void* in = layout->onlyIdat ? static_cast<const void*>(layout->onlyIdat)
                                      : static_cast<const void*>(layout->idat.constData());
    const size_t inSize =
        layout->onlyIdat ? size_t(layout->onlyIdatSize) : size_t(layout->idat.size());
    // Exactly the rows, a whole zlib stream with its checksum, and nothing after it: libpng
    // lets extra or damaged trailing data pass with a warning, which is Qt's reader's call.
    size_t consumed = 0;
    if (libdeflate_zlib_decompress_ex(decompressor.get(), in, inSize, raw.data(), size_t(rawBytes),
                                      &consumed, nullptr) != LIBDEFLATE_SUCCESS ||
        consumed != inSize)
        return std::nullopt;
    layout->idat = {};

    const qsizetype bytesPerLine = qsizetype(layout->width) * 4;
    LargeBuffer pixels{size_t(bytesPerLine) * size_t(layout->height)};
    if (!pixels.data()) return std::nullopt;
    QImage image =
        pixels.intoImage(layout->width, layout->height, bytesPerLine,
                         layout->channels == 3 ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    if (image.isNull()) return std::nullopt;
    const bool whole = layout->channels == 3 ? unfilterInto<3>(raw.data(), image)
                                             : unfilterInto<4>(raw.data(), image);
    if (!whole) return std::nullopt;
    if (layout->dotsPerMeterX > 0) image.setDotsPerMeterX(layout->dotsPerMeterX);
    if (layout->dotsPerMeterY > 0) image.setDotsPerMeterY(layout->dotsPerMeterY);
    return image;
}

} // namespace snapkin::platform
