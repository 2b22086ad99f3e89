#include "platform/Png16Decoder.h"

#include "platform/ImageProbes.h"

#include <QColorSpace>
#include <QIODevice>

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace snapkin::platform {

namespace {

// Callbacks for C code, each local to this file.
extern "C" {

// libpng's reads, from the device a few kilobytes at a time; a device that runs dry is an error
// (the caller checked that every chunk is whole, so only a failing device gets here).
static void readFromDevice(png_structp png, png_bytep data, size_t length)
{
    auto* device = static_cast<QIODevice*>(png_get_io_ptr(png));
    while (length > 0) {
        const qint64 read = device->read(reinterpret_cast<char*>(data), qint64(length));
        if (read <= 0) png_error(png, "Read Error");
        data += read;
        length -= size_t(read);
    }
}

static void ignoreWarning(png_structp, png_const_charp) {}

// Returns to the setjmp of the call that raised it, without a word on the terminal.
static void stopOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

} // extern "C"

// The read structures, destroyed however the decode ends (an exception from an allocation of
// ours passes through no libpng frame, so it may unwind through this).
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop end = nullptr;

    PngRead()
    {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
        if (!png) return;
        info = png_create_info_struct(png);
        end = png_create_info_struct(png);
    }
    PngRead(const PngRead&) = delete;
    PngRead& operator=(const PngRead&) = delete;
    ~PngRead()
    {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, end ? &end : nullptr);
    }
    bool valid() const { return png && info && end; }
};

// The steps that call libpng each hold their own setjmp, with nothing on their frames that a
// longjmp could skip the destruction of.

bool readHeader(png_structp png, png_infop info, QIODevice* device)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, device, readFromDevice);
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_MAXIMUM_INFLATE_WINDOW)
    // As Qt's reader: a stream whose window header understates its distances still reads.
    png_set_option(png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
#endif
    png_read_info(png, info);
    return true;
}

// Sets the transformations for `format` and returns the bytes of a row libpng will give,
// 0 on an error.
size_t prepareRows(png_structp png, png_infop info, QImage::Format format)
{
    if (setjmp(png_jmpbuf(png))) return 0;
    const int colourType = png_get_color_type(png, info);
    if (format == QImage::Format_RGBA64 && png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (format != QImage::Format_Grayscale16 && !(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    if (format == QImage::Format_RGBX64) png_set_filler(png, 0xffff, PNG_FILLER_AFTER);
    // Qt's 16-bit formats hold each sample in the machine's byte order; PNG's is big-endian.
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) png_set_swap(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info);
}

bool readRows(png_structp png, png_infop info, png_infop end, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    // An error here (a damaged critical chunk after the image data) fails the read, as in Qt.
    png_read_end(png, end);
    return true;
}

void addTexts(png_structp png, png_infop info, QImage& image)
{
    png_textp texts = nullptr;
    int count = 0;
    png_get_text(png, info, &texts, &count);
    for (int i = 0; i < count; ++i) {
        const png_text& text = texts[i];
        const QString key = QString::fromLatin1(text.key);
#if defined(PNG_iTXt_SUPPORTED)
        if (text.itxt_length) {
            image.setText(key, QString::fromUtf8(text.text, qsizetype(text.itxt_length)));
            continue;
        }
#endif
        image.setText(key, QString::fromLatin1(text.text, qsizetype(text.text_length)));
    }
}

// The colour space Qt's reader gives the file: an ICC profile it can use, else sRGB, else the
// decoding gamma (the inverse of the file's encoding one), with the primaries of cHRM where they
// are valid and sRGB's otherwise. The pixels are left
// as stored; converting them is the colour space's business.
QColorSpace colourSpaceOf(png_structp png, png_infop info)
{
    if (png_get_valid(png, info, PNG_INFO_iCCP)) {
        png_charp name = nullptr;
        int compression = 0;
        png_bytep profile = nullptr;
        png_uint_32 length = 0;
        png_get_iCCP(png, info, &name, &compression, &profile, &length);
        QColorSpace space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(profile), qsizetype(length)));
        if (space.isValid()) {
            if (space.description().isEmpty() && name)
                space.setDescription(QString::fromLatin1(name));
            return space;
        }
    }
    if (png_get_valid(png, info, PNG_INFO_sRGB)) {
        int intent = -1;
        png_get_sRGB(png, info, &intent);
        if (intent >= 0 && intent <= 3) return QColorSpace::SRgb;
    }
    double gamma = 0;
    if (png_get_valid(png, info, PNG_INFO_gAMA) && png_get_gAMA(png, info, &gamma) && gamma > 0) {
        double wx = 0, wy = 0, rx = 0, ry = 0, gx = 0, gy = 0, bx = 0, by = 0;
        if (png_get_valid(png, info, PNG_INFO_cHRM) &&
            png_get_cHRM(png, info, &wx, &wy, &rx, &ry, &gx, &gy, &bx, &by)) {
            const auto chromaticity = [](double x, double y) {
                return x >= 0 && x <= 1 && y > 0 && y <= 1 && x + y <= 1;
            };
            if (chromaticity(wx, wy) && chromaticity(rx, ry) && chromaticity(gx, gy) &&
                chromaticity(bx, by)) {
                const QColorSpace space(QPointF(wx, wy), QPointF(rx, ry), QPointF(gx, gy),
                                        QPointF(bx, by), QColorSpace::TransferFunction::Gamma,
                                        float(1 / gamma));
                if (space.isValid()) return space;
            }
        }
        return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma,
                           float(1 / gamma));
    }
    return {};
}

} // namespace

