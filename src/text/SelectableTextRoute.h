#pragma once

#include "model/FrameLayout.h"
#include "model/Tool.h"

#include <QPointF>
#include <QSizeF>

#include <functional>

namespace snapkin {

// What the Selectable Text overlay knows when a press arrives, and the questions it can ask.
// `point` arguments are in the overlay's coordinates (the shown canvas, origin top left, at
// the zoom's scale), except `annotationAt`, which takes image points.
struct SelectableTextRouteState {
    bool storeAlive = true;
    bool hidden = false;
    Tool tool = Tool::select;
    bool isCropping = false;
    QSizeF overlaySize;
    FrameLayout layout;
    std::function<bool(QPointF point)> onControl; // the overlay's own buttons
    std::function<bool(QPointF imagePoint)> annotationAt;
    std::function<bool(QPointF point)> onWord;
    bool hasSelection = false;
};

enum class SelectableTextRoute { canvas, overlay };

// Who gets a press at `point`, in this order: the canvas while the overlay is not interactive
// (any tool but select, or cropping), its store is gone or it is hidden, or the point lies
// outside it; the overlay on its own controls, even over an annotation; the canvas on an
// annotation; the overlay on a word or while text is selected; the canvas otherwise.
SelectableTextRoute route(QPointF point, const SelectableTextRouteState& state);

// `point` of the overlay in image points: divided by the scale (overlay width over canvas
// width; 1 for a canvas of no width), less the image's origin on the canvas.
QPointF imagePoint(QPointF point, QSizeF overlaySize, const FrameLayout& layout);

} // namespace snapkin
