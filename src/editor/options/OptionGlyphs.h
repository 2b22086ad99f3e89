#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace snapkin {

// The glyphs of the options bar's buttons that the application's symbol set does not have
// (obscuring styles, arrow heads, stamp kinds, padlocks …), as filled silhouettes on the same
// 24 × 24 grid. Names follow the symbol set's style ("lock.fill", "arrowhead.concave").
class OptionGlyphs {
public:
    OptionGlyphs() = delete;

    // The glyph of `name` (ours, else the symbol set's) in `color`, `points` on its longer side,
    // at `dpr` device pixels per point; a null image for an unknown name.
    static QImage image(const QString& name, double points, const QColor& color, qreal dpr);
};

} // namespace snapkin
