#pragma once

#include "model/FrameStyle.h"

#include <QRectF>
#include <QSizeF>

#include <optional>

namespace snapkin {

// Where an image sits on its framed canvas. Without a frame the canvas is the image.
struct FrameLayout {
    // The whole presented canvas, in points.
    QSizeF canvasSize{0, 0};
    // The image on that canvas, in points, origin top left; never scaled.
    QRectF imageRect;

    FrameLayout() = default;
    // `pixelScale` is pixels per point; the canvas is rounded up, and the image origin down,
    // to whole pixels at that scale (at least 1).
    FrameLayout(QSizeF imageSize, const std::optional<FrameStyle>& frame, double pixelScale);

    // Exact comparison.
    bool operator==(const FrameLayout& other) const;
};

} // namespace snapkin
