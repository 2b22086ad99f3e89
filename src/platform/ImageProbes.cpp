#include "platform/ImageProbes.h"

#include <QIODevice>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace snapkin::platform::imageprobe {

bool seekWithin(QIODevice& device, qint64 offset)
{
    return offset >= 0 && offset <= device.size() && device.seek(offset);
}

quint32 bigEndian32(const void* p)
{
    const auto* u = static_cast<const unsigned char*>(p);
    return (quint32(u[0]) << 24) | (quint32(u[1]) << 16) | (quint32(u[2]) << 8) | u[3];
}

bool pixelsOver(quint64 width, quint64 height, qint64 limit)
{
    if (limit < 0) return true;
    const auto room = quint64(limit);
    return width > room || height > room || (width != 0 && height > room / width);
}

namespace {

// Reads exactly `size` bytes at `offset`, or nothing.
std::optional<QByteArray> readAt(QIODevice& device, qint64 offset, qint64 size)
{
    if (size < 0 || offset > device.size() - size || !seekWithin(device, offset))
        return std::nullopt;
    QByteArray bytes = device.read(size);
    if (bytes.size() != size) return std::nullopt;
    return bytes;
}

quint16 bigEndian16(const void* p)
{
    const auto* u = static_cast<const unsigned char*>(p);
    return quint16((u[0] << 8) | u[1]);
}

quint32 littleEndian32(const void* p)
{
    const auto* u = static_cast<const unsigned char*>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}

quint16 littleEndian16(const void* p)
{
    const auto* u = static_cast<const unsigned char*>(p);
    return quint16(u[0] | (u[1] << 8));
}

} // namespace

// ---- Formats ----

std::optional<QByteArray> formatFromContent(const QByteArray& head)
{
    const auto starts = [&](const char* magic, qsizetype length, qsizetype at = 0) {
        return head.size() >= at + length && std::memcmp(head.constData() + at, magic, length) == 0;
    };
    if (starts("\x89PNG\r\n\x1a\n", 8)) return QByteArrayLiteral("png");
    if (starts("\xff\xd8\xff", 3)) return QByteArrayLiteral("jpeg");
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return QByteArrayLiteral("webp");
    if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4))
        return QByteArrayLiteral("tiff");
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) return QByteArrayLiteral("gif");
    if (starts("BM", 2)) return QByteArrayLiteral("bmp");
    return std::nullopt;
}

// ---- PNG ----

std::optional<PngHeader> pngHeader(const QByteArray& head)
{
    if (head.size() < 26 || !head.startsWith(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16)))
        return std::nullopt;
    return PngHeader{bigEndian32(head.constData() + 16), bigEndian32(head.constData() + 20),
                     uchar(head[24]), uchar(head[25])};
}

bool pngStructureIsSound(QIODevice& device)
{
    qint64 offset = 8;
    bool first = true;
    bool sawData = false;
    bool sawPalette = false;
    int colorType = -1;
    QByteArray buffer;
    for (;;) {
        const auto header = readAt(device, offset, 8);
        if (!header) return false;
        const quint32 length = bigEndian32(header->constData());
        if (length > 0x7fffffffu) return false;
        const QByteArray type = header->mid(4, 4);
        for (const char c : type) {
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
        }
        if (first != (type == "IHDR")) return false;
        // The CRC covers the type and the data; the data is read in pieces.
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type.constData()), 4);
        qint64 left = length;
        qint64 at = offset + 8;
        if (!seekWithin(device, at)) return false;
        QByteArray ihdr;
        while (left > 0) {
            const qint64 piece = std::min<qint64>(left, 1 << 16);
            buffer = device.read(piece);
            if (buffer.size() != piece) return false;
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.constData()), uInt(piece));
            if (first && ihdr.size() < 13) ihdr += buffer.left(13 - ihdr.size());
            left -= piece;
        }
        const QByteArray stored = device.read(4);
        if (stored.size() != 4) return false;
        // libpng drops an ancillary chunk (lower-case first letter) whose CRC is wrong, with a
        // warning Qt keeps quiet; only a damaged critical chunk makes it print an error.
        const bool critical = type[0] >= 'A' && type[0] <= 'Z';
        if (critical && bigEndian32(stored.constData()) != quint32(crc)) return false;
        if (first) {
            if (length != 13) return false;
            const quint32 width = bigEndian32(ihdr.constData());
            const quint32 height = bigEndian32(ihdr.constData() + 4);
            const int depth = static_cast<unsigned char>(ihdr[8]);
            colorType = static_cast<unsigned char>(ihdr[9]);
            // libpng's own bounds, which it would report on the terminal.
            if (width == 0 || height == 0 || width > 1'000'000 || height > 1'000'000) return false;
            const bool depthFits =
                colorType == 0
                    ? (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)
                : colorType == 3 ? (depth == 1 || depth == 2 || depth == 4 || depth == 8)
                : (colorType == 2 || colorType == 4 || colorType == 6) ? (depth == 8 || depth == 16)
                                                                       : false;
            if (!depthFits || ihdr[10] != 0 || ihdr[11] != 0 || (ihdr[12] != 0 && ihdr[12] != 1))
                return false;
        }
        if (type == "PLTE") sawPalette = true;
        if (type == "IDAT") sawData = true;
        if (type == "IEND") return sawData && (colorType != 3 || sawPalette);
        first = false;
        offset += 12 + qint64(length);
    }
}

