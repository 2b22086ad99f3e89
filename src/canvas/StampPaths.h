#pragma once

#include "canvas/MarkPath.h"
#include "model/Annotation.h"

#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

namespace snapkin {

// Geometry of a stamp: its pointer tail, its disc, its glyph (vector glyphs of our own for
// check, cross, star and dot; a text for exclamation, question and number) and its label.
struct StampPaths {
    struct TextGlyph {
        QString text;
        double fontSize = 0; // in image points
        QPointF center;
    };

    struct Layout {
        QPainterPath tail;             // empty when the stamp has no tail
        std::optional<QRectF> disc;    // the ellipse inscribed in this rectangle
        bool glyphOnDisc = false;      // the glyph is white on the disc, else the stamp colour
        std::vector<MarkPath> glyph;   // vector glyph, if any
        std::optional<TextGlyph> text; // text glyph, if any
        std::optional<QRectF> label;   // label background
        double labelCornerRadius = 0;
        std::optional<TextGlyph> labelText;
    };

    static Layout layout(const Annotation& stamp);

    // The vector glyph of check, cross, star and dot in `rect`; nothing for the text kinds.
    static std::vector<MarkPath> glyph(const QRectF& rect, StampKind kind);

    // Five-pointed star inscribed in `rect`, first point straight up, running clockwise.
    static QPainterPath starPath(const QRectF& rect);

    // Glyph and label texts are drawn at most this large; larger boxes scale the drawing.
    static constexpr double maxFontSize = 2000;
};

} // namespace snapkin
