#pragma once

#include "platform/BaseImage.h"

#include <QByteArray>
#include <QImage>

#include <optional>

namespace snapkin {

// Writes WebP through libwebp: lossless at full quality (its advanced interface at a lower
// effort than its simple call: on a 4K screen grab about 35 % faster for a file about 3 % larger;
// the next level down halves the time again but grows the file by a fifth), lossy below it. When
// the image's resolution is not 72 dpi (a capture at 2 pixels per point is 144 dpi), an EXIF chunk
// recording it is added through libwebpmux.
class WebPEncoder {
public:
    static constexpr int kMaxSide = 16383; // the largest side WebP can store
    // libwebp's lossless preset, 0 (fastest) to 9 (smallest); the simple call is about 5.
    static constexpr int kLosslessLevel = 3;

    // The resolution is 72 dpi times the image's pixel scale.
    static std::optional<QByteArray> encode(const platform::BaseImage& image, double quality);
    // quality >= 1: lossless; below: lossy with libwebp's factor quality x 100 (0 for quality
    // <= 0). Nothing for a side outside 1...16383 or when libwebp fails.
    static std::optional<QByteArray> encode(const QImage& image, double quality, double dpi);

    // The data with an EXIF chunk carrying `dpi`, unless dpi is within half a dot of 72, not
    // positive, or not representable; the data unchanged when the chunk cannot be added.
    static QByteArray withResolution(const QByteArray& webp, double dpi);

    // The EXIF payload: a 66-byte little-endian TIFF structure with XResolution and YResolution
    // (dpi x 1000 / 1000, rounded half away from zero) and ResolutionUnit inch. Nothing when
    // dpi x 1000 does not fit an unsigned 32-bit numerator.
    static std::optional<QByteArray> exifResolution(double dpi);

private:
    static std::optional<QByteArray> encodeLossless(const QImage& image);
};

} // namespace snapkin
