#include "model/FrameLayout.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

FrameLayout::FrameLayout(QSizeF imageSize, const std::optional<FrameStyle>& frame,
                         double pixelScale)
{
    const double w = imageSize.width();
    const double h = imageSize.height();
    canvasSize = imageSize;
    imageRect = QRectF(0, 0, w, h);
    // A size that is not finite (only a damaged document gives one) is laid out like an
    // empty image rather than spreading NaN or infinity into the canvas.
    if (!frame || !(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h)) return;

    const double s = std::isfinite(pixelScale) ? std::max(pixelScale, 1.0) : 1.0;
    // Used as given: the decoder clamps stored values, and the editor keeps its own within
    // range. Only a value that would make no canvas at all (not a number, or negative) counts
    // as no padding.
    const double padding =
        std::isfinite(frame->padding) && frame->padding > 0 ? frame->padding : 0.0;
    const double pad = std::sqrt(w * h) * padding;
    double width = w + 2 * pad;
    double height = h + 2 * pad;
    if (auto ratio = cropAspectRatio(frame->aspect)) {
        // The canvas only grows, so the padded image always fits.
        if (width / height < *ratio)
            width = height * *ratio;
        else
            height = width / *ratio;
    }
    // A padding so large that the canvas overflows is no padding either.
    if (!std::isfinite(width * s) || !std::isfinite(height * s)) return;
    canvasSize = QSizeF(std::ceil(width * s) / s, std::ceil(height * s) / s);
    const QPointF origin(std::floor((canvasSize.width() - w) * 0.5 * s) / s,
                         std::floor((canvasSize.height() - h) * 0.5 * s) / s);
    imageRect = QRectF(origin, QSizeF(w, h));
}

bool FrameLayout::operator==(const FrameLayout& o) const
{
    return canvasSize.width() == o.canvasSize.width() &&
           canvasSize.height() == o.canvasSize.height() && imageRect.x() == o.imageRect.x() &&
           imageRect.y() == o.imageRect.y() && imageRect.width() == o.imageRect.width() &&
           imageRect.height() == o.imageRect.height();
}

} // namespace snapkin
