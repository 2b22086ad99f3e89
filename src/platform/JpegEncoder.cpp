#include "platform/JpegEncoder.h"

#include "platform/Argb32View.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace snapkin::platform {

namespace {

// libjpeg reports fatal errors through a callback that must not return; the state that outlives
// the jump lives here, not in locals of the function that called setjmp.
struct ErrorTrap {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
};

[[noreturn]] void onFatalError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr, int) {}

} // namespace

std::optional<QByteArray> JpegEncoder::encode(const QImage& source, int quality, double dpi)
{
    if (source.isNull() || source.width() > JPEG_MAX_DIMENSION ||
        source.height() > JPEG_MAX_DIMENSION)
        return std::nullopt;
    const QImage image = argb32View(source);
    if (image.isNull()) return std::nullopt;

    jpeg_compress_struct info{};
    ErrorTrap trap;
    info.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = onFatalError;
    trap.manager.emit_message = onMessage;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&info);
        std::free(trap.output);
        return std::nullopt;
    }

    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &trap.output, &trap.outputSize);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 4;
    // QImage keeps 0xAARRGGBB words: bytes B, G, R, A in memory on little-endian machines.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    info.in_color_space = JCS_EXT_BGRX;
#else
    info.in_color_space = JCS_EXT_XRGB;
#endif
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    if (std::isfinite(dpi) && dpi > 0) {
        const auto density = UINT16(std::clamp(std::lround(dpi), 1L, 65535L));
        info.density_unit = 1; // dots per inch
        info.X_density = density;
        info.Y_density = density;
    }

    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);

    std::optional<QByteArray> result;
    if (trap.output && trap.outputSize > 0)
        result = QByteArray(reinterpret_cast<const char*>(trap.output), qsizetype(trap.outputSize));
    std::free(trap.output);
    return result;
}

} // namespace snapkin::platform
