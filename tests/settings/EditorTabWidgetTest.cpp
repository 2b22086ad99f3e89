#include "model/AnnotationStore.h"
#include "model/ColorName.h"
#include "platform/Defaults.h"
#include "settings/EditorTab.h"

#include "SettingsTestSupport.h"
#include "ui/platform/Appearance.h"

#include <QAbstractItemView>
#include <QColorDialog>
#include <QComboBox>
#include <QFontMetricsF>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

#include <set>

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

TEST_F(EditorTabTest, TheLineWidthTextKeepsItsWidthAndItsDigitsTheirPlaces)
{
    EditorTab tab(settings());
    const std::optional<QFont> proportional = test::proportionalDigitsFont();
    ASSERT_TRUE(proportional) << "no installed font with proportional digits to test against";
    QLabel* text = tab.lineWidthText();
    for (const QFont& font : test::tabularDigitsFonts(tab, *proportional)) {
        text->setFont(font);
        // The whole range of the slider: the label, and so the slider beside it, stays put.
        std::set<int> widths;
        for (int width = 1; width <= 60; ++width) {
            tab.lineWidthSlider()->setValue(width);
            widths.insert(text->sizeHint().width());
        }
        EXPECT_EQ(widths.size(), 1u) << font.family().toStdString();

        // Whatever the second digit, the first stays on the same pixels.
        const QFontMetricsF metrics(font);
        const int firstDigitEnd = int(text->sizeHint().width() - metrics.horizontalAdvance(" px") -
                                      metrics.horizontalAdvance(u'8')) -
                                  1;
        const auto leading = [&] {
            const QImage shown = test::drawn(text, text->text());
            return shown.copy(0, 0, firstDigitEnd, shown.height());
        };
        for (int tens = 1; tens <= 5; ++tens) {
            tab.lineWidthSlider()->setValue(tens * 10);
            const QImage first = leading();
            for (int width = tens * 10 + 1; width < tens * 10 + 10; ++width) {
                tab.lineWidthSlider()->setValue(width);
                EXPECT_EQ(leading(), first) << font.family().toStdString() << " " << width;
            }
        }
    }
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

namespace {

// The open list of `picker`, each entry's row cut to `width` from its leading side; a picture
// of the list goes to `screenshot` when named.
QList<QImage> openRows(QComboBox* picker, int width, const QString& screenshot = {})
{
    picker->showPopup();
    if (!screenshot.isEmpty()) test::saveScreenshot(*picker->view()->window(), screenshot);
    QAbstractItemView* list = picker->view();
    QList<QImage> rows;
    const QImage shown = list->viewport()->grab().toImage();
    for (int i = 0; i < picker->count(); ++i) {
        const QRect row = list->visualRect(list->model()->index(i, 0));
        rows << shown.copy(row.x(), row.y(), width, row.height());
    }
    picker->hidePopup();
    return rows;
}

} // namespace

TEST_F(EditorTabTest, TheOpenStampListShowsEveryEntryWholeInLightAndDark)
{
    for (const char* look : {"light", "dark"}) {
        platform::Appearance::apply(QString::fromLatin1(look));
        EditorTab tab(settings());
        tab.resize(560, 700);
        tab.show();
        QComboBox* stamps = tab.stampPicker();
        ASSERT_TRUE(stamps->findText("Exclamation mark") >= 0);
        stamps->showPopup();
        const int opened = stamps->view()->viewport()->width();
        stamps->hidePopup();
        // The same list with room to spare draws every entry whole: as opened, each entry's
        // row (its symbol and its text) is drawn alike up to the list's trailing margin.
        const QList<QImage> fitted = openRows(
            stamps, opened - 16, QStringLiteral("settings-editor-stamps-%1.png").arg(look));
        stamps->setMinimumWidth(opened + 300);
        const QList<QImage> roomy = openRows(stamps, opened - 16);
        ASSERT_EQ(fitted.size(), stamps->count());
        for (int i = 0; i < stamps->count(); ++i) {
            EXPECT_FALSE(stamps->itemIcon(i).isNull()) << look << " " << i;
            EXPECT_EQ(fitted[i], roomy[i]) << look << " " << stamps->itemText(i).toStdString();
        }
    }
    platform::Appearance::apply("system");
}
