#pragma once

#include "platform/BaseImage.h"

#include <QImage>

namespace snapkin {

// Whether every pixel of an image is opaque. Framing uses it to skip painting background and
// shadow that the image would cover anyway. Answers for base images are remembered by serial
// (serials are never reused), so an image is scanned once.
struct OpaqueImages {
    static bool isOpaque(const platform::BaseImage& image);
    // Scans the pixels; formats without alpha answer at once.
    static bool scan(const QImage& image);
};

} // namespace snapkin
