#include "platform/ImageReader.h"

#include "platform/L10n.h"

#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QLoggingCategory>
#include <QTransform>

#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace snapkin::platform {

QString userMessage(ImageReadError error)
{
    switch (error) {
    case ImageReadError::notFound:
        return L10n::text("The file doesn't exist.");
    case ImageReadError::unreadable:
        return L10n::text("The file isn't an image that Snapkin can read, or it is damaged.");
    case ImageReadError::tooLarge:
        return L10n::text("The image is too large to open.");
    }
    return {};
}

namespace {

// ---- Quiet decoders ----

// Decoders report damage through Qt's image categories and libtiff's global handlers, which
// print to the terminal; the reader already turns every failure into its own error.
QLoggingCategory::CategoryFilter previousFilter = nullptr;

void quietImageCategories(QLoggingCategory* category)
{
    if (previousFilter) previousFilter(category);
    const char* name = category->categoryName();
    if (std::strncmp(name, "qt.gui.imageio", 14) == 0 ||
        std::strncmp(name, "qt.imageformats", 15) == 0) {
        category->setEnabled(QtDebugMsg, false);
        category->setEnabled(QtInfoMsg, false);
        category->setEnabled(QtWarningMsg, false);
    }
}

void ignoreTiffMessage(const char*, const char*, va_list) {}

void quietDecoders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        previousFilter = QLoggingCategory::installFilter(quietImageCategories);
        TIFFSetErrorHandler(ignoreTiffMessage);
        TIFFSetWarningHandler(ignoreTiffMessage);
    });
}

// ---- Reading from the device ----

// Bytes in memory as a read-only device. Unlike QBuffer it refuses a position past the end
// without a warning on the terminal, which decoders ask for in damaged files.
class BytesDevice : public QIODevice {
public:
    explicit BytesDevice(QByteArray bytes) : m_bytes(std::move(bytes)) {}

