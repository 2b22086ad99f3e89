#pragma once

#include "model/EnumCoding.h"

#include <QString>

#include <array>
#include <string_view>

namespace snapkin {

// Where a watermark sits on the canvas: one of nine places, or tiled over it.
enum class WatermarkPosition {
    topLeft,
    top,
    topRight,
    left,
    center,
    right,
    bottomLeft,
    bottom,
    bottomRight,
    tile,
};

template <> struct EnumTable<WatermarkPosition> {
    static constexpr std::array cases{
        WatermarkPosition::topLeft,    WatermarkPosition::top,    WatermarkPosition::topRight,
        WatermarkPosition::left,       WatermarkPosition::center, WatermarkPosition::right,
        WatermarkPosition::bottomLeft, WatermarkPosition::bottom, WatermarkPosition::bottomRight,
        WatermarkPosition::tile,
    };
    static constexpr std::array<std::string_view, 10> names{
        "topLeft", "top",        "topRight", "left",        "center",
        "right",   "bottomLeft", "bottom",   "bottomRight", "tile",
    };
};

// The nine placed positions in reading order (row by row from the top left); tile is not
// among them.
inline constexpr std::array<WatermarkPosition, 9> watermarkPositionGrid{
    WatermarkPosition::topLeft,    WatermarkPosition::top,    WatermarkPosition::topRight,
    WatermarkPosition::left,       WatermarkPosition::center, WatermarkPosition::right,
    WatermarkPosition::bottomLeft, WatermarkPosition::bottom, WatermarkPosition::bottomRight,
};

// Localised display name ("Top left", "Tile").
QString label(WatermarkPosition position);

} // namespace snapkin
