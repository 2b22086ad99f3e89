#pragma once

#include "model/AnnotationKinds.h"
#include "model/EnumCoding.h"

#include <QChar>
#include <QString>

#include <array>
#include <optional>
#include <string_view>

namespace snapkin {

// The editor's tools, in palette order. Stored and identified by name (toRaw); never written
// to documents.
enum class Tool {
    select,
    arrow,
    text,
    rectangle,
    ellipse,
    line,
    highlight,
    pixelate,
    stamp,
    pen,
    spotlight,
    sticker,
    imageOverlay,
    crop,
    magnifier,
    frame,
};

template <> struct EnumTable<Tool> {
    static constexpr std::array cases{
        Tool::select,       Tool::arrow, Tool::text,      Tool::rectangle,
        Tool::ellipse,      Tool::line,  Tool::highlight, Tool::pixelate,
        Tool::stamp,        Tool::pen,   Tool::spotlight, Tool::sticker,
        Tool::imageOverlay, Tool::crop,  Tool::magnifier, Tool::frame,
    };
    static constexpr std::array<std::string_view, 16> names{
        "select",       "arrow",    "text",      "rectangle", "ellipse",   "line",
        "highlight",    "pixelate", "stamp",     "pen",       "spotlight", "sticker",
        "imageOverlay", "crop",     "magnifier", "frame",
    };
};

// Localised display name ("Arrow", "Pen").
QString label(Tool tool);
// Name of the symbol image shown for the tool ("arrow.up.right"); how it is drawn is up to
// the views.
QString sfSymbol(Tool tool);
// The symbol that stands for the tool in the palette and the shortcuts sheet: sfSymbol(), but
// the sticker has a filled face on a dark palette.
QString outlineSymbol(Tool tool, bool darkAppearance);
// The tool's single lower-case key.
QChar menuShortcut(Tool tool);
// The kind of annotation the tool creates; nothing for select, crop and frame.
std::optional<AnnotationKind> annotationKind(Tool tool);

} // namespace snapkin
