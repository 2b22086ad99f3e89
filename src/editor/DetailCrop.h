#pragma once

#include "platform/BaseImage.h"

#include <QRect>
#include <QSizeF>

#include <optional>

namespace snapkin {

// Finds the part of an image that shows best what sharpening does: the region of `size`
// points with the densest edges.
//
// The search runs on a greyscale thumbnail 128 pixels wide, whatever the image's size: the
// edge strength of a thumbnail pixel is its difference to the right-hand and the lower
// neighbour; windows of the region's size are scored by their summed strength at steps of a
// quarter of the window's shorter side, rows outer, and the first strictly best window wins (a
// flat image gives the top-left corner). When no thumbnail can be made, the region is centred.
//
// The result is in the image's own pixels: the region's size at the image's pixel scale,
// clipped to the image, with whole-pixel edges, inside the bitmap. Nothing for an image without
// pixels or without a positive point width.
std::optional<QRect> detailRegion(const platform::BaseImage& image, QSizeF size);

// The pixels of detailRegion(), as an image whose point size is the region's size in points
// (150 × 120 points for a 150 × 120 region of a large enough image).
std::optional<platform::BaseImage> detailCrop(const platform::BaseImage& image, QSizeF size);

} // namespace snapkin
