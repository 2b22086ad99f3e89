#include "text/SelectableTextRoute.h"

#include <QRectF>

namespace snapkin {

QPointF imagePoint(QPointF point, QSizeF overlaySize, const FrameLayout& layout)
{
    const double width = layout.canvasSize.width();
    const double scale = width > 0 ? overlaySize.width() / width : 1.0;
    return point / scale - layout.imageRect.topLeft();
}

SelectableTextRoute route(QPointF point, const SelectableTextRouteState& state)
{
    using enum SelectableTextRoute;
    const bool interactive = state.tool == Tool::select && !state.isCropping;
    if (!interactive || !state.storeAlive || state.hidden) return canvas;
    if (!QRectF(QPointF(0, 0), state.overlaySize).contains(point)) return canvas;
    if (state.onControl && state.onControl(point)) return overlay;
    if (state.annotationAt &&
        state.annotationAt(imagePoint(point, state.overlaySize, state.layout)))
        return canvas;
    if ((state.onWord && state.onWord(point)) || state.hasSelection) return overlay;
    return canvas;
}

} // namespace snapkin
