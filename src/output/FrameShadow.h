#pragma once

#include "platform/BaseImage.h"

#include <QImage>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace snapkin {

// The drop shadow a framed image casts onto its background: black, blurred, moved down, and
// following the image's alpha within its rounded outline.
struct FrameShadow {
    double blurRadius = 0; // points; the Gaussian's standard deviation is half of it
    double offsetY = 0;    // points, downwards
    double opacity = 0;

    // The numbers for an image at `imageRect` on its canvas and a shadow strength (clamped to
    // 0 … 1; anything not finite counts as 0). The base radius is 0.45 × the smaller of the
    // left and top margins, kept within 6 … 60 points, so a huge padding cannot ask for a
    // huge blur.
    static FrameShadow of(const QRectF& imageRect, double strength);

    bool isVisible() const { return opacity > 0 && blurRadius > 0; }

    // The shadow as pixels to be drawn, smoothly scaled, into `target` (in the image's own
    // points, origin at its top-left corner). A large blur is computed at a reduced
    // resolution, which a blur of that size cannot tell apart.
    struct Rendition {
        QImage pixels;
        QRectF target;
    };

    // Nothing when a buffer cannot be allocated; a null `pixels` when there is nothing to
    // draw. The last few renditions are kept, so an editor repainting a still frame does not
    // blur again.
    static std::optional<Rendition> render(const platform::BaseImage& image, QSizeF imageSize,
                                           double cornerRadius, const FrameShadow& shadow,
                                           double deviceScale, bool imageIsOpaque);

    // The largest reduction of resolution used for a blurred shadow.
    static constexpr int maxDownsample = 8;
    // The most pixels a shadow's silhouette is computed with.
    static constexpr double maxShadowPixels = 16'000'000;
};

} // namespace snapkin
