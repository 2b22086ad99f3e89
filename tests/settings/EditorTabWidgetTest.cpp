#include "model/AnnotationStore.h"
#include "model/ColorName.h"
#include "platform/Defaults.h"
#include "settings/EditorTab.h"

#include <QColorDialog>
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

// The colour the swatch paints in its middle.
QColor swatchColour(QWidget* swatch)
{
    const QImage image = swatch->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST_F(EditorTabTest, TheColourDialogStoresAsItChangesAndCancelPutsBackTheColourFromBefore)
{
    EditorTab tab(settings());
    tab.colorButton()->click();
    QColorDialog* dialog = tab.colorDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->currentColor(), QColor(0xFF, 0x33, 0x66));

    // While picking, the setting, the well and the swatch follow the dialog.
    dialog->setCurrentColor(QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(settings().stringForKey("defaultColor"), "#123456");
    EXPECT_EQ(tab.colorButton()->text(), "#123456");
    EXPECT_EQ(swatchColour(tab.swatch()), QColor(0x12, 0x34, 0x56));
    dialog->setCurrentColor(QColor(0x2E, 0x7D, 0xF6));
    EXPECT_EQ(tab.colorButton()->text(), "#2E7DF6");

    // Clicking the well again brings the same dialog forward.
    tab.colorButton()->click();
    EXPECT_EQ(tab.colorDialog(), dialog);

    // Cancel: no colour was stored before, so none is now.
    dialog->reject();
    EXPECT_FALSE(settings().hasStoredValue("defaultColor"));
    EXPECT_EQ(tab.colorButton()->text(), "#FF3366");
    EXPECT_EQ(swatchColour(tab.swatch()), QColor(0xFF, 0x33, 0x66));

    // With a stored colour, Cancel restores it and OK keeps the colour picked.
    settings().setValue("defaultColor", "#34C759");
    EditorTab stored(settings());
    stored.openColorDialog();
    ASSERT_NE(stored.colorDialog(), nullptr);
    stored.colorDialog()->setCurrentColor(QColor(0xAF, 0x52, 0xDE));
    EXPECT_EQ(settings().stringForKey("defaultColor"), "#AF52DE");
    stored.colorDialog()->reject();
    EXPECT_EQ(settings().stringForKey("defaultColor"), "#34C759");
    stored.openColorDialog();
    ASSERT_NE(stored.colorDialog(), nullptr);
    EXPECT_EQ(stored.colorDialog()->currentColor(), QColor(0x34, 0xC7, 0x59));
    stored.colorDialog()->setCurrentColor(QColor(0xAF, 0x52, 0xDE));
    stored.colorDialog()->accept();
    EXPECT_EQ(stored.colorDialog(), nullptr);
    EXPECT_EQ(settings().stringForKey("defaultColor"), "#AF52DE");
    EXPECT_EQ(stored.colorButton()->text(), "#AF52DE");
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
