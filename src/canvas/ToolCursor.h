#pragma once

#include "model/Tool.h"

#include <QCursor>
#include <QImage>
#include <QPoint>
#include <QSize>

namespace snapkin {

// The editor's tool cursors and the capture overlay's cursor: on a 32 × 32 point image, a thin
// crosshair whose crossing is the hot spot (10, 10), and in the lower-right corner the tool's
// symbol as a small badge, outlined in white so that it reads on any background.
//
// Cursors are made once per tool and device pixel ratio (1× and 2×) and kept for the life of
// the process, so switching tools allocates nothing after the first use. Main thread only.
class ToolCursor {
public:
    static constexpr QSize imageSize{32, 32};
    static constexpr QPoint hotSpot{10, 10};
    static constexpr QRectF badgeBox{17, 17, 14, 14};

    // The tool's cursor for the primary screen's pixel ratio; the same object on every call.
    static const QCursor& cursor(Tool tool);
    static const QCursor& cursor(Tool tool, qreal devicePixelRatio);
    // The capture overlay's cursor: a camera badge in the brand colour.
    static const QCursor& capture(qreal devicePixelRatio);

    // The cursor's picture, for inspection: black badge for a tool, brand-coloured for capture.
    static QImage image(const QString& symbol, const QColor& tint, qreal devicePixelRatio);
    // Where the badge of `symbol` is drawn, in points: the glyph scaled to touch the 14-point
    // box and centred on it. Empty when the symbol is unknown.
    static QRectF badgeRect(const QString& symbol);
};

} // namespace snapkin
