#include "model/Color.h"
#include "model/ColorName.h"

#include "platform/L10n.h"

#include <gtest/gtest.h>

using namespace snapkin;

namespace {

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

Rgba rgba(const QColor& c)
{
    return {c.red(), c.green(), c.blue(), c.alpha()};
}

void PrintTo(const Rgba& c, std::ostream* os)
{
    *os << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

} // namespace

TEST(ColorFromHex, AcceptedSpellingsOfTheSameColour)
{
    const Rgba brand{255, 51, 102, 255};
    EXPECT_EQ(rgba(Color::fromHex(u"#FF3366")), brand);
    EXPECT_EQ(rgba(Color::fromHex(u"FF3366")), brand);
    EXPECT_EQ(rgba(Color::fromHex(u"  #ff3366\n")), brand);
    EXPECT_EQ(rgba(Color::fromHex(u"#F36")), brand);
    EXPECT_EQ(rgba(Color::brand()), brand);
}

TEST(ColorFromHex, OddTextFollowsTheScanningRules)
{
    EXPECT_EQ(rgba(Color::fromHex(u"#FF336680")), (Rgba{255, 51, 102, 128}));
    // Four digits: the low 24 bits of 0xFFFF.
    EXPECT_EQ(rgba(Color::fromHex(u"#FFFF")), (Rgba{0, 255, 255, 255}));
    // "red" has three characters, doubled to "rreedd"; nothing scans, so black.
    EXPECT_EQ(rgba(Color::fromHex(u"red")), (Rgba{0, 0, 0, 255}));
    // Eight characters that do not start with a digit: transparent black.
    EXPECT_EQ(rgba(Color::fromHex(u"#zz336680")), (Rgba{0, 0, 0, 0}));
    // Scanning stops at the first non-digit: "12" then "zz…".
    EXPECT_EQ(rgba(Color::fromHex(u"#12zzzz")), (Rgba{0, 0, 0x12, 255}));
    EXPECT_EQ(rgba(Color::fromHex(u"")), (Rgba{0, 0, 0, 255}));
    // A "0x" prefix is scanned over, but the length rule counts it: eight characters are RGBA.
    EXPECT_EQ(rgba(Color::fromHex(u"0xFF3366")), (Rgba{0, 255, 51, 102}));
    EXPECT_EQ(rgba(Color::fromHex(u"0x00FF3366")), (Rgba{255, 51, 102, 255}));
    // Too many digits saturate rather than wrap.
    EXPECT_EQ(rgba(Color::fromHex(u"FFFFFFFFFFFFFFFFFFFF")), (Rgba{255, 255, 255, 255}));
}

TEST(ColorToHex, WritesUpperCaseRgbRoundingHalvesUp)
{
    EXPECT_EQ(Color::toHex(Color::fromHex(u"#2e7df6")), "#2E7DF6");
    EXPECT_EQ(Color::toHex(QColor::fromRgbF(0.5f, 0, 1)), "#8000FF");
    EXPECT_EQ(Color::toHex(Color::fromHex(u"#FF336680")), "#FF3366") << "alpha is dropped";
    EXPECT_EQ(Color::toHex(QColor::fromHsv(0, 255, 255)), "#FF0000");
    EXPECT_EQ(Color::toHex(QColor()), "#000000");
}

TEST(ColorName, NamesByHueSaturationAndValue)
{
    platform::L10n::setLanguage("en");
    const std::pair<const char*, const char*> cases[] = {
        {"#FF3366", "Red"},    {"#0000FF", "Indigo"},     {"#2E7DF6", "Blue"},
        {"#FF9500", "Orange"}, {"#1D1D1F", "Black"},      {"#F5F5F7", "White"},
        {"#BFBFBF", "Gray"},   {"#E5E5EA", "Light Gray"}, {"#804000", "Brown"},
        {"#FFF", "White"},     {"#FF336680", "Red"},      {" ffcc00 ", "Yellow"},
        {"#34C759", "Green"},  {"#30C8D6", "Teal"},       {"#AF52DE", "Purple"},
        {"#FF2D9B", "Pink"},
    };
    for (auto [hex, name] : cases)
        EXPECT_EQ(ColorName::of(QString::fromUtf8(hex)), name) << hex;
}

TEST(ColorName, TextThatIsNotAColourIsCustom)
{
    platform::L10n::setLanguage("en");
    for (const char* hex : {"#FFFFF", "GGHHII", "", "#", "+FFFFF", "#12 456"})
        EXPECT_EQ(ColorName::of(QString::fromUtf8(hex)), "Custom color") << hex;
}
