#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <QString>
#include <QStringList>

#include <optional>

namespace snapkin::platform {

// The application's symbol images by name ("arrow.up.right", "camera.fill", …). Every name has
// a monochrome vector glyph of our own, drawn on a 24 × 24 grid, so that it can be tinted,
// outlined and scaled freely (tool cursor badges rely on that). Toolbars and menus take the
// desktop's themed icon where a fitting freedesktop icon exists, and our glyph otherwise.
class Symbols {
public:
    static constexpr double gridSize = 24.0;

    // The glyph as a filled silhouette in grid coordinates, or nothing for an unknown name. Its
    // outlines never cross; cut-outs are holes under its own (odd-even) fill rule.
    static std::optional<QPainterPath> path(const QString& name);

    // The glyph in `color` on a transparent image whose box is `pointSize` points on its longer
    // side, at the given device pixel ratio. A null image for an unknown name.
    static QImage image(const QString& name, double pointSize, const QColor& color,
                        qreal dpr = 1.0);

    // An icon for toolbars and menus.
    static QIcon icon(const QString& name);

    // The freedesktop icon name used for `name`, or an empty string when our glyph is used.
    static QString themeIconName(const QString& name);

    static QStringList knownNames();
};

} // namespace snapkin::platform