// ---- JPEG ----

std::optional<JpegHeader> readJpegHeader(QIODevice& device)
{
    struct Component {
        int h = 1;
        int v = 1;
    };
    qint64 offset = 2;
    std::optional<JpegHeader> header;
    std::vector<Component> components;
    bool progressive = false;
    for (int segments = 0; segments < 100'000; ++segments) {
        auto marker = readAt(device, offset, 2);
        if (!marker || static_cast<unsigned char>((*marker)[0]) != 0xff) return std::nullopt;
        int code = static_cast<unsigned char>((*marker)[1]);
        offset += 2;
        while (code == 0xff) { // fill bytes before a marker
            auto next = readAt(device, offset, 1);
            if (!next) return std::nullopt;
            code = static_cast<unsigned char>((*next)[0]);
            ++offset;
        }
        if (code == 0x01 || (code >= 0xd0 && code <= 0xd8)) continue; // no length follows
        if (code == 0xd9) return std::nullopt;                        // an image without scans
        const auto lengthBytes = readAt(device, offset, 2);
        if (!lengthBytes) return std::nullopt;
        const int length = bigEndian16(lengthBytes->constData());
        if (length < 2) return std::nullopt;
        const bool frame =
            code >= 0xc0 && code <= 0xcf && code != 0xc4 && code != 0xc8 && code != 0xcc;
        if (frame) {
            const auto body = readAt(device, offset + 2, length - 2);
            if (!body || body->size() < 6) return std::nullopt;
            const char* p = body->constData();
            const int height = bigEndian16(p + 1);
            const int width = bigEndian16(p + 3);
            const int count = static_cast<unsigned char>(p[5]);
            if (body->size() < 6 + 3 * count || count == 0) return std::nullopt;
            components.clear();
            for (int i = 0; i < count; ++i) {
                const int sampling = static_cast<unsigned char>(p[6 + 3 * i + 1]);
                components.push_back({std::max(1, sampling >> 4), std::max(1, sampling & 15)});
            }
            progressive = code == 0xc2 || code == 0xc6 || code == 0xca || code == 0xce;
            header = JpegHeader{QSize(width, height), 0, 0};
        } else if (code == 0xda) { // the first scan
            if (!header) return std::nullopt;
            header->firstScan = offset + length;
            const auto count = readAt(device, offset + 2, 1);
            if (!count) return std::nullopt;
            const bool multiScan =
                progressive || static_cast<unsigned char>((*count)[0]) < int(components.size());
            if (multiScan) {
                int maxH = 1;
                int maxV = 1;
                for (const Component& c : components) {
                    maxH = std::max(maxH, c.h);
                    maxV = std::max(maxV, c.v);
                }
                const auto blocks = [](qint64 pixels, int factor, int maxFactor) {
                    const qint64 n = (pixels * factor + 8 * maxFactor - 1) / (8 * maxFactor);
                    return (n + factor - 1) / factor * factor; // whole MCU rows and columns
                };
                for (const Component& c : components) {
                    header->coefficientBytes += blocks(header->size.width(), c.h, maxH) *
                                                blocks(header->size.height(), c.v, maxV) * 128;
                }
            }
            return header;
        }
        offset += length;
    }
    return std::nullopt;
}

