#include "PngReference.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace snapkin::fuzz {

namespace {

struct Source {
    const char* data;
    size_t left;
};

// Callbacks for C code, each local to this file.
extern "C" {

static void readFromMemory(png_structp png, png_bytep out, size_t length)
{
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (length > source->left) png_error(png, "Read Error");
    std::memcpy(out, source->data, length);
    source->data += length;
    source->left -= length;
}

static void ignoreWarning(png_structp, png_const_charp) {}

static void stopOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

} // extern "C"

// The header read and the transformations set; 0 on an error, else the image's pixels.
png_uint_32 prepare(png_structp png, png_infop info, Source* source)
{
    if (setjmp(png_jmpbuf(png))) return 0;
    png_set_read_fn(png, source, readFromMemory);
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_MAXIMUM_INFLATE_WINDOW)
    png_set_option(png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
#endif
    png_read_info(png, info);
    png_set_expand(png); // palette to RGB, samples below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_image_width(png, info);
}

bool readRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

} // namespace

std::optional<QImage> decodedByLibpng(const QByteArray& png, qint64 maxPixels)
{
    png_structp read =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, stopOnError, ignoreWarning);
    if (!read) return std::nullopt;
    png_infop info = png_create_info_struct(read);
    std::optional<QImage> decoded;
    Source source{png.constData(), size_t(png.size())};
    if (info && prepare(read, info, &source) > 0) {
        const png_uint_32 width = png_get_image_width(read, info);
        const png_uint_32 height = png_get_image_height(read, info);
        if (png_get_rowbytes(read, info) == size_t(width) * 4 &&
            qint64(width) * qint64(height) <= maxPixels) {
            QImage image(int(width), int(height), QImage::Format_RGBA8888);
            std::vector<png_bytep> rows(image.isNull() ? 0 : height);
            for (png_uint_32 y = 0; y < rows.size(); ++y)
                rows[y] = image.scanLine(int(y));
            if (!rows.empty() && readRows(read, info, rows.data())) decoded = std::move(image);
        }
    }
    png_destroy_read_struct(&read, info ? &info : nullptr, nullptr);
    return decoded;
}

} // namespace snapkin::fuzz
