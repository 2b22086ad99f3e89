#pragma once

#include "model/WatermarkPosition.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <vector>

namespace snapkin {

// The geometry of a watermark on its canvas, apart from any drawing: the size of the text, the
// place of a single item and the brick pattern of a tiled one. All lengths are in canvas units
// (points); y grows downwards.
struct WatermarkLayout {
    // The smaller side of the canvas; every watermark length is relative to it.
    static double referenceLength(QSizeF canvas);

    // The text's font size: size × shorter side × 0.25, never below 6.
    static constexpr double minimumFontSize = 6.0;
    static double fontSize(double relativeSize, QSizeF canvas);

    // The longer side of a logo: size × shorter side.
    static QSizeF logoSize(QSizeF logoPixels, double relativeSize, QSizeF canvas);

    // Where an item of `item` size sits at one of the nine fixed positions: 4 % of the shorter
    // side away from the canvas edges, centred along an axis for the middle positions.
    // `tile` is not a fixed position and is placed like `center`.
    static QRectF placedRect(WatermarkPosition position, QSizeF canvas, QSizeF item);

    // The brick pattern of a tiled watermark, in coordinates whose origin is the canvas centre
    // (rotated by `tileTextRotationDegrees` for text). Odd rows are shifted by half a step.
    struct Tile {
        double gap = 0;
        double stepX = 0;
        double stepY = 0;
        double reach = 0; // half the canvas diagonal plus the larger step
        int rows = 0;
        int columnsEvenRow = 0;
        int columnsOddRow = 0;
        // The centre of every copy, row by row.
        std::vector<QPointF> centres;
    };

    // Without a bound a flat logo (a few pixels high) or a very long, narrow canvas would ask
    // for millions of copies. Past these counts the steps are widened just enough to stay
    // within them, so the pattern gets sparser but keeps its shape.
    static constexpr int maxTileRows = 100;
    static constexpr int maxTileColumns = 100;

    // Empty when the canvas or the item has no area or a length is not finite.
    static Tile tile(QSizeF canvas, QSizeF item);

    // Tiled text rises to the right: −30° with y pointing down.
    static constexpr double tileTextRotationDegrees = -30.0;
};

} // namespace snapkin
