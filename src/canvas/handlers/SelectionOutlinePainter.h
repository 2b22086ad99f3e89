#pragma once

class QPainter;

namespace snapkin {

class AnnotationStore;

// Draws the selection over the annotations: a dashed outline around the selected annotation
// and its handles. Only while the select tool is active.
struct SelectionOutlinePainter {
    // `painter` maps image points to its device.
    static void paint(QPainter& painter, const AnnotationStore& store);

    static constexpr double outlineInset = 4; // the outline lies this far outside the bounds
    static constexpr double outlineWidth = 1.5;
    static constexpr double handleSide = 8;
    static constexpr double curveHandleDiameter = 11;
};

} // namespace snapkin