    qint64 size() const override { return m_bytes.size(); }
    bool seek(qint64 pos) override
    {
        if (pos < 0 || pos > m_bytes.size()) return false;
        return QIODevice::seek(pos);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 at = pos();
        const qint64 n = std::clamp<qint64>(m_bytes.size() - at, 0, maxSize);
        if (n > 0) std::memcpy(data, m_bytes.constData() + at, size_t(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
};

// Seeks only within the data: QBuffer warns on the terminal about a position past its end.
bool seekWithin(QIODevice& device, qint64 offset)
{
    return offset >= 0 && offset <= device.size() && device.seek(offset);
}

// Reads exactly `size` bytes at `offset`, or nothing.
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

// The raster formats the application reads, told apart by their first bytes. Nothing else
// reaches Qt's plugins: SVG, for one, can take minutes to render from a few kilobytes.
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

// libpng prints its errors to the terminal before Qt sees them ("libpng error: Read Error" for
// a truncated file). Checking the chunk structure and the CRC of every critical chunk first
// turns a truncated or damaged file into our own error without calling the decoder.
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

// What libjpeg needs beyond the output image. A progressive JPEG, or one whose components come
// in separate scans, is decoded through a buffer of every DCT coefficient of the whole image:
// 128 bytes for each 8 x 8 block of each component, 1.5 GB for a 14000 x 14000 CMYK image that
// a 1.4 KB file can declare. A single-scan JPEG is decoded a few rows at a time.
struct JpegHeader {
    QSize size;
    qint64 coefficientBytes = 0;
};

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

// The GIF decoder draws every frame onto a canvas of the logical screen's size, which the
// header declares apart from the frames (a 35-byte file can declare 14000 x 14000 around a
// single pixel). Qt's reported size is the first frame's, so the screen is checked here.
std::optional<QSize> gifScreenSize(QIODevice& device)
{
    const auto header = readAt(device, 6, 4);
    if (!header) return std::nullopt;
    const auto* u = reinterpret_cast<const unsigned char*>(header->constData());
    return QSize(u[0] | (u[1] << 8), u[2] | (u[3] << 8));
}

// ---- Reading ----

// The orientation a file declares, applied as the decoder would, each step checked: a turn
// that cannot have its memory gives a null image.
QImage oriented(QImage image, QImageIOHandler::Transformations transformation)
{
    using T = QImageIOHandler::Transformation;
    if (transformation.toInt() == T::TransformationNone || image.isNull()) return image;
    if (transformation.toInt() == T::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    if (transformation & (T::TransformationMirror | T::TransformationFlip)) {
        image = image.mirrored(transformation.testFlag(T::TransformationMirror),
                               transformation.testFlag(T::TransformationFlip));
        if (image.isNull()) return image;
    }
    if (transformation & T::TransformationRotate90)
        return image.transformed(QTransform().rotate(90));
    return image;
}

// Whether the memory for an image of `size` could be had now. Tells an image that a decoder
// or a conversion could not allocate from a damaged one, which fail alike.
bool memoryAvailableFor(QSize size)
{
    if (size.isEmpty()) return true;
    // The decoder's image and the conversion after it, both at once.
    const QImage first(size, QImage::Format_ARGB32);
    if (first.isNull()) return false;
    const QImage second(size, QImage::Format_ARGB32);
    return !second.isNull();
}

std::expected<QImage, ImageReadError> readFrom(QIODevice& device, const ImageReadLimits& limits)
{
    quietDecoders();
    const qint64 allocationLimit = qint64(limits.allocationLimitMB) * 1024 * 1024;
    // Every size is checked at 4 bytes a pixel, whatever the decoder's format: that is what
    // the image takes once it is shown.
    const auto tooLarge = [&](QSize size) {
        const qint64 pixels = qint64(size.width()) * size.height();
        return pixels > limits.maxPixels || pixels * 4 > allocationLimit;
    };

    // The size asked for (ImageReadLimits::maxSide), and what a JPEG decoder reduced by a
    // power of two up to 8 makes on the way there.
    const auto fitted = [&](QSize size) {
        const int longer = std::max(size.width(), size.height());
        if (limits.maxSide <= 0 || longer <= limits.maxSide) return size;
        return size.scaled(limits.maxSide, limits.maxSide, Qt::KeepAspectRatio).expandedTo({1, 1});
    };
    const auto jpegDecoded = [&](QSize size) {
        const QSize wanted = fitted(size);
        int denominator = 8;
        while (denominator > 1 && (size.width() / denominator < wanted.width() ||
                                   size.height() / denominator < wanted.height()))
            denominator /= 2;
        return QSize((size.width() + denominator - 1) / denominator,
                     (size.height() + denominator - 1) / denominator);
    };

    if (!seekWithin(device, 0)) return std::unexpected(ImageReadError::unreadable);
    const auto format = formatFromContent(device.read(16));
    if (!format) return std::unexpected(ImageReadError::unreadable);
    if (*format == "png" && !pngStructureIsSound(device))
        return std::unexpected(ImageReadError::unreadable);
    if (*format == "jpeg") {
        const auto jpeg = readJpegHeader(device);
        if (!jpeg || jpeg->size.isEmpty()) return std::unexpected(ImageReadError::unreadable);
        const QSize decoded = jpegDecoded(jpeg->size);
        if (tooLarge(fitted(jpeg->size)) ||
            jpeg->coefficientBytes + qint64(decoded.width()) * decoded.height() * 4 >
                allocationLimit) {
            return std::unexpected(ImageReadError::tooLarge);
        }
    }
    if (*format == "gif") {
        const auto screen = gifScreenSize(device);
        if (!screen) return std::unexpected(ImageReadError::unreadable);
        if (tooLarge(fitted(*screen)) ||
            qint64(screen->width()) * screen->height() * 4 > allocationLimit)
            return std::unexpected(ImageReadError::tooLarge);
    }
    if (!seekWithin(device, 0)) return std::unexpected(ImageReadError::unreadable);

    QImageReader reader(&device, *format);
    // Only the handler of the format found above: never another plugin's guess.
    reader.setAutoDetectImageFormat(false);
    // Turned below, where a turn that runs out of memory can be told apart.
    reader.setAutoTransform(false);
    reader.setAllocationLimit(limits.allocationLimitMB);
    const QSize declared = reader.size();
    if (declared.isValid() && tooLarge(fitted(declared)))
        return std::unexpected(ImageReadError::tooLarge);
    if (declared.isValid() && fitted(declared) != declared) {
        // Only a JPEG is decoded reduced; the others take their full size first.
        const QSize decoded = *format == "jpeg" ? jpegDecoded(declared) : declared;
        if (qint64(decoded.width()) * decoded.height() * 4 > allocationLimit)
            return std::unexpected(ImageReadError::tooLarge);
        reader.setScaledSize(fitted(declared));
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        // Qt reports an allocation refusal or a failed allocation as an invalid image.
        if (declared.isValid() && !declared.isEmpty() && !memoryAvailableFor(declared))
            return std::unexpected(ImageReadError::tooLarge);
        return std::unexpected(ImageReadError::unreadable);
    }
    if (tooLarge(image.size())) return std::unexpected(ImageReadError::tooLarge);
    image = oriented(std::move(image), reader.transformation());
    if (image.isNull()) return std::unexpected(ImageReadError::tooLarge);
    return image;
}

} // namespace

std::expected<QImage, ImageReadError> readImage(const QString& path, ImageReadLimits limits)
{
    const QFileInfo info(path);
    if (!info.exists()) return std::unexpected(ImageReadError::notFound);
    if (!info.isFile()) return std::unexpected(ImageReadError::unreadable);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::unexpected(ImageReadError::unreadable);
    return readFrom(file, limits);
}

std::expected<QImage, ImageReadError> readImage(QIODevice& device, ImageReadLimits limits)
{
    if (!device.isReadable()) return std::unexpected(ImageReadError::unreadable);
    return readFrom(device, limits);
}

std::expected<QImage, ImageReadError> readImage(const QByteArray& data, ImageReadLimits limits)
{
    BytesDevice device(data); // the bytes stay shared, never copied
    if (!device.open(QIODevice::ReadOnly)) return std::unexpected(ImageReadError::unreadable);
    return readFrom(device, limits);
}

} // namespace snapkin::platform
