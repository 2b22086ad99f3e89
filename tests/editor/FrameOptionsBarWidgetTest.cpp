#include "OptionsTestSupport.h"
#include "editor/options/ContextualToolbar.h"
#include "editor/options/FrameOptionsBar.h"
#include "editor/options/FrameSwatches.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/OptionSwitch.h"
#include "editor/options/WatermarkOptions.h"
#include "model/Color.h"
#include "output/FrameSettings.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QToolButton>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

using Density = OptionsDensity;

class FrameOptionsBarTest : public OptionsTest {
protected:
    // A remembered frame that differs from the default in every slider and the aspect.
    static FrameStyle rememberSomeFrame()
    {
        FrameStyle frame;
        frame.padding = 0.2;
        frame.cornerRadius = 30;
        frame.shadow = 0.9;
        frame.aspect = CropAspect::r16x9;
        FrameSettings::remember(std::optional(frame));
        FrameSettings::remember(std::optional<FrameStyle>());
        return frame;
    }
};

} // namespace

TEST_F(FrameOptionsBarTest, WithoutFrameControlsAreDisabledAndShowTheRememberedFrame)
{
    const FrameStyle remembered = rememberSomeFrame();
    auto store = plainStore();
    FrameOptionsBar bar(*store, Density::full);
    EXPECT_FALSE(bar.frameSwitch()->isChecked());
    EXPECT_TRUE(bar.frameSwitch()->isEnabled());
    for (OptionSlider* slider : {bar.paddingSlider(), bar.cornerRadiusSlider(), bar.shadowSlider()})
        EXPECT_FALSE(slider->isEnabled());
    EXPECT_NEAR(bar.paddingSlider()->doubleValue(), remembered.padding, 1e-3);
    EXPECT_NEAR(bar.cornerRadiusSlider()->doubleValue(), remembered.cornerRadius, 0.05);
    EXPECT_NEAR(bar.shadowSlider()->doubleValue(), remembered.shadow, 1e-3);
    EXPECT_FALSE(bar.aspectButton()->isEnabled());
    EXPECT_EQ(bar.aspectButton()->text(), "16:9");
    EXPECT_TRUE(bar.aspectActions()[int(CropAspect::r16x9)]->isChecked());

    FrameOptionsBar overflow(*store, Density::overflow);
    EXPECT_FALSE(overflow.aspectMenu()->isEnabled());
    // Showing wrote nothing.
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_FALSE(store->hasUnsavedChanges());
}

TEST_F(FrameOptionsBarTest, SwitchingIsOneUndoStepEachWay)
{
    const FrameStyle remembered = rememberSomeFrame();
    auto store = plainStore();
    FrameOptionsBar bar(*store, Density::full);
    bar.frameSwitch()->click();
    ASSERT_TRUE(store->frame());
    EXPECT_EQ(*store->frame(), remembered);
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_TRUE(bar.paddingSlider()->isEnabled());
    bar.frameSwitch()->click();
    EXPECT_FALSE(store->frame());
    EXPECT_EQ(store->undoCount(), 2);
    store->undo();
    EXPECT_EQ(store->frame(), remembered);
    EXPECT_TRUE(bar.frameSwitch()->isChecked());
    store->undo();
    EXPECT_FALSE(store->frame());
    EXPECT_FALSE(bar.frameSwitch()->isChecked());
}

TEST_F(FrameOptionsBarTest, SliderDragIsOneStepAndKeyRunsAreGroupedByTheSecond)
{
    auto store = plainStore();
    store->setFrame(FrameStyle{}, false);
    FrameOptionsBar bar(*store, Density::full);
    OptionSlider* slider = bar.cornerRadiusSlider();
    ManualClock clock;
    slider->setClock(clock.function());

    slider->setSliderDown(true);
    for (int value = 300; value <= 900; value += 100)
        slider->setValue(value);
    slider->setSliderDown(false);
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_NEAR(store->frame()->cornerRadius, 36, 1e-9);

    // Arrow keys more than a second apart: a step each; a quick run: one step.
    QTest::keyClick(slider, Qt::Key_Left);
    clock.advance(1.5);
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(store->undoCount(), 3);
    for (int i = 0; i < 5; ++i) {
        clock.advance(1.5 * (i == 0) + 0.2);
        QTest::keyClick(slider, Qt::Key_Left);
    }
    EXPECT_EQ(store->undoCount(), 4);
    // A wheel turn arrives without a press as well.
    clock.advance(2);
    QWheelEvent wheel(QPointF(5, 5), slider->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider, &wheel);
    EXPECT_EQ(store->undoCount(), 5);

    // Undoing walks back through the groups to the value before the drag.
    for (int i = 0; i < 4; ++i)
        store->undo();
    EXPECT_NEAR(store->frame()->cornerRadius, 36, 1e-9);
    store->undo();
    EXPECT_EQ(store->frame()->cornerRadius, FrameStyle{}.cornerRadius);
}

