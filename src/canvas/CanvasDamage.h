#pragma once

#include "model/Annotation.h"

#include <QList>
#include <QRectF>

#include <optional>

namespace snapkin {

// What part of the canvas a change of its annotations touches, in image points, so a view
// repaints (and its still layer redraws) only that. Pure functions of annotation lists.
struct CanvasDamage {
    // Everything `annotation` may put on the canvas: tight for plain shapes (the stroke's half
    // width and a pixel of antialiasing), the renderer's generous drawn bounds for the rest.
    static QRectF markArea(const Annotation& annotation);
    // The selection outline and handles drawn around `annotation`.
    static QRectF selectionArea(const Annotation& annotation);

    // The area that differs between drawing `before` and drawing `after`: the old and new
    // areas of every annotation added, removed or changed, and every lens that shows any of
    // it. Nothing (std::nullopt) when the whole canvas may differ: the layering changed, or
    // a spotlight did (the dimming's depth is shared by all of them).
    static std::optional<QRectF> between(const QList<Annotation>& before,
                                         const QList<Annotation>& after);
};

} // namespace snapkin
