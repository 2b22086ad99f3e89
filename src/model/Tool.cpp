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
    // In declaration order.
    static constexpr std::array<const char*, 16> symbols{
        "cursorarrow",
        "arrow.up.right",
        "textformat",
        "rectangle",
        "circle",
        "line.diagonal",
        "highlighter",
        "square.grid.3x3.square",
        "checkmark.seal",
        "scribble",
        "camera.metering.spot",
        "face.smiling",
        "photo",
        "crop",
        "magnifyingglass.circle",
        "square.on.square.dashed",
    };
    return QString::fromLatin1(symbols[std::size_t(tool)]);
}

QString outlineSymbol(Tool tool, bool darkAppearance)
{
    if (tool == Tool::sticker)
        return darkAppearance ? QStringLiteral("face.smiling.inverse")
                              : QStringLiteral("face.smiling");
    return sfSymbol(tool);
}

QChar menuShortcut(Tool tool)
{
    // In declaration order.
    static constexpr std::array<char16_t, 16> keys{u'v', u'a', u't', u'r', u'o', u'l', u'j', u'b',
                                                   u's', u'p', u'f', u'e', u'i', u'k', u'g', u'y'};
    return keys[std::size_t(tool)];
}

std::optional<AnnotationKind> annotationKind(Tool tool)
{
    // A tool that creates annotations has the name of their kind.
    return fromRaw<AnnotationKind>(toRaw(tool));
}

} // namespace snapkin