TEST_F(FrameOptionsBarTest, ChoosingTheCurrentAspectAddsNothing)
{
    auto store = plainStore();
    store->setFrame(FrameStyle{}, false);
    FrameOptionsBar bar(*store, Density::full);
    QAction* free = bar.aspectActions()[int(CropAspect::free)];
    ASSERT_TRUE(free->isChecked());
    free->trigger();
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_TRUE(free->isChecked());
    bar.aspectActions()[int(CropAspect::square)]->trigger();
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->frame()->aspect, CropAspect::square);
    EXPECT_EQ(bar.aspectButton()->text(), "1:1");
    EXPECT_EQ(bar.aspectButton()->accessibleDescription(), "1:1");
}

TEST_F(FrameOptionsBarTest, DensitiesShapeTheRow)
{
    auto store = plainStore();
    FrameOptionsBar full(*store, Density::full);
    EXPECT_TRUE(full.frameSwitch()->isLabelShown());
    EXPECT_EQ(full.aspectButton()->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(full.paddingSlider()->width(), 70);
    EXPECT_EQ(full.cornerRadiusSlider()->width(), 60);
    EXPECT_EQ(full.shadowSlider()->width(), 60);

    FrameOptionsBar compact(*store, Density::compact);
    EXPECT_FALSE(compact.frameSwitch()->isLabelShown());
    EXPECT_EQ(compact.frameSwitch()->accessibleName(), "Background");
    EXPECT_EQ(compact.aspectButton()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    ASSERT_NE(compact.applyAlwaysBox(), nullptr);
    EXPECT_EQ(compact.applyAlwaysBox()->text(), "Apply to new captures");
    EXPECT_EQ(compact.moreOptionsButton(), nullptr);
    EXPECT_LT(compact.sizeHint().width(), full.sizeHint().width());

    FrameOptionsBar overflow(*store, Density::overflow);
    EXPECT_EQ(overflow.aspectButton(), nullptr);
    EXPECT_EQ(overflow.applyAlwaysBox(), nullptr);
    EXPECT_EQ(overflow.paddingSlider()->width(), 52);
    EXPECT_EQ(overflow.cornerRadiusSlider()->width(), 46);
    EXPECT_EQ(overflow.shadowSlider()->width(), 46);
    ASSERT_NE(overflow.moreOptionsButton(), nullptr);
    const QList<QAction*> items = overflow.moreOptionsButton()->menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->menu(), overflow.aspectMenu());
    EXPECT_EQ(items[0]->text(), "Aspect ratio");
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2], overflow.applyAlwaysAction());
    EXPECT_EQ(items[2]->text(), "Apply to new captures");
    EXPECT_LT(overflow.sizeHint().width(), compact.sizeHint().width());
}

TEST_F(FrameOptionsBarTest, ApplyToNewCapturesIsOneSettingForEveryWindow)
{
    auto first = plainStore();
    auto second = plainStore();
    FrameOptionsBar one(*first, Density::full);
    FrameOptionsBar other(*second, Density::compact);
    FrameOptionsBar narrow(*second, Density::overflow);
    one.applyAlwaysBox()->click();
    EXPECT_TRUE(platform::Defaults::standard().get(keys::frameApplyAlways));
    EXPECT_TRUE(other.applyAlwaysBox()->isChecked());
    EXPECT_TRUE(narrow.applyAlwaysAction()->isChecked());
    narrow.applyAlwaysAction()->trigger();
    EXPECT_FALSE(one.applyAlwaysBox()->isChecked());
    // The setting is no document edit.
    EXPECT_EQ(first->undoCount(), 0);
}

