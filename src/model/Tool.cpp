#include "model/Tool.h"

#include "platform/L10n.h"

namespace snapkin {

using platform::L10n;

QString label(Tool tool)
{
    switch (tool) {
    case Tool::select:
        return L10n::text("Select");
    case Tool::arrow:
        return L10n::text("Arrow");
    case Tool::text:
        return L10n::text("Text");
    case Tool::rectangle:
        return L10n::text("Rectangle");
    case Tool::ellipse:
        return L10n::text("Ellipse");
    case Tool::line:
        return L10n::text("Line");
    case Tool::highlight:
        return L10n::text("Highlight");
    case Tool::pixelate:
        return L10n::text("Pixelate");
    case Tool::stamp:
        return L10n::text("Stamp");
    case Tool::pen:
        return L10n::text("tool.pen", "Pen");
    case Tool::spotlight:
        return L10n::text("tool.spotlight", "Spotlight");
    case Tool::sticker:
        return L10n::text("Sticker");
    case Tool::imageOverlay:
        return L10n::text("Image");
    case Tool::crop:
        return L10n::text("Crop");
    case Tool::magnifier:
        return L10n::text("tool.magnifier", "Magnifier");
    case Tool::frame:
        return L10n::text("tool.frame", "Frame");
    }
    return {};
}

QString sfSymbol(Tool tool)
{
    switch (tool) {
    case Tool::select:
        return QStringLiteral("cursorarrow");
    case Tool::arrow:
        return QStringLiteral("arrow.up.right");
    case Tool::text:
        return QStringLiteral("textformat");
    case Tool::rectangle:
        return QStringLiteral("rectangle");
    case Tool::ellipse:
        return QStringLiteral("circle");
    case Tool::line:
        return QStringLiteral("line.diagonal");
    case Tool::highlight:
        return QStringLiteral("highlighter");
    case Tool::pixelate:
        return QStringLiteral("square.grid.3x3.square");
    case Tool::stamp:
        return QStringLiteral("checkmark.seal");
    case Tool::pen:
        return QStringLiteral("scribble");
    case Tool::spotlight:
        return QStringLiteral("camera.metering.spot");
    case Tool::sticker:
        return QStringLiteral("face.smiling");
    case Tool::imageOverlay:
        return QStringLiteral("photo");
    case Tool::crop:
        return QStringLiteral("crop");
    case Tool::magnifier:
        return QStringLiteral("magnifyingglass.circle");
    case Tool::frame:
        return QStringLiteral("square.on.square.dashed");
    }
    return {};
}

QChar menuShortcut(Tool tool)
{
    switch (tool) {
    case Tool::select:
        return u'v';
    case Tool::arrow:
        return u'a';
    case Tool::text:
        return u't';
    case Tool::rectangle:
        return u'r';
    case Tool::ellipse:
        return u'o';
    case Tool::line:
        return u'l';
    case Tool::highlight:
        return u'j';
    case Tool::pixelate:
        return u'b';
    case Tool::stamp:
        return u's';
    case Tool::pen:
        return u'p';
    case Tool::spotlight:
        return u'f';
    case Tool::sticker:
        return u'e';
    case Tool::imageOverlay:
        return u'i';
    case Tool::crop:
        return u'k';
    case Tool::magnifier:
        return u'g';
    case Tool::frame:
        return u'y';
    }
    return {};
}

std::optional<AnnotationKind> annotationKind(Tool tool)
{
    switch (tool) {
    case Tool::select:
    case Tool::crop:
    case Tool::frame:
        return std::nullopt;
    case Tool::arrow:
        return AnnotationKind::arrow;
    case Tool::text:
        return AnnotationKind::text;
    case Tool::rectangle:
        return AnnotationKind::rectangle;
    case Tool::ellipse:
        return AnnotationKind::ellipse;
    case Tool::line:
        return AnnotationKind::line;
    case Tool::highlight:
        return AnnotationKind::highlight;
    case Tool::pixelate:
        return AnnotationKind::pixelate;
    case Tool::stamp:
        return AnnotationKind::stamp;
    case Tool::pen:
        return AnnotationKind::pen;
    case Tool::spotlight:
        return AnnotationKind::spotlight;
    case Tool::sticker:
        return AnnotationKind::sticker;
    case Tool::imageOverlay:
        return AnnotationKind::imageOverlay;
    case Tool::magnifier:
        return AnnotationKind::magnifier;
    }
    return std::nullopt;
}

} // namespace snapkin
