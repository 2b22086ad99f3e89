#include "model/ToolDefaults.h"

#include "platform/Defaults.h"

#include <algorithm>

namespace snapkin {

namespace {

std::optional<double> positive(double value)
{
    return value > 0 ? std::optional(value) : std::nullopt;
}

} // namespace

ToolDefaults readToolDefaults(const platform::Defaults& settings)
{
    ToolDefaults tools;
    if (QString color = settings.get(keys::defaultColor); !color.isEmpty())
        tools.colorHex = std::move(color);
    tools.arrowHead = fromRaw<ArrowHeadStyle>(settings.get(keys::defaultArrowHead));
    tools.lineWidth = positive(settings.get(keys::defaultLineWidth));
    tools.textSize = positive(settings.get(keys::defaultTextSize));
    tools.obscureStyle = fromRaw<ObscureStyle>(settings.get(keys::defaultObscureStyle));
    tools.obscureStrength = positive(settings.get(keys::defaultObscureStrength));
    tools.highlightOpacity = positive(settings.get(keys::defaultHighlightOpacity));
    if (auto dim = positive(settings.get(keys::defaultSpotlightDim)))
        tools.spotDim = std::clamp(*dim, 0.2, 0.9);
    if (settings.contains(keys::defaultSpotlightEllipse))
        tools.spotEllipse = settings.get(keys::defaultSpotlightEllipse);
    tools.stampKind = fromRaw<StampKind>(settings.get(keys::defaultStampKind));
    return tools;
}

} // namespace snapkin