namespace {

// Reads a device forward from an offset, a block at a time, for probes that walk a whole file.
class ByteCursor {
public:
    ByteCursor(QIODevice& device, qint64 offset) : m_device(device), m_offset(offset) {}

    qint64 offset() const { return m_offset; }
    // The next byte, or -1 at the end of the data.
    int next()
    {
        if (!load()) return -1;
        return static_cast<unsigned char>(m_block[m_offset++ - m_blockStart]);
    }
    // Moves past the next `byte`; false when the data ends before one.
    bool skipPast(char byte)
    {
        while (load()) {
            const char* at = m_block.constData() + (m_offset - m_blockStart);
            const qsizetype left = m_block.size() - (m_offset - m_blockStart);
            if (const void* found = std::memchr(at, byte, size_t(left))) {
                m_offset += static_cast<const char*>(found) - at + 1;
                return true;
            }
            m_offset += left;
        }
        return false;
    }
    // Moves past `count` bytes; false when the data ends before them.
    bool skip(qint64 count)
    {
        if (count < 0 || m_offset > m_device.size() - count) return false;
        m_offset += count;
        return true;
    }

private:
    // Makes the block hold the byte at the offset; false at the end of the data.
    bool load()
    {
        if (m_offset >= m_blockStart && m_offset < m_blockStart + m_block.size()) return true;
        if (!seekWithin(m_device, m_offset)) return false;
        m_block = m_device.read(1 << 16);
        m_blockStart = m_offset;
        return !m_block.isEmpty();
    }

    QIODevice& m_device;
    qint64 m_offset;
    QByteArray m_block;
    qint64 m_blockStart = 0;
};

} // namespace

bool jpegReachesItsEnd(QIODevice& device, qint64 firstScan)
{
    // Entropy-coded data holds 0xFF only before 0x00 (a stuffed byte) or a restart marker;
    // any other marker is a segment (a progressive file's next tables and scans, each with a
    // length to skip) or the end of the image.
    ByteCursor cursor(device, firstScan);
    for (;;) {
        if (!cursor.skipPast(char(0xff))) return false;
        int byte = 0xff;
        while (byte == 0xff)
            byte = cursor.next(); // fill bytes before a marker
        if (byte < 0) return false;
        if (byte == 0x00 || (byte >= 0xd0 && byte <= 0xd7) || byte == 0x01) continue;
        if (byte == 0xd9) return true;
        const int high = cursor.next();
        const int low = cursor.next();
        if (high < 0 || low < 0) return false;
        const int length = (high << 8) | low;
        if (length < 2 || !cursor.skip(length - 2)) return false;
    }
}

// ---- BMP ----

std::optional<BmpHeader> readBmpHeader(QIODevice& device)
{
    const auto file = readAt(device, 0, 18);
    if (!file) return std::nullopt;
    const qint64 pixelsAt = littleEndian32(file->constData() + 10);
    const quint32 infoSize = littleEndian32(file->constData() + 14);
    qint64 width = 0;
    qint64 height = 0;
    int bitsPerPixel = 0;
    quint32 compression = 0;
    if (infoSize == 12) { // the OS/2 header: 16-bit sizes, no compression
        const auto info = readAt(device, 18, 8);
        if (!info) return std::nullopt;
        width = littleEndian16(info->constData());
        height = littleEndian16(info->constData() + 2);
        bitsPerPixel = littleEndian16(info->constData() + 6);
    } else if (infoSize >= 40 && infoSize <= 124) {
        const auto info = readAt(device, 18, 16);
        if (!info) return std::nullopt;
        width = qint32(littleEndian32(info->constData()));
        height = qint32(littleEndian32(info->constData() + 4)); // negative: stored top row first
        bitsPerPixel = littleEndian16(info->constData() + 10);
        compression = littleEndian32(info->constData() + 12);
    } else {
        return std::nullopt;
    }
    if (width <= 0 || height == 0 || height == qint64(INT_MIN)) return std::nullopt;
    height = std::abs(height);
    BmpHeader header{QSize(int(std::min<qint64>(width, INT_MAX)), int(height)), false};

    if (compression == 0 || compression == 3 || compression == 6) { // plain rows
        const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
        header.whole = rowBytes > 0 && pixelsAt > 0 && pixelsAt <= device.size() &&
                       rowBytes <= (device.size() - pixelsAt) / height;
        return header;
    }
    if (compression != 1 && compression != 2) { // JPEG, PNG and others: the decoder decides
        header.whole = true;
        return header;
    }
    // Run-length rows: whole when the runs reach the end-of-bitmap code, or end every row.
    if (pixelsAt <= 0) return header;
    ByteCursor cursor(device, pixelsAt);
    qint64 rows = 0;
    for (;;) {
        const int count = cursor.next();
        const int value = cursor.next();
        if (count < 0 || value < 0) return header;
        if (count > 0) continue; // a run of one value
        if (value == 0) {        // end of a row
            if (++rows >= height) break;
        } else if (value == 1) { // end of the bitmap
            break;
        } else if (value == 2) { // a move right and down
            cursor.next();
            const int down = cursor.next();
            if (down < 0) return header;
            rows += down;
        } else { // `value` literal pixels, padded to a whole 16-bit word
            const qint64 bytes = compression == 1 ? value : (value + 1) / 2;
            if (!cursor.skip((bytes + 1) / 2 * 2)) return header;
        }
    }
    header.whole = true;
    return header;
}

