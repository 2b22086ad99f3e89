#include "model/Tool.h"

#include "platform/L10n.h"

#include <gtest/gtest.h>

#include <set>

using namespace snapkin;

TEST(Tool, RawValueMatchIsExact)
{
    EXPECT_EQ(fromRaw<Tool>(u"imageOverlay"), Tool::imageOverlay);
    EXPECT_FALSE(fromRaw<Tool>(u"ImageOverlay").has_value());
    EXPECT_FALSE(fromRaw<Tool>(u"image").has_value());
    EXPECT_EQ(allCases<Tool>.size(), 16u);
    EXPECT_EQ(allCases<Tool>.front(), Tool::select);
    EXPECT_EQ(allCases<Tool>.back(), Tool::frame);
}

TEST(Tool, CreatesTheKindOfTheSameNameExceptSelectCropAndFrame)
{
    for (Tool tool : allCases<Tool>) {
        const auto kind = annotationKind(tool);
        if (tool == Tool::select || tool == Tool::crop || tool == Tool::frame) {
            EXPECT_FALSE(kind.has_value()) << toRaw(tool).toStdString();
        } else {
            ASSERT_TRUE(kind.has_value()) << toRaw(tool).toStdString();
            EXPECT_EQ(toRaw(*kind), toRaw(tool));
        }
    }
}

TEST(Tool, ShortcutsAreDistinctLowerCaseLetters)
{
    std::set<char16_t> seen;
    for (Tool tool : allCases<Tool>) {
        const QChar key = menuShortcut(tool);
        EXPECT_TRUE(key.isLower()) << toRaw(tool).toStdString();
        EXPECT_TRUE(seen.insert(key.unicode()).second) << toRaw(tool).toStdString();
        EXPECT_FALSE(sfSymbol(tool).isEmpty());
    }
    EXPECT_EQ(menuShortcut(Tool::highlight), u'j');
    EXPECT_EQ(sfSymbol(Tool::pixelate), "square.grid.3x3.square");
}

TEST(Tool, LabelsInEnglish)
{
    platform::L10n::setLanguage("en");
    EXPECT_EQ(label(Tool::imageOverlay), "Image");
    EXPECT_EQ(label(Tool::pen), "Pen");
    EXPECT_EQ(label(Tool::magnifier), "Magnifier");
    EXPECT_EQ(label(Tool::frame), "Frame");
}
