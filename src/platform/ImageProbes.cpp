#include "platform/ImageProbes.h"

#include <QIODevice>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace snapkin::platform::imageprobe {

bool seekWithin(QIODevice& device, qint64 offset)
{
    return offset >= 0 && offset <= device.size() && device.seek(offset);
}

std::optional<QByteArray> readAt(QIODevice& device, qint64 offset, qint64 size)
{
    if (size < 0 || offset > device.size() - size || !seekWithin(device, offset))
        return std::nullopt;
    QByteArray bytes = device.read(size);
    if (bytes.size() != size) return std::nullopt;
    return bytes;
}

quint32 bigEndian32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return (quint32(u[0]) << 24) | (quint32(u[1]) << 16) | (quint32(u[2]) << 8) | u[3];
}

quint16 bigEndian16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return quint16((u[0] << 8) | u[1]);
}

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
            header = JpegHeader{QSize(width, height), 0};
        } else if (code == 0xda) { // the first scan
            if (!header) return std::nullopt;
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

// ---- GIF ----

std::optional<QSize> gifScreenSize(QIODevice& device)
{
    const auto header = readAt(device, 6, 4);
    if (!header) return std::nullopt;
    const auto* u = reinterpret_cast<const unsigned char*>(header->constData());
    return QSize(u[0] | (u[1] << 8), u[2] | (u[3] << 8));
}

} // namespace snapkin::platform::imageprobe
