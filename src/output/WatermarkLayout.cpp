#include "output/WatermarkLayout.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

bool finitePositive(double v)
{
    return std::isfinite(v) && v > 0;
}

// How many values start, start + step, ... stay at or below `end`.
int countSteps(double start, double end, double step)
{
    if (start > end) return 0;
    return static_cast<int>(std::floor((end - start) / step)) + 1;
}

} // namespace

double WatermarkLayout::referenceLength(QSizeF canvas)
{
    return std::min(canvas.width(), canvas.height());
}

double WatermarkLayout::fontSize(double relativeSize, QSizeF canvas)
{
    const double size = relativeSize * referenceLength(canvas) * 0.25;
    return std::isfinite(size) ? std::max(size, minimumFontSize) : minimumFontSize;
}

QSizeF WatermarkLayout::logoSize(QSizeF logoPixels, double relativeSize, QSizeF canvas)
{
    const double longer = std::max(logoPixels.width(), logoPixels.height());
    if (!(logoPixels.width() > 0 && logoPixels.height() > 0)) return {};
    const double scale = relativeSize * referenceLength(canvas) / longer;
    return logoPixels * scale;
}

QRectF WatermarkLayout::placedRect(WatermarkPosition position, QSizeF canvas, QSizeF item)
{
    // The grid runs row by row from the top left: its column and row give the share of the free
    // width and height that lies before the item. Tile, not on the grid, sits in the centre.
    const auto found = std::ranges::find(watermarkPositionGrid, position);
    const auto index =
        found == watermarkPositionGrid.end() ? 4 : found - watermarkPositionGrid.begin();
    const double fx = 0.5 * double(index % 3);
    const double fy = 0.5 * double(index / 3);
    const double margin = 0.04 * referenceLength(canvas);
    const double w = canvas.width();
    const double h = canvas.height();
    return {margin + (w - 2 * margin - item.width()) * fx,
            margin + (h - 2 * margin - item.height()) * fy, item.width(), item.height()};
}

WatermarkLayout::Tile WatermarkLayout::tile(QSizeF canvas, QSizeF item)
{
    Tile t;
    const double w = canvas.width();
    const double h = canvas.height();
    const double iw = item.width();
    const double ih = item.height();
    if (!finitePositive(w) || !finitePositive(h) || !finitePositive(iw) || !finitePositive(ih))
        return t;
    const double m = referenceLength(canvas);
    const double halfDiagonal = 0.5 * std::sqrt(w * w + h * h);

    t.gap = std::max(2 * ih, 0.08 * m);
    t.stepX = iw + t.gap;
    t.stepY = 3.2 * ih;
    if (!std::isfinite(t.stepX) || !std::isfinite(t.stepY)) return {};

    // Widen a step until its count fits. The reach grows with the larger step, so a second
    // round may be needed; the counts below are capped in any case.
    for (int round = 0; round < 8; ++round) {
        t.reach = halfDiagonal + std::max(t.stepX, t.stepY);
        const double span = 2 * t.reach;
        const double minStepY = span / (maxTileRows - 1);
        const double minStepX = span / (maxTileColumns - 1);
        if (t.stepY >= minStepY * (1 - 1e-12) && t.stepX >= minStepX * (1 - 1e-12)) break;
        t.stepY = std::max(t.stepY, minStepY);
        t.stepX = std::max(t.stepX, minStepX);
    }

    const double r = t.reach;
    t.rows = std::min(countSteps(-r, r, t.stepY), maxTileRows);
    t.columnsEvenRow = std::min(countSteps(-r, r, t.stepX), maxTileColumns);
    t.columnsOddRow = std::min(countSteps(-r + t.stepX / 2, r, t.stepX), maxTileColumns);
    t.centres.reserve(static_cast<size_t>(t.rows) *
                      static_cast<size_t>(std::max(t.columnsEvenRow, t.columnsOddRow)));
    for (int row = 0; row < t.rows; ++row) {
        const double y = -r + row * t.stepY;
        const bool odd = row % 2 == 1;
        const double x0 = odd ? -r + t.stepX / 2 : -r;
        const int columns = odd ? t.columnsOddRow : t.columnsEvenRow;
        for (int col = 0; col < columns; ++col)
            t.centres.emplace_back(x0 + col * t.stepX, y);
    }
    return t;
}

} // namespace snapkin