TEST_F(FrameOptionsBarTest, WatermarkButtonIsCheckedWhileTheDocumentHasOne)
{
    auto store = plainStore();
    FrameOptionsBar full(*store, Density::full);
    FrameOptionsBar compact(*store, Density::compact);
    EXPECT_FALSE(full.watermarkButton()->isChecked());
    store->setWatermark(Watermark{.text = "x"}, true);
    EXPECT_TRUE(full.watermarkButton()->isChecked());
    EXPECT_TRUE(compact.watermarkButton()->isChecked());
    QAccessibleInterface* accessible =
        QAccessible::queryAccessibleInterface(compact.watermarkButton());
    ASSERT_NE(accessible, nullptr);
    EXPECT_TRUE(accessible->state().checked);
    // Pressing it opens the popover and leaves the state alone.
    compact.show();
    compact.watermarkButton()->click();
    EXPECT_TRUE(compact.watermarkButton()->isChecked());
    ASSERT_NE(compact.watermarkOptions(), nullptr);
    EXPECT_TRUE(compact.watermarkOptions()->isVisible());
    compact.watermarkOptions()->close();
}

// ---- swatches ---------------------------------------------------------------------------------

TEST_F(FrameOptionsBarTest, SwatchesAreElevenInOrderAndSelectByTheirRules)
{
    auto store = plainStore();
    FrameSwatches row(*store);
    QStringList labels;
    for (FrameSwatch* swatch : row.swatches())
        labels << swatch->accessibleName();
    EXPECT_EQ(labels, (QStringList{"Pink", "Sunset", "Violet", "Ocean", "Graphite", "Mist", "White",
                                   "Light Gray", "Black", "Transparent", "Custom color"}));
    const auto selected = [&] {
        QList<int> on;
        for (int i = 0; i < row.swatches().size(); ++i) {
            if (row.swatches()[i]->isChecked()) on << i;
        }
        return on;
    };
    EXPECT_EQ(selected(), QList<int>{}); // no frame

    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = "#ffffff";
    store->setFrame(frame, false);
    EXPECT_EQ(selected(), QList<int>{6});
    frame.background = FrameBackgroundKind::gradient;
    frame.gradientColors = {"#ff4d6d", "#d6174f"};
    store->setFrame(frame, false);
    EXPECT_EQ(selected(), QList<int>{});
    frame.gradientColors = {"#FF3366", "#5E5CE6"};
    store->setFrame(frame, false);
    EXPECT_EQ(selected(), QList<int>{2});
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(row.swatches()[2]);
    EXPECT_TRUE(accessible->state().checked);
    // A click never unselects: the selected state belongs to the document.
    const int steps = store->undoCount();
    row.swatches()[2]->click();
    EXPECT_EQ(selected(), QList<int>{2});
    EXPECT_EQ(store->undoCount(), steps);
}

TEST_F(FrameOptionsBarTest, SwatchClicksAreOneStepAndKeepTheOtherFields)
{
    FrameStyle remembered;
    remembered.padding = 0.25;
    FrameSettings::remember(std::optional(remembered));
    auto store = plainStore();
    store->setHasUnsavedChanges(false);
    FrameSwatches row(*store);
    row.swatches()[9]->click(); // Transparent on a frameless document
    ASSERT_TRUE(store->frame());
    EXPECT_EQ(store->frame()->background, FrameBackgroundKind::transparent);
    EXPECT_EQ(store->frame()->padding, 0.25);
    EXPECT_EQ(store->undoCount(), 1);
    store->undo();
    EXPECT_FALSE(store->frame());
    store->redo();

    row.swatches()[8]->click(); // Black
    row.swatches()[3]->click(); // Ocean keeps the solid colour
    EXPECT_EQ(store->frame()->solidHex, "#1C1C1E");
    EXPECT_EQ(store->frame()->gradientColors, (QStringList{"#2E7DF6", "#30C8D6"}));
    EXPECT_EQ(store->undoCount(), 3);
    store->setHasUnsavedChanges(false);
    row.swatches()[3]->click(); // already selected
    EXPECT_EQ(store->undoCount(), 3);
    EXPECT_FALSE(store->hasUnsavedChanges());

    // Lower-case white selects White; clicking it writes the upper-case text as a step.
    FrameStyle lower = *store->frame();
    lower.background = FrameBackgroundKind::solid;
    lower.solidHex = "#ffffff";
    store->setFrame(lower, false);
    row.swatches()[6]->click();
    EXPECT_EQ(store->frame()->solidHex, "#FFFFFF");
    EXPECT_EQ(store->undoCount(), 4);
}

