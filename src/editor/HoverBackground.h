#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace snapkin {

// The highlight behind the editor's small icon buttons: a tinted, outlined rounded rectangle
// while the button stands for the current choice (the current tool), a grey one while the
// pointer is over it, nothing otherwise. Active wins over hovered. Tool buttons use a corner
// radius of 8, every other icon button 6.
struct HoverBackground {
    static constexpr double toolCornerRadius = 8;
    static constexpr double buttonCornerRadius = 6;
    static constexpr double fillOpacity = 0.16;
    static constexpr double borderWidth = 1.5;

    bool active = false;
    bool hovered = false;
    double cornerRadius = buttonCornerRadius;

    // The fill behind the content; transparent when neither active nor hovered.
    QColor fill() const;
    // The rounded outline that fill and border keep within.
    QPainterPath outline(const QRectF& rect) const;

    // Paints fill and border over `rect`, both inside the rounded outline. The content drawn
    // next (a symbol smaller than the button) stays inside it too, so nothing is clipped.
    void paint(QPainter& painter, const QRectF& rect) const;
};

} // namespace snapkin