std::expected<QImage, ImageReadError> decodePng16(QIODevice& device, qint64 allocationLimit)
{
    if (!imageprobe::seekWithin(device, 0)) return std::unexpected(ImageReadError::unreadable);
    PngRead read;
    if (!read.valid()) return std::unexpected(ImageReadError::outOfMemory);
    if (!readHeader(read.png, read.info, &device))
        return std::unexpected(ImageReadError::unreadable);

    const png_uint_32 width = png_get_image_width(read.png, read.info);
    const png_uint_32 height = png_get_image_height(read.png, read.info);
    const int colourType = png_get_color_type(read.png, read.info);
    if (png_get_bit_depth(read.png, read.info) != 16 || width == 0 || height == 0)
        return std::unexpected(ImageReadError::unreadable);
    const bool transparentColour = png_get_valid(read.png, read.info, PNG_INFO_tRNS);
    const QImage::Format format =
        colourType == PNG_COLOR_TYPE_GRAY && !transparentColour    ? QImage::Format_Grayscale16
        : (colourType & PNG_COLOR_MASK_ALPHA) || transparentColour ? QImage::Format_RGBA64
                                                                   : QImage::Format_RGBX64;
    const int bytesPerPixel = format == QImage::Format_Grayscale16 ? 2 : 8;
    if (imageprobe::pixelsOver(width, height, allocationLimit / bytesPerPixel))
        return std::unexpected(ImageReadError::tooLarge);

    // Every byte of each row is libpng's to write: a row that would come out shorter than the
    // image's pixels (a transformation libpng didn't take) is refused rather than shown with
    // whatever the memory held.
    const size_t rowBytes = prepareRows(read.png, read.info, format);
    if (rowBytes != size_t(width) * size_t(bytesPerPixel))
        return std::unexpected(ImageReadError::unreadable);

    QImage image(int(width), int(height), format);
    if (image.isNull()) return std::unexpected(ImageReadError::outOfMemory);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        uchar* line = image.scanLine(int(y));
        rows[y] = line;
        // The padding that rounds a row up to 4 bytes, which no pixel covers.
        std::memset(line + rowBytes, 0, size_t(image.bytesPerLine()) - rowBytes);
    }
    if (!readRows(read.png, read.info, read.end, rows.data()))
        return std::unexpected(ImageReadError::unreadable);

    image.setDotsPerMeterX(int(png_get_x_pixels_per_meter(read.png, read.info)));
    image.setDotsPerMeterY(int(png_get_y_pixels_per_meter(read.png, read.info)));
    png_int_32 offsetX = 0, offsetY = 0;
    int unit = PNG_OFFSET_PIXEL;
    if (png_get_oFFs(read.png, read.info, &offsetX, &offsetY, &unit) && unit == PNG_OFFSET_PIXEL)
        image.setOffset(QPoint(offsetX, offsetY));
    addTexts(read.png, read.info, image);
    addTexts(read.png, read.end, image);
    if (const QColorSpace space = colourSpaceOf(read.png, read.info); space.isValid())
        image.setColorSpace(space);
    return image;
}

} // namespace snapkin::platform