TEST_F(FrameOptionsBarTest, CustomColoursGroupByTheSecondBetweenThem)
{
    auto store = plainStore();
    FrameSwatches row(*store);
    ManualClock clock;
    row.setClock(clock.function());
    // A drag of five seconds with an update every tenth of a second: one step.
    for (int i = 0; i < 50; ++i) {
        row.applyCustomColor(QColor(i * 5, 10, 20, 128));
        clock.advance(0.1);
    }
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->frame()->background, FrameBackgroundKind::solid);
    EXPECT_EQ(store->frame()->solidHex, "#F50A14"); // six digits, alpha dropped
    // 1.5 s later: a second step; exactly 1.0 s after that: joins it.
    clock.advance(1.4);
    row.applyCustomColor(Qt::red);
    EXPECT_EQ(store->undoCount(), 2);
    clock.advance(1.0);
    row.applyCustomColor(Qt::green);
    EXPECT_EQ(store->undoCount(), 2);
    store->undo();
    EXPECT_EQ(store->frame()->solidHex, "#F50A14");
    store->undo();
    EXPECT_FALSE(store->frame());

    // A colour the frame already has records nothing, so the next quick one opens a step
    // instead of joining an unrelated one.
    store->redo();
    store->setFrame(FrameStyle{}, true); // some unrelated earlier step
    const int steps = store->undoCount();
    clock.advance(5);
    FrameStyle same = *store->frame();
    same.background = FrameBackgroundKind::solid;
    store->setFrame(same, false);
    row.applyCustomColor(Color::fromHex(same.solidHex));
    EXPECT_EQ(store->undoCount(), steps);
    clock.advance(0.2);
    row.applyCustomColor(Qt::yellow);
    EXPECT_EQ(store->undoCount(), steps + 1);
}

TEST_F(FrameOptionsBarTest, ColourDialogBelongsToItsBarAlone)
{
    auto store = plainStore();
    FrameStyle frame;
    frame.solidHex = "#336699";
    store->setFrame(frame, false);
    auto* row = new FrameSwatches(*store);
    row->show();
    row->customWell()->click();
    QPointer<QColorDialog> dialog = row->colorDialog();
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->testOption(QColorDialog::DontUseNativeDialog));
    EXPECT_FALSE(dialog->testOption(QColorDialog::ShowAlphaChannel));
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->currentColor(), QColor("#336699"));
    EXPECT_EQ(store->undoCount(), 0); // opening is no pick
    dialog->setCurrentColor(QColor("#808000"));
    EXPECT_EQ(store->frame()->solidHex, "#808000");
    EXPECT_EQ(store->undoCount(), 1);

    // The bar goes: so does its dialog, and nothing reaches the store afterwards.
    delete row;
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(store->frame()->solidHex, "#808000");

    // A tool change in the options bar closes the frame bar's dialog at once.
    store->setTool(Tool::frame);
    ContextualToolbar bar(*store, styleLibrary);
    bar.resize(1200, 44);
    bar.show();
    QApplication::processEvents();
    auto* swatches = bar.row(bar.density())->findChild<FrameSwatches*>();
    ASSERT_NE(swatches, nullptr);
    swatches->customWell()->click();
    dialog = swatches->colorDialog();
    ASSERT_FALSE(dialog.isNull());
    store->setTool(Tool::arrow);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isNull() || !dialog->isVisible());
    if (dialog) dialog->setCurrentColor(Qt::blue);
    EXPECT_EQ(store->frame()->solidHex, "#808000");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());

    // Closing the window the bar is in closes the dialog too.
    QWidget window;
    auto* inWindow = new FrameSwatches(*store, &window);
    window.show();
    inWindow->customWell()->click();
    dialog = inWindow->colorDialog();
    ASSERT_FALSE(dialog.isNull());
    window.close();
    EXPECT_TRUE(dialog.isNull() || !dialog->isVisible());
    if (dialog) dialog->setCurrentColor(Qt::blue);
    EXPECT_EQ(store->frame()->solidHex, "#808000");
}