// ---- GIF ----

std::optional<QSize> gifScreenSize(QIODevice& device)
{
    const auto header = readAt(device, 6, 4);
    if (!header) return std::nullopt;
    return QSize(littleEndian16(header->constData()), littleEndian16(header->constData() + 2));
}

bool gifFirstImageIsWhole(QIODevice& device)
{
    const auto screen = readAt(device, 10, 1);
    if (!screen) return false;
    const auto colorTable = [](int packed) -> qint64 {
        return (packed & 0x80) ? 3 * (qint64(2) << (packed & 7)) : 0;
    };
    ByteCursor cursor(device, 13);
    if (!cursor.skip(colorTable(static_cast<unsigned char>((*screen)[0])))) return false;
    // Data comes in sub-blocks, each led by its length, ended by an empty one.
    const auto skipSubBlocks = [&cursor] {
        for (;;) {
            const int length = cursor.next();
            if (length < 0) return false;
            if (length == 0) return true;
            if (!cursor.skip(length)) return false;
        }
    };
    for (;;) {
        const int introducer = cursor.next();
        if (introducer == 0x21) { // an extension: its label, then its sub-blocks
            if (cursor.next() < 0 || !skipSubBlocks()) return false;
        } else if (introducer == 0x2c) { // the image: its place, its colours, its pixels
            if (!cursor.skip(8)) return false;
            const int packed = cursor.next();
            if (packed < 0 || !cursor.skip(colorTable(packed))) return false;
            if (cursor.next() < 0) return false; // the LZW code size
            return skipSubBlocks();
        } else {
            return false; // the trailer before any image, or no GIF block at all
        }
    }
}

// ---- WebP ----

namespace {

// The orientation in an EXIF block (a TIFF header and directory, "Exif\0\0" before it or not);
// 0 when there is none.
int exifOrientation(const QByteArray& exif)
{
    QByteArray tiff = exif;
    if (tiff.startsWith(QByteArray("Exif\0\0", 6))) tiff.remove(0, 6);
    if (tiff.size() < 8) return 0;
    const bool little = tiff.startsWith("II");
    if (!little && !tiff.startsWith("MM")) return 0;
    const auto* u = reinterpret_cast<const unsigned char*>(tiff.constData());
    const auto read16 = [&](qsizetype at) -> quint32 {
        return little ? u[at] | (u[at + 1] << 8) : (u[at] << 8) | u[at + 1];
    };
    const auto read32 = [&](qsizetype at) -> quint32 {
        return little ? read16(at) | (read16(at + 2) << 16) : (read16(at) << 16) | read16(at + 2);
    };
    const quint32 directory = read32(4);
    if (directory > quint32(tiff.size()) - 2) return 0;
    const quint32 entries = read16(directory);
    for (quint32 i = 0; i < entries; ++i) {
        const qint64 entry = qint64(directory) + 2 + 12 * qint64(i);
        if (entry + 12 > tiff.size()) return 0;
        if (read16(entry) != 0x0112) continue;
        // Orientation: one SHORT, held in the entry itself.
        if (read16(entry + 2) != 3 || read32(entry + 4) != 1) return 0;
        const quint32 value = read16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 0;
    }
    return 0;
}

} // namespace

