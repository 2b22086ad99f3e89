#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

namespace snapkin {

// Colours are stored as hex text, "#" and six upper-case hexadecimal digits (red, green,
// blue) in sRGB. These read and write that text.
struct Color {
    // Never fails: reads "#RRGGBB", "RRGGBB", "#RGB" and "#RRGGBBAA" (surrounding white space
    // allowed); digits are scanned up to the first non-hex character and nothing scanned reads
    // as 0, so unreadable text gives black. Any other length takes the low 24 bits as RGB.
    static QColor fromHex(QStringView hex);
    // "#%02X%02X%02X" of the colour in sRGB; alpha is dropped.
    static QString toHex(const QColor& color);
    // The accent colour, "#FF3366"; also the default colour of new annotations.
    static const QColor& brand();
    static constexpr const char* brandHex = "#FF3366";
};

} // namespace snapkin
