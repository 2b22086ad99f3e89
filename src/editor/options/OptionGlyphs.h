#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QString>

#include <optional>

namespace snapkin {

// The glyphs of the options bar's buttons that the application's symbol set does not have
// (obscuring styles, arrow heads, stamp kinds, padlocks …), as filled silhouettes on the same
// 24 × 24 grid. Names follow the symbol set's style ("lock.fill", "arrowhead.concave").
class OptionGlyphs {
public:
    OptionGlyphs() = delete;

    // The glyph of `name` in grid coordinates: ours, else the symbol set's; none when neither
    // knows it.
    static std::optional<QPainterPath> path(const QString& name);
    // The glyph in `color`, `points` on its longer side, at `dpr` device pixels per point; a
    // null image for an unknown name.
    static QImage image(const QString& name, double points, const QColor& color, qreal dpr);
};

} // namespace snapkin
