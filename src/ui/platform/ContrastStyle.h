#pragma once

#include <QColor>
#include <QProxyStyle>

namespace snapkin::platform {

// Fusion with check boxes and radio buttons that can be seen, also unchecked: Fusion outlines
// them in a shade of the window colour, which on a dark palette nearly vanishes. This style
// draws their outline in a colour between the window and its text that stands at least 3:1
// against the window (the contrast that controls' boundaries need), in any palette.
class ContrastStyle : public QProxyStyle {
    Q_OBJECT
public:
    ContrastStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

    // The contrast ratio of two colours, as the web's accessibility guidelines define it.
    static double contrastRatio(const QColor& a, const QColor& b);
    // The colour nearest to `background` on the way to `ink` that stands at least `ratio`
    // against `background` (`ink` itself when none nearer does).
    static QColor outlineColor(const QColor& background, const QColor& ink, double ratio = 3.2);
};

} // namespace snapkin::platform
