#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <array>
#include <optional>

namespace snapkin {

// What a drag on the crop overlay acts on: a corner or edge handle (n is the top edge, y grows
// downwards), or the whole rectangle.
enum class CropHandle { nw, n, ne, e, se, s, sw, w, move };

// The geometry of the crop overlay, in image points (origin top left, y down). Sizes on screen
// stay constant: line widths, handle sizes and the hit tolerance are divided by the zoom
// (screen points per image point).
class CropGeometry {
public:
    CropGeometry() = delete;

    struct HandlePoint {
        CropHandle handle;
        QPointF point;
    };

    // A side never shrinks below this by a drag, unless the image itself is smaller.
    static constexpr double minimumSide = 20;

    // The eight handles of `rect`, in the order nw, n, ne, e, se, s, sw, w.
    static std::array<HandlePoint, 8> handlePoints(const QRectF& rect);
    // How far from a handle a press still grabs it: 14 screen points, but at least 10 image
    // points.
    static double hitTolerance(double zoom);
    // The first handle, in handlePoints() order, within the tolerance of `point`; none when
    // no handle is that close.
    static std::optional<CropHandle> handleHit(const QRectF& rect, QPointF point, double zoom);
    // What a drag starting at `point` acts on: a handle, else the whole rectangle when the
    // point lies inside it, else nothing.
    static std::optional<CropHandle> dragTarget(const QRectF& rect, QPointF point, double zoom);

    // The rectangle after dragging `handle` of `start` by `delta`, within an image of
    // `imageSize`. Moving keeps the size and stays inside the image; an edge stops 20 points
    // before the opposite one instead of flipping; with a width-to-height `ratio` the height
    // follows the width downwards from the top edge, cut at the image's bottom.
    static QRectF applied(const QRectF& start, CropHandle handle, QPointF delta, QSizeF imageSize,
                          std::optional<double> ratio);

    // The overlay's sizes in image points at a zoom.
    static double borderWidth(double zoom) { return 2 / zoom; }
    static double gridWidth(double zoom) { return 1 / zoom; }
    static double handleSide(double zoom) { return 10 / zoom; }
    static double handleCornerRadius(double zoom) { return 2 / zoom; }
    static double handleOutlineWidth(double zoom) { return 1.5 / zoom; }
    static constexpr double dimmingOpacity = 0.45;
    static constexpr double gridOpacity = 0.4;
};

} // namespace snapkin
