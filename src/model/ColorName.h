#pragma once

#include <QString>
#include <QStringView>

namespace snapkin {

// A short, localised, human name for a hex colour ("Red", "Light Gray"), shown as help text
// and accessibility label of colour swatches.
struct ColorName {
    // "Custom color" for text that is not a hex colour. Never fails.
    static QString of(QStringView hex);
};

} // namespace snapkin
