#include "model/AnnotationStore.h"
#include "model/ColorName.h"
#include "platform/Defaults.h"
#include "settings/EditorTab.h"

#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

void choose(QComboBox* picker, const QVariant& data)
{
    const int index = picker->findData(data);
    ASSERT_GE(index, 0);
    picker->setCurrentIndex(index);
    emit picker->activated(index);
}

class EditorTabTest : public ::testing::Test {
protected:
    void SetUp() override { settings().removeAllStored(); }
    void TearDown() override { settings().removeAllStored(); }
    static platform::Defaults& settings() { return platform::Defaults::standard(); }
};

TEST_F(EditorTabTest, AbsentKeysShowTheValuesANewEditorStartsWith)
{
    EditorTab tab(settings());
    const AnnotationStore store(platform::BaseImage(QImage(4, 4, QImage::Format_ARGB32)),
                                settings());
    EXPECT_EQ(tab.colorButton()->text(), store.colorHex());
    EXPECT_EQ(tab.lineWidthSlider()->value(), int(store.lineWidth()));
    EXPECT_EQ(tab.lineWidthText()->text(), "20 px");
    EXPECT_EQ(tab.arrowPicker()->currentText(), "Tapered");
    EXPECT_EQ(tab.textSizePicker()->currentText(), "18 px");
    EXPECT_EQ(tab.obscurePicker()->currentText(), "Pixelate");
    EXPECT_EQ(tab.spotlightPicker()->currentText(), "Ellipse");
    EXPECT_EQ(tab.stampPicker()->currentText(), "Check");
    EXPECT_TRUE(settings().storedValues().isEmpty());
}

TEST_F(EditorTabTest, AChosenColourIsStoredAsUpperCaseHexAndPaletteColoursAreNamed)
{
    EditorTab tab(settings());
    tab.applyColor(QColor(0x2e, 0x7d, 0xf6, 100));
    EXPECT_EQ(settings().stringForKey("defaultColor"), "#2E7DF6");
    EXPECT_EQ(tab.colorButton()->accessibleDescription(), ColorName::of(QStringLiteral("#2E7DF6")));
    EXPECT_FALSE(tab.colorButton()->accessibleDescription().isEmpty());

    settings().setValue("defaultColor", "#2e7df6");
    EditorTab lower(settings());
    EXPECT_EQ(lower.colorButton()->accessibleDescription(),
              ColorName::of(QStringLiteral("#2E7DF6")));

    tab.applyColor(QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(settings().stringForKey("defaultColor"), "#123456");
    EXPECT_EQ(tab.colorButton()->accessibleDescription(), "");
}

TEST_F(EditorTabTest, TheLineWidthShowsInPixelsWithASwatchUpToTwentyTwoPointsHigh)
{
    EditorTab tab(settings());
    tab.lineWidthSlider()->setValue(60);
    EXPECT_DOUBLE_EQ(settings().doubleForKey("defaultLineWidth"), 60);
    EXPECT_EQ(tab.lineWidthText()->text(), "60 px");
    EXPECT_DOUBLE_EQ(tab.swatchLineHeight(), 22);
    tab.lineWidthSlider()->setValue(1);
    EXPECT_DOUBLE_EQ(tab.swatchLineHeight(), 1);

    // A width stored elsewhere, out of range, keeps its value and shows its whole part.
    settings().setValue("defaultLineWidth", 75.8);
    EditorTab outside(settings());
    EXPECT_EQ(outside.lineWidthText()->text(), "75 px");
    EXPECT_DOUBLE_EQ(outside.swatchLineHeight(), 22);
    EXPECT_DOUBLE_EQ(settings().doubleForKey("defaultLineWidth"), 75.8);
}

TEST_F(EditorTabTest, ChoicesReachTheNextEditorButNotOneAlreadyOpen)
{
    const AnnotationStore open(platform::BaseImage(QImage(4, 4, QImage::Format_ARGB32)),
                               settings());
    EditorTab tab(settings());
    choose(tab.spotlightPicker(), false);
    choose(tab.stampPicker(), "number");
    choose(tab.arrowPicker(), "concave");
    choose(tab.textSizePicker(), 36.0);
    choose(tab.obscurePicker(), "stripes");
    EXPECT_EQ(settings().object("defaultSpotlightEllipse"), QVariant(false));
    EXPECT_EQ(settings().stringForKey("defaultStampKind"), "number");

    const AnnotationStore next(platform::BaseImage(QImage(4, 4, QImage::Format_ARGB32)),
                               settings());
    EXPECT_FALSE(next.spotEllipse());
    EXPECT_EQ(next.stampKind(), StampKind::number);
    EXPECT_EQ(next.arrowHead(), ArrowHeadStyle::concave);
    EXPECT_DOUBLE_EQ(next.textSize(), 36);
    EXPECT_EQ(next.obscureStyle(), ObscureStyle::stripes);
    EXPECT_EQ(open.stampKind(), StampKind::check);

    settings().setValue("defaultStampKind", "heart");
    EditorTab unknown(settings());
    EXPECT_EQ(unknown.stampPicker()->currentIndex(), -1);
}

} // namespace
