#include "model/WatermarkPosition.h"

#include "platform/L10n.h"

namespace snapkin {

using platform::L10n;

QString label(WatermarkPosition position)
{
    switch (position) {
    case WatermarkPosition::topLeft:
        return L10n::text("Top left");
    case WatermarkPosition::top:
        return L10n::text("Top");
    case WatermarkPosition::topRight:
        return L10n::text("Top right");
    case WatermarkPosition::left:
        return L10n::text("Left");
    case WatermarkPosition::center:
        return L10n::text("Center");
    case WatermarkPosition::right:
        return L10n::text("Right");
    case WatermarkPosition::bottomLeft:
        return L10n::text("Bottom left");
    case WatermarkPosition::bottom:
        return L10n::text("Bottom");
    case WatermarkPosition::bottomRight:
        return L10n::text("Bottom right");
    case WatermarkPosition::tile:
        return L10n::text("Tile");
    }
    return {};
}

} // namespace snapkin
