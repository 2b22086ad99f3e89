#pragma once

#include "model/AnnotationKinds.h"

#include <QString>

#include <optional>

namespace snapkin {

namespace platform {
class Defaults;
}

// The tool settings a new editor starts from, as the Editor settings keep them. Each is present
// only when the stored value is one a store can take: a colour that is not empty, a known case
// name, a positive number (the spotlight's dim brought into 0.2 … 0.9); anything else leaves the
// store's own initial value.
struct ToolDefaults {
    std::optional<QString> colorHex;
    std::optional<ArrowHeadStyle> arrowHead;
    std::optional<double> lineWidth;
    std::optional<double> textSize;
    std::optional<ObscureStyle> obscureStyle;
    std::optional<double> obscureStrength;
    std::optional<double> highlightOpacity;
    std::optional<double> spotDim;
    std::optional<bool> spotEllipse;
    std::optional<StampKind> stampKind;

    bool operator==(const ToolDefaults&) const = default;
};

ToolDefaults readToolDefaults(const platform::Defaults& settings);

} // namespace snapkin