QImageIOHandler::Transformations exifTransformation(int orientation)
{
    using T = QImageIOHandler::Transformation;
    switch (orientation) {
    case 2:
        return T::TransformationMirror;
    case 3:
        return T::TransformationRotate180;
    case 4:
        return T::TransformationFlip;
    case 5:
        return T::TransformationFlipAndRotate90;
    case 6:
        return T::TransformationRotate90;
    case 7:
        return T::TransformationMirrorAndRotate90;
    case 8:
        return T::TransformationRotate270;
    default:
        return T::TransformationNone;
    }
}

int webpOrientation(QIODevice& device)
{
    // RIFF chunks after the 12-byte file header: a four-letter type, a little-endian length,
    // the data and a pad byte to an even length. Only the extended format carries EXIF.
    qint64 offset = 12;
    for (int chunks = 0; chunks < 10'000; ++chunks) {
        const auto header = readAt(device, offset, 8);
        if (!header) return 0;
        const qint64 length = littleEndian32(header->constData() + 4);
        if (header->startsWith("EXIF")) {
            // EXIF larger than a megabyte is no photograph's: its orientation is not read.
            if (length > 1024 * 1024) return 0;
            const auto exif = readAt(device, offset + 8, length);
            return exif ? exifOrientation(*exif) : 0;
        }
        offset += 8 + length + (length & 1);
    }
    return 0;
}

// ---- Formats the application does not read ----

std::optional<QSize> unreadFormatDeclaredSize(QIODevice& device)
{
    if (!seekWithin(device, 0)) return std::nullopt;
    const QByteArray head = device.read(4096);
    const auto fits = [](qint64 width, qint64 height) -> std::optional<QSize> {
        if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX) return std::nullopt;
        return QSize(int(width), int(height));
    };
    // Netpbm (PBM, PGM, PPM): "P1" to "P6", then the width and the height as decimal text,
    // with "#" comments to the end of a line allowed between them.
    if (head.size() >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' &&
        QByteArray(" \t\r\n").contains(head[2])) {
        qint64 numbers[2] = {0, 0};
        qsizetype at = 2;
        for (qint64& number : numbers) {
            for (;;) {
                while (at < head.size() && QByteArray(" \t\r\n").contains(head[at]))
                    ++at;
                if (at < head.size() && head[at] == '#') {
                    while (at < head.size() && head[at] != '\n')
                        ++at;
                    continue;
                }
                break;
            }
            const qsizetype start = at;
            while (at < head.size() && head[at] >= '0' && head[at] <= '9' && at - start < 10)
                number = number * 10 + (head[at++] - '0');
            if (at == start) return std::nullopt;
        }
        return fits(numbers[0], numbers[1]);
    }
    // XPM: a C array whose first string is "<width> <height> <colours> <characters per pixel>".
    if (head.startsWith("/* XPM */")) {
        const qsizetype quote = head.indexOf('"', head.indexOf('{'));
        if (quote < 0) return std::nullopt;
        const QList<QByteArray> values =
            head.mid(quote + 1, head.indexOf('"', quote + 1) - quote - 1).simplified().split(' ');
        if (values.size() < 4) return std::nullopt;
        bool wide = false;
        bool high = false;
        const qint64 width = values[0].toLongLong(&wide);
        const qint64 height = values[1].toLongLong(&high);
        return wide && high ? fits(width, height) : std::nullopt;
    }
    // TGA has no signature: its 18-byte header is taken for one only when every field holds a
    // value the format allows.
    if (head.size() >= 18) {
        const auto* u = reinterpret_cast<const unsigned char*>(head.constData());
        const int mapType = u[1];
        const int imageType = u[2];
        const int mapDepth = u[7];
        const int depth = u[16];
        const bool mapped = imageType == 1 || imageType == 9;
        const bool known = imageType == 1 || imageType == 2 || imageType == 3 || imageType == 9 ||
                           imageType == 10 || imageType == 11;
        const bool mapFits = mapped ? mapType == 1 && (mapDepth == 15 || mapDepth == 16 ||
                                                       mapDepth == 24 || mapDepth == 32)
                                    : mapType == 0;
        const bool depthFits =
            depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
        if (known && mapFits && depthFits && (u[17] & 0xc0) == 0)
            return fits(littleEndian16(u + 12), littleEndian16(u + 14));
    }
    return std::nullopt;
}

} // namespace snapkin::platform::imageprobe
