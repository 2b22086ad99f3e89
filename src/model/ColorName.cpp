#include "model/ColorName.h"

#include "platform/L10n.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

using platform::L10n;

namespace {

const char* englishName(QStringView hex)
{
    QString text = hex.trimmed().toString();
    if (text.startsWith(u'#')) text.remove(0, 1);
    if (text.size() == 3) {
        const QChar digits[] = {text[0], text[0], text[1], text[1], text[2], text[2]};
        text = QString(digits, 6);
    }
    if (text.size() < 6) return "Custom color";
    bool ok = false;
    const uint value = text.left(6).toUInt(&ok, 16);
    // toUInt() would take a sign; only six hexadecimal digits are a colour.
    const bool allDigits = std::all_of(text.begin(), text.begin() + 6, [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
    if (!ok || !allDigits) return "Custom color";

    const double r = double((value >> 16) & 0xFF) / 255;
    const double g = double((value >> 8) & 0xFF) / 255;
    const double b = double(value & 0xFF) / 255;
    const double v = std::max({r, g, b});
    const double m = std::min({r, g, b});
    const double c = v - m;

    if (v < 0.13) return "Black";
    const double s = c / v;
    if (s < 0.12 && v >= 0.96) return "White";
    if (s < 0.12 && v >= 0.75) return "Light Gray";
    if (s < 0.12) return "Gray";

    double hue;
    if (v == r)
        hue = 60 * std::fmod((g - b) / c, 6.0);
    else if (v == g)
        hue = 60 * ((b - r) / c + 2);
    else
        hue = 60 * ((r - g) / c + 4);
    if (hue < 0) hue += 360;

    if (v < 0.6 && hue >= 15 && hue <= 45) return "Brown";
    if (hue < 15 || hue >= 345) return "Red";
    if (hue < 45) return "Orange";
    if (hue < 70) return "Yellow";
    if (hue < 165) return "Green";
    if (hue < 195) return "Teal";
    if (hue < 232) return "Blue";
    if (hue < 255) return "Indigo";
    if (hue < 290) return "Purple";
    return "Pink";
}

} // namespace

QString ColorName::of(QStringView hex)
{
    return L10n::text(englishName(hex));
}

} // namespace snapkin
