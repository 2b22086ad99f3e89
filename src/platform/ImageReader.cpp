#include "platform/ImageReader.h"

#include "platform/ImageProbes.h"
#include "platform/L10n.h"
#include "platform/Png16Decoder.h"
#include "platform/PngDirectDecoder.h"
#include "platform/TiffFallback.h"

#include <QFile>
#include <QFileInfo>
#include <QImageIOHandler>
#include <QImageReader>
#include <QLoggingCategory>
#include <QTransform>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

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
    case ImageReadError::outOfMemory:
        return L10n::text("There isn't enough memory to open the image.");
    }
    return {};
}

QString userMessage(ImageReadError error, const QString& name)
{
    if (error == ImageReadError::outOfMemory)
        return L10n::format("There isn't enough memory to open “%@”.", name);
    return L10n::format("“%@”: %@", name, userMessage(error));
}

namespace {

using namespace imageprobe;

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
        for (const QtMsgType type : {QtDebugMsg, QtInfoMsg, QtWarningMsg})
            category->setEnabled(type, false);
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

    const QByteArray& bytes() const { return m_bytes; }

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

// ---- Reading ----

// A PNG through the direct decoder, its bytes read whole (a file no longer than the decoder
// could use: the allocation limit bounds the image and its compressed stream alike). Nothing
// when the file's bytes can't be had in memory at once: Qt's reader, which reads a few
// kilobytes at a time, may still have room for the image.
std::optional<QImage> readPngDirectly(QIODevice& device, qint64 allocationLimit)
{
    if (const auto* inMemory = dynamic_cast<const BytesDevice*>(&device))
        return decodePngDirectly(inMemory->bytes(), allocationLimit);
    const qint64 size = device.size();
    if (size <= 0 || size > allocationLimit) return std::nullopt;
    // Qt's reader has read the header and goes on from where it stopped if this gives nothing.
    const qint64 resumeAt = device.pos();
    if (!seekWithin(device, 0)) return std::nullopt;
    QByteArray bytes;
    try {
        bytes = device.read(size);
    } catch (const std::bad_alloc&) {
        seekWithin(device, resumeAt);
        return std::nullopt;
    }
    if (!seekWithin(device, resumeAt) || bytes.size() != size) return std::nullopt;
    return decodePngDirectly(bytes, allocationLimit - size);
}

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

// libpng leaves the bits past the last pixel of a 1-bit row as the memory held them (in an
// interlaced image, every row's): no pixel, but conversions read them with the pixels' byte.
void clearBitsPastTheWidth(QImage& image)
{
    if (image.format() != QImage::Format_Mono && image.format() != QImage::Format_MonoLSB) return;
    const int usedBits = image.width() % 8;
    const qsizetype whole = image.width() / 8;
    const uchar keep = image.format() == QImage::Format_Mono ? uchar(0xff00 >> usedBits)
                                                             : uchar((1 << usedBits) - 1);
    for (int y = 0; y < image.height(); ++y) {
        uchar* row = image.scanLine(y);
        if (usedBits) row[whole] &= keep;
        const qsizetype used = whole + (usedBits ? 1 : 0);
        std::memset(row + used, 0, size_t(image.bytesPerLine() - used));
    }
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

// Whether an image of `size` at 4 bytes a pixel, with `extra` bytes beside it, takes more than
// `limit` bytes: two sides near INT_MAX multiply past what 64 bits hold once counted in bytes.
bool overAt4Bytes(QSize size, qint64 limit, qint64 extra = 0)
{
    return pixelsOver(quint64(std::max(size.width(), 0)), quint64(std::max(size.height(), 0)),
                      (limit - extra) / 4);
}

std::expected<QImage, ImageReadError> readFrom(QIODevice& device, const ImageReadLimits& limits)
{
    quietDecoders();
    const qint64 allocationLimit = qint64(limits.allocationLimitMB) * 1024 * 1024;
    // Every size is checked at 4 bytes a pixel, whatever the decoder's format: that is what
    // the image takes once it is shown.
    const auto tooLarge = [&](QSize size) {
        if (overAt4Bytes(size, allocationLimit)) return true;
        return qint64(std::max(size.width(), 0)) * std::max(size.height(), 0) > limits.maxPixels;
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
    // An image decoded at full size (through libpng or libtiff) brought to the size asked for,
    // as Qt's reader scales a file it decodes whole; false when the memory for that is lacking.
    const auto scaledToFit = [&](QImage& image) {
        const QSize wanted = fitted(image.size());
        if (wanted == image.size()) return true;
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return !image.isNull();
    };

    if (!seekWithin(device, 0)) return std::unexpected(ImageReadError::unreadable);
    const auto format = formatFromContent(device.read(16));
    if (!format) {
        // Not read, but one too large to open is told so, as any other image is.
        const auto declared = unreadFormatDeclaredSize(device);
        return std::unexpected(declared && tooLarge(*declared) ? ImageReadError::tooLarge
                                                               : ImageReadError::unreadable);
    }
    // A file cut short is refused, never shown in part: the PNG, JPEG, GIF and BMP decoders
    // show what they could read, the rest black, grey or transparent, and report success.
    // Each check comes after the size's, so a huge header alone is `tooLarge`.
    if (*format == "png" && !pngStructureIsSound(device))
        return std::unexpected(ImageReadError::unreadable);
    // PNGs of 16 bits a sample are decoded through libpng here: Qt's reader gets some wrong.
    bool png16 = false;
    if (*format == "png" && seekWithin(device, 0)) {
        const auto header = pngHeader(device.read(26));
        png16 = header && header->depth == 16;
    }
    if (*format == "jpeg") {
        const auto jpeg = readJpegHeader(device);
        if (!jpeg || jpeg->size.isEmpty()) return std::unexpected(ImageReadError::unreadable);
        const QSize decoded = jpegDecoded(jpeg->size);
        if (tooLarge(fitted(jpeg->size)) ||
            overAt4Bytes(decoded, allocationLimit, jpeg->coefficientBytes)) {
            return std::unexpected(ImageReadError::tooLarge);
        }
        if (!jpegReachesItsEnd(device, jpeg->firstScan))
            return std::unexpected(ImageReadError::unreadable);
    }
    if (*format == "gif") {
        const auto screen = gifScreenSize(device);
        if (!screen) return std::unexpected(ImageReadError::unreadable);
        if (tooLarge(fitted(*screen)) || overAt4Bytes(*screen, allocationLimit))
            return std::unexpected(ImageReadError::tooLarge);
        if (!gifFirstImageIsWhole(device)) return std::unexpected(ImageReadError::unreadable);
    }
    if (*format == "bmp") {
        // Qt declares no size for a BMP stored top row first.
        const auto bmp = readBmpHeader(device);
        if (!bmp) return std::unexpected(ImageReadError::unreadable);
        if (tooLarge(fitted(bmp->size)) || overAt4Bytes(bmp->size, allocationLimit))
            return std::unexpected(ImageReadError::tooLarge);
        if (!bmp->whole) return std::unexpected(ImageReadError::unreadable);
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
        if (overAt4Bytes(decoded, allocationLimit))
            return std::unexpected(ImageReadError::tooLarge);
        reader.setScaledSize(fitted(declared));
    }
    QImage image;
    QImageIOHandler::Transformations transformation = QImageIOHandler::TransformationNone;
    // Screenshots' PNGs are decoded in one pass; every other PNG, and any the direct decoder
    // has the least doubt about, goes through Qt's reader below.
    if (*format == "png" && declared.isValid() && fitted(declared) == declared) {
        if (std::optional<QImage> direct = readPngDirectly(device, allocationLimit))
            image = std::move(*direct);
    }
    if (!image.isNull()) {
        // Decoded already; a PNG declares no orientation this decoder takes.
    } else if (png16) {
        auto decoded = decodePng16(device, allocationLimit);
        if (!decoded) {
            if (decoded.error() == ImageReadError::unreadable && !memoryAvailableFor(declared))
                return std::unexpected(ImageReadError::outOfMemory);
            return std::unexpected(decoded.error());
        }
        image = std::move(*decoded);
        if (!scaledToFit(image)) return std::unexpected(ImageReadError::outOfMemory);
    } else if (reader.read(&image) && !image.isNull()) {
        clearBitsPastTheWidth(image);
        transformation = reader.transformation();
        // Qt's WebP reader leaves the EXIF orientation unapplied.
        if (*format == "webp" && transformation == QImageIOHandler::TransformationNone)
            transformation = exifTransformation(webpOrientation(device));
    } else {
        // Qt reports an allocation refusal or a failed allocation as an invalid image.
        if (declared.isValid() && !declared.isEmpty() && !memoryAvailableFor(declared))
            return std::unexpected(ImageReadError::outOfMemory);
        if (*format != "tiff") return std::unexpected(ImageReadError::unreadable);
        // Tiled and floating-point files, which Qt's TIFF reader refuses. Decoded at full
        // size: with a size asked for, only the allocation limit bounds that, as above.
        auto tiff = readTiffThroughLibtiff(
            device, limits.maxSide > 0 ? allocationLimit / 4 : limits.maxPixels, allocationLimit);
        if (!tiff) return std::unexpected(tiff.error());
        image = std::move(tiff->image);
        transformation = tiff->transformation;
        if (!scaledToFit(image)) return std::unexpected(ImageReadError::outOfMemory);
    }
    if (tooLarge(image.size())) return std::unexpected(ImageReadError::tooLarge);
    image = oriented(std::move(image), transformation);
    if (image.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    return image;
}

// readFrom(), with memory that ran out anywhere on the way (a buffer of the file's bytes, a
// decoder's own, a conversion) told as such: Qt's containers and the standard library's throw
// when an allocation fails, where a QImage comes back null.
std::expected<QImage, ImageReadError> readWithin(QIODevice& device, const ImageReadLimits& limits)
{
    try {
        return readFrom(device, limits);
    } catch (const std::bad_alloc&) {
        return std::unexpected(ImageReadError::outOfMemory);
    }
}

} // namespace

std::expected<QImage, ImageReadError> readImage(const QString& path, ImageReadLimits limits)
{
    const QFileInfo info(path);
    if (!info.exists()) return std::unexpected(ImageReadError::notFound);
    if (!info.isFile()) return std::unexpected(ImageReadError::unreadable);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::unexpected(ImageReadError::unreadable);
    return readWithin(file, limits);
}

std::expected<QImage, ImageReadError> readImage(QIODevice& device, ImageReadLimits limits)
{
    if (!device.isReadable()) return std::unexpected(ImageReadError::unreadable);
    return readWithin(device, limits);
}

std::expected<QImage, ImageReadError> readImage(const QByteArray& data, ImageReadLimits limits)
{
    BytesDevice device(data); // the bytes stay shared, never copied
    if (!device.open(QIODevice::ReadOnly)) return std::unexpected(ImageReadError::unreadable);
    return readWithin(device, limits);
}

} // namespace snapkin::platform
