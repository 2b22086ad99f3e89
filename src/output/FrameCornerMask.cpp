#include "output/FrameCornerMask.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

QPainterPath roundedOutline(const QRectF& rect, double radius)
{
    QPainterPath path;
    const double r = std::isfinite(radius)
                         ? std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2)
                         : 0.0;
    if (r > 0)
        path.addRoundedRect(rect, r, r);
    else
        path.addRect(rect);
    return path;
}

QPainterPath FrameCornerMask::path() const
{
    QPainterPath mask;
    mask.setFillRule(Qt::OddEvenFill);
    mask.addRect(rect);
    mask.addPath(roundedOutline(rect, radius));
    return mask;
}

} // namespace snapkin
