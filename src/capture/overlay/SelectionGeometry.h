#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>

namespace snapkin {

// The arithmetic of the selection overlay, free of widgets so that it can be tested alone.
//
// Coordinates: points of one screen, origin at the screen's top-left corner, y growing
// downward (the selection view's own coordinates). `bounds` is the screen's rectangle in that
// system, always at (0, 0). Window frames come from the X server in root-window pixels and are
// converted with the screen's native origin and its pixels per point.
namespace SelectionGeometry {

// A selection narrower or lower than this is no selection at all.
inline constexpr double minimumSide = 4;
// The hit square of a handle, centred on its anchor point.
inline constexpr double handleSquare = 12;
// Arrow keys move by this many points, or resize by twice as much with Shift.
inline constexpr double arrowStep = 10;
inline constexpr double shiftArrowStep = 20;
// Shift-arrow resizing never makes a side shorter than this.
inline constexpr double minimumNudgedSide = 10;
// An arrow key without a selection makes a square of this side in the middle of the screen.
inline constexpr double nudgeSquareSide = 240;
// The size badge sits this far above the selection.
inline constexpr double badgeGap = 6;
// Space around the selection and its badge repainted when either changes.
inline constexpr double decorMargin = 10;
// The loupe keeps this distance from the pointer and this margin inside the screen.
inline constexpr double loupeDistance = 22;
inline constexpr double loupeMargin = 4;
// No loupe within this distance of the mode bar.
inline constexpr double barLoupeMargin = 8;

enum class Handle { topLeft, topRight, bottomLeft, bottomRight, top, bottom, left, right };
// Every loop over handles walks them in this order; where hit squares overlap on a tiny
// selection the earlier handle wins.
inline constexpr std::array<Handle, 8> allHandles{
    Handle::topLeft, Handle::topRight, Handle::bottomLeft, Handle::bottomRight,
    Handle::top,     Handle::bottom,   Handle::left,       Handle::right};

// True when both sides are at least `minimumSide` (and are numbers).
bool isUsable(const QRectF& selection);

// The point on `r` that the handle sits on.
QPointF anchor(Handle handle, const QRectF& r);
// The handle's hit square on `r`.
QRectF handleRect(Handle handle, const QRectF& r);
// The first handle whose hit square holds `p`.
std::optional<Handle> handleAt(QPointF p, const QRectF& r);

// `p` limited to the bounds, edges included.
QPointF clamped(QPointF p, const QRectF& bounds);
// The rectangle spanned by two corners, whichever way round.
QRectF spanned(QPointF a, QPointF b);
// `original` shifted by `delta`, kept inside the bounds at its size.
QRectF moved(const QRectF& original, QPointF delta, const QRectF& bounds);
// `original` with the edges the handle controls brought to `p`; dragging past the opposite
// edge flips the rectangle rather than giving it a negative size.
QRectF resized(const QRectF& original, Handle handle, QPointF p);

// What an arrow key does. (dx, dy) is the step in screen directions (up is negative dy).
// Without a usable selection: the centred square. With `resize`, the bottom-left corner stays
// put: right and up grow the rectangle, left and down shrink it, never below 10 points and
// never past the screen's edge. Otherwise the rectangle moves and stays inside the screen.
QRectF nudged(const QRectF& selection, double dx, double dy, bool resize, const QRectF& bounds);

// The badge text, a selection's size truncated to whole numbers: "320 × 200".
QString badgeLabel(QSizeF size);
// The badge's rectangle for a text of `textSize`: above the selection's top-left corner,
// pushed down to stay on the screen when the selection touches its top.
QRectF badgeRect(const QRectF& selection, QSizeF textSize, const QRectF& bounds);
// The area to repaint for a selection and its badge; empty for an empty selection.
QRectF decorRect(const QRectF& selection, QSizeF badgeTextSize, const QRectF& bounds);

// The loupe's top-left corner for a pointer at `p`: below and to the right of it, flipped
// above or to the left where it would leave the screen, kept `loupeMargin` inside, whole points.
QPointF loupeOrigin(QPointF p, QSizeF loupeSize, const QRectF& bounds);

// The snapshot pixel under `p`, for a snapshot of `imageSize` pixels covering the bounds.
QPoint snapshotPixel(QPointF p, const QRectF& bounds, QSize imageSize);
// The selection's size in snapshot pixels, or nothing for a selection under a point wide.
std::optional<QSizeF> selectionPixels(const QRectF& selection, const QRectF& bounds,
                                      QSize imageSize);

// Conversions between screen points and root-window pixels. `nativeOrigin` is the screen's
// top-left corner in root pixels, `scale` its pixels per point.
QPointF toRootPixels(QPointF p, QPoint nativeOrigin, double scale);
QRectF fromRootPixels(const QRect& frame, QPoint nativeOrigin, double scale);

// Whether the loupe may show at `p`, from the view's state.
struct LoupeContext {
    bool enabled = false; // the setting, and a snapshot to read from
    bool windowMode = false;
    bool creating = false;  // a drag that makes or resizes the selection
    bool moving = false;    // a drag that moves it
    bool adjusting = false; // handles shown
    QRectF selection;
    std::optional<QRectF> barFrame;
};
bool wantsLoupe(QPointF p, const QRectF& bounds, const LoupeContext& context);

} // namespace SelectionGeometry

} // namespace snapkin
