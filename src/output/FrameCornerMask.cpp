#include "output/FrameCornerMask.h"

#include "platform/ContinuousCorners.h"

namespace snapkin {

QPainterPath roundedOutline(const QRectF& rect, double radius)
{
    return platform::ContinuousCorners::roundedRect(rect, radius);
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
