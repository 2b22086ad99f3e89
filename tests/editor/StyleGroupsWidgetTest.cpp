#include "OptionsTestSupport.h"

#include "TestPaths.h"
#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/options/AnnotationExtrasOptions.h"
#include "editor/options/ContextualToolbar.h"
#include "editor/options/EffectGroups.h"
#include "editor/options/OptionControls.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/SavedStyleMenu.h"
#include "editor/options/StyleGroup.h"
#include "model/SavedStyles.h"
#include "output/ExportService.h"
#include "ui/output/ExportDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

class StyleGroupsTest : public OptionsTest {
protected:
    void settle() { QApplication::processEvents(); }

    // Adds an annotation of `kind` and selects it, as the canvas does after drawing one.
    Annotation select(AnnotationStore& store, AnnotationKind kind, QPointF p1 = {10, 10},
                      QPointF p2 = {60, 50})
    {
        Annotation a{.kind = kind, .p1 = p1, .p2 = p2};
        store.appendAnnotation(a);
        store.setSelectedID(a.id);
        return a;
    }

    // A slider drag from press to release through `values`.
    static void drag(OptionSlider* slider, std::initializer_list<int> positions)
    {
        slider->setSliderDown(true);
        for (int position : positions)
            slider->setSliderPosition(position);
        slider->setSliderDown(false);
    }
};

TEST_F(StyleGroupsTest, StrengthSliderOnlyForPixelateAndBlur)
{
    auto store = plainStore();
    store->setObscureStrength(2.0);
    ObscureGroup group(*store);
    for (const ObscureStyle style : EnumTable<ObscureStyle>::cases) {
        group.styleButtons()[std::size_t(style)]->click();
        settle();
        const bool shown = style == ObscureStyle::pixelate || style == ObscureStyle::blur;
        EXPECT_EQ(group.strengthGroup()->isVisibleTo(&group), shown) << toRaw(style).toStdString();
        EXPECT_TRUE(group.styleButtons()[std::size_t(style)]->isActive());
    }
    group.styleButtons()[std::size_t(ObscureStyle::blur)]->click();
    settle();
    EXPECT_NEAR(group.strengthSlider()->doubleValue(), 2.0, 0.01);
    EXPECT_EQ(group.strengthSlider()->accessibleDescription(), QString::fromUtf8("2.0\u00D7"));
    EXPECT_EQ(group.strengthSlider()->toolTip(),
              "Strength. For passwords, use Solid: it hides everything.");
}

TEST_F(StyleGroupsTest, StrengthDragIsOneStepOnlyOverASelectedPixelate)
{
    auto store = plainStore();
    ObscureGroup group(*store);
    OptionSlider* slider = group.strengthSlider();

    // Without a selection: no step, but the strength is remembered when the drag ends.
    drag(slider, {300, 500, 700});
    EXPECT_EQ(store->undoCount(), 0);
    const double remembered = platform::Defaults::standard().get(keys::defaultObscureStrength);
    EXPECT_NEAR(remembered, slider->doubleValue(), 1e-9);
    EXPECT_NEAR(store->obscureStrength(), remembered, 1e-9);

    // A selected region of another kind: still nothing recorded, and it keeps its look.
    const Annotation arrow = select(*store, AnnotationKind::arrow);
    drag(slider, {100, 200});
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_EQ(*store->selected(), arrow);

    // A selected pixelate region: one step for the whole drag, and the region follows.
    select(*store, AnnotationKind::pixelate);
    drag(slider, {400, 600, 900});
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_NEAR(store->selected()->obscureStrength, slider->doubleValue(), 1e-9);
}

TEST_F(StyleGroupsTest, ActiveButtonsRecordNothing)
{
    auto store = plainStore();
    select(*store, AnnotationKind::pixelate);
    ObscureGroup obscure(*store);
    obscure.styleButtons()[std::size_t(ObscureStyle::pixelate)]->click();
    EXPECT_EQ(store->undoCount(), 0);
    obscure.styleButtons()[std::size_t(ObscureStyle::solid)]->click();
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->selected()->obscure, ObscureStyle::solid);

    select(*store, AnnotationKind::spotlight);
    SpotlightGroup spotlight(*store);
    const int before = store->undoCount();
    spotlight.ellipseButton()->click(); // spotlights are ellipses already
    EXPECT_EQ(store->undoCount(), before);
    spotlight.rectangleButton()->click();
    EXPECT_EQ(store->undoCount(), before + 1);
    EXPECT_FALSE(store->selected()->spotEllipse);
}

TEST_F(StyleGroupsTest, DimmingMenuOpensOneStepEvenForTheCheckedItem)
{
    auto store = plainStore();
    select(*store, AnnotationKind::spotlight);
    SpotlightGroup group(*store);
    PercentMenu* menu = group.dimMenu();
    ASSERT_EQ(menu->items().size(), 8);
    EXPECT_EQ(menu->text(), "50 %");
    EXPECT_TRUE(menu->items()[3]->isChecked());

    menu->items()[4]->trigger(); // 60 %
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_DOUBLE_EQ(store->selected()->spotDim, 0.6);
    EXPECT_DOUBLE_EQ(platform::Defaults::standard().get(keys::defaultSpotlightDim), 0.6);
    settle();
    EXPECT_EQ(menu->text(), "60 %");

    menu->items()[4]->trigger(); // the checked item again
    EXPECT_EQ(store->undoCount(), 2);
    EXPECT_DOUBLE_EQ(store->selected()->spotDim, 0.6);
    EXPECT_TRUE(menu->items()[4]->isChecked());
}

TEST_F(StyleGroupsTest, DimmingPercentRoundsToTheNearest)
{
    auto store = plainStore();
    store->setSpotDim(0.29);
    SpotlightGroup group(*store);
    EXPECT_EQ(group.dimMenu()->text(), "29 %");
    EXPECT_EQ(group.dimSlider()->accessibleDescription(), "29 %");
    for (QAction* item : group.dimMenu()->items())
        EXPECT_FALSE(item->isChecked()) << item->text().toStdString();
    store->setSpotDim(0.7);
    settle();
    EXPECT_EQ(group.dimMenu()->text(), "70 %");
    EXPECT_TRUE(group.dimMenu()->items()[5]->isChecked());
}

TEST_F(StyleGroupsTest, StickerChangesSettingAndOnlyAMatchingSelection)
{
    auto store = plainStore();
    const Annotation text = select(*store, AnnotationKind::text);
    StickerGroup group(*store);
    ASSERT_EQ(group.buttons().size(), 10);
    group.buttons()[4]->click();
    EXPECT_EQ(store->stickerEmoji(), StickerGroup::emojis()[4]);
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_EQ(*store->selected(), text);
    settle();
    EXPECT_TRUE(group.buttons()[4]->isChecked());
    EXPECT_FALSE(group.buttons()[0]->isChecked());
}

TEST_F(StyleGroupsTest, MagnifierCircleSquaresItAboutItsCentreOnce)
{
    auto store = plainStore();
    store->setMagnifierRound(false);
    select(*store, AnnotationKind::magnifier, {100, 100}, {300, 200});
    store->updateSelection(false, [](Annotation& a) { a.magnifierRound = false; });
    AnnotationExtrasOptions extras(*store, Tool::magnifier);
    EXPECT_TRUE(extras.roundedRectangleButton()->isActive());
    EXPECT_FALSE(extras.circleButton()->isActive());

    extras.circleButton()->click();
    EXPECT_EQ(store->undoCount(), 1);
    const Annotation round = *store->selected();
    EXPECT_TRUE(round.magnifierRound);
    EXPECT_EQ(round.box(), QRectF(150, 100, 100, 100));
    extras.circleButton()->click();
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_TRUE(extras.circleButton()->isActive());
    EXPECT_FALSE(extras.roundedRectangleButton()->isActive());

    // Back to a rounded rectangle: the frame stays where it is.
    extras.roundedRectangleButton()->click();
    EXPECT_EQ(store->undoCount(), 2);
    EXPECT_FALSE(store->selected()->magnifierRound);
    EXPECT_EQ(store->selected()->box(), QRectF(150, 100, 100, 100));
}

TEST_F(StyleGroupsTest, ZoomButtonsMatchTheFactorExactly)
{
    auto store = plainStore();
    AnnotationExtrasOptions extras(*store, Tool::magnifier);
    ASSERT_EQ(extras.zoomButtons().size(), 3);
    EXPECT_EQ(extras.zoomButtons()[1]->text(), QString::fromUtf8("3\u00D7"));
    EXPECT_TRUE(extras.zoomButtons()[0]->isChecked());
    store->setMagnifierZoom(2.5);
    settle();
    for (QToolButton* button : extras.zoomButtons())
        EXPECT_FALSE(button->isChecked());
    extras.zoomButtons()[2]->click();
    EXPECT_DOUBLE_EQ(store->magnifierZoom(), 4.0);
    EXPECT_EQ(store->undoCount(), 0); // nothing selected
}

TEST_F(StyleGroupsTest, CurveTogglesTheSettingAndASelectedArrowStepByStep)
{
    auto store = plainStore();
    AnnotationExtrasOptions extras(*store, Tool::arrow);
    extras.curveButton()->click();
    EXPECT_TRUE(store->arrowCurved());
    EXPECT_EQ(store->undoCount(), 0);
    select(*store, AnnotationKind::arrow);
    store->setArrowHead(ArrowHeadStyle::open);
    extras.curveButton()->click();
    EXPECT_FALSE(store->selected()->curved);
    EXPECT_EQ(store->selected()->arrowHead, ArrowHeadStyle::open);
    extras.curveButton()->click();
    EXPECT_TRUE(store->selected()->curved);
    EXPECT_EQ(store->undoCount(), 2);
}

// Answers the name prompt with the queued answers and remembers what it was asked.
class FakePrompt : public NamePrompt {
public:
    std::optional<QString> askName(const QString& title, const QString&, const QString& initial,
                                   QWidget*) override
    {
        titles.append(title);
        proposed.append(initial);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
    QList<std::optional<QString>> answers;
    QStringList titles;
    QStringList proposed;
};

class SavedStyleMenuTest : public StyleGroupsTest {
protected:
    static QStringList titles(QMenu* menu)
    {
        QStringList list;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) list << action->text();
        return list;
    }
    static QAction* find(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions())
            if (action->text() == text) return action;
        return nullptr;
    }

    QTemporaryDir dir;
    platform::Defaults defaults{dir.filePath("settings.json")};
    SavedStyles library{defaults};
    FakePrompt prompt;
};

TEST_F(SavedStyleMenuTest, SaveProposesTheNextNumberAndBlankCancels)
{
    auto store = plainStore();
    SavedStyleMenu menu(*store, library, Tool::arrow);
    menu.setNamePrompt(prompt);
    EXPECT_EQ(titles(menu.styleMenu()),
              (QStringList{"Classic", "Thin Blue", "Curved Orange", "Save Current Style…", "Rename",
                           "Delete", "Restore Default Styles"}));

    prompt.answers = {std::nullopt};
    find(menu.styleMenu(), "Save Current Style…")->trigger();
    EXPECT_EQ(prompt.proposed, QStringList{"Arrow 4"});
    EXPECT_EQ(library.styles(Tool::arrow).size(), 3);

    store->setColorHex("#34C759");
    prompt.answers = {QString("Green")};
    find(menu.styleMenu(), "Save Current Style…")->trigger();
    ASSERT_EQ(library.styles(Tool::arrow).size(), 4);
    EXPECT_EQ(library.styles(Tool::arrow).last().displayName(), "Green");
    EXPECT_EQ(library.styles(Tool::arrow).last().colorHex, "#34C759");

    menu.rebuild();
    EXPECT_TRUE(titles(menu.styleMenu()).contains("Green"));
}

TEST_F(SavedStyleMenuTest, DeleteThenRestoreBringsTheBuiltInStyleBack)
{
    auto store = plainStore();
    SavedStyleMenu menu(*store, library, Tool::text);
    menu.setNamePrompt(prompt);
    QMenu* remove = find(menu.styleMenu(), "Delete")->menu();
    find(remove, "Title")->trigger();
    EXPECT_EQ(library.styles(Tool::text).size(), 2);

    prompt.answers = {QString("Heading")};
    menu.rebuild();
    find(find(menu.styleMenu(), "Rename")->menu(), "Note")->trigger();
    EXPECT_EQ(prompt.proposed.last(), "Note");
    EXPECT_EQ(library.styles(Tool::text).first().displayName(), "Heading");

    menu.rebuild();
    find(menu.styleMenu(), "Restore Default Styles")->trigger();
    QStringList names;
    for (const SavedStyle& style : library.styles(Tool::text))
        names << style.displayName();
    EXPECT_EQ(names, (QStringList{"Title", "Note", "On Dark Background"}));
}

// Pages given one library offer a style saved in either: one window's save reaches the other's
// menu.
TEST_F(SavedStyleMenuTest, PagesGivenOneLibraryOfferEachOthersSavedStyles)
{
    EditorViewHooks hooks;
    hooks.savedStyles = &library;
    auto first = plainStore();
    auto second = plainStore();
    first->activate(Tool::arrow);
    second->activate(Tool::arrow);
    EditorZoom firstZoom, secondZoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView one(*first, firstZoom, dialogs, hooks), two(*second, secondZoom, dialogs, hooks);
    settle();
    auto* saving = one.optionsBar()->findChild<SavedStyleMenu*>();
    auto* offering = two.optionsBar()->findChild<SavedStyleMenu*>();
    ASSERT_TRUE(saving && offering);
    saving->setNamePrompt(prompt);
    prompt.answers = {QString("Shared")};
    find(saving->styleMenu(), "Save Current Style…")->trigger();
    offering->rebuild();
    EXPECT_TRUE(titles(offering->styleMenu()).contains("Shared"));
}

TEST_F(SavedStyleMenuTest, OnlyToolsWithACategoryHaveTheMenu)
{
    auto store = plainStore();
    for (const Tool tool : {Tool::line, Tool::pen, Tool::highlight, Tool::stamp, Tool::magnifier}) {
        StyleGroup group(*store, tool, OptionsDensity::full, styleLibrary);
        EXPECT_EQ(group.styleMenu(), nullptr) << toRaw(tool).toStdString();
    }
    for (const Tool tool : {Tool::arrow, Tool::text, Tool::rectangle, Tool::ellipse}) {
        StyleGroup group(*store, tool, OptionsDensity::full, styleLibrary);
        EXPECT_NE(group.styleMenu(), nullptr) << toRaw(tool).toStdString();
    }
}

TEST_F(StyleGroupsTest, ColourAndWidthReachASelectionThatUsesThemAsOneStep)
{
    auto store = plainStore();
    StyleGroup group(*store, Tool::arrow, OptionsDensity::full, styleLibrary);
    ASSERT_EQ(group.swatches().size(), 9);
    select(*store, AnnotationKind::arrow);

    group.swatches()[4]->click();
    EXPECT_EQ(store->colorHex(), "#2E7DF6");
    EXPECT_EQ(store->selected()->colorHex, "#2E7DF6");
    EXPECT_EQ(store->undoCount(), 1);
    group.swatches()[4]->click(); // the current colour again
    EXPECT_EQ(store->undoCount(), 1);

    group.widthButtons()[3]->click();
    EXPECT_EQ(store->lineWidth(), 14);
    EXPECT_EQ(store->selected()->lineWidth, 14);
    EXPECT_EQ(store->undoCount(), 2);
    settle();
    EXPECT_TRUE(group.widthButtons()[3]->isActive());
    EXPECT_TRUE(group.swatches()[4]->isChecked());

    // A stamp takes the colour but not the width.
    const Annotation stamp = select(*store, AnnotationKind::stamp);
    group.chooseWidth(30);
    EXPECT_EQ(*store->selected(), stamp);
    EXPECT_EQ(store->undoCount(), 2);
}

TEST_F(StyleGroupsTest, WhileAnAnnotationIsSelectedTheRowShowsItsOwnStyle)
{
    auto store = plainStore();
    const auto stampIndex = [](StampKind kind) {
        const auto& cases = EnumTable<StampKind>::cases;
        return int(std::find(cases.begin(), cases.end(), kind) - cases.begin());
    };
    StyleGroup stamps(*store, Tool::stamp, OptionsDensity::full, styleLibrary);
    ASSERT_FALSE(stamps.stampButtons().isEmpty());
    const StampKind setting = store->stampKind();
    const QString settingColor = store->colorHex();
    const StampKind other = setting == StampKind::number ? StampKind::check : StampKind::number;
    Annotation numbered{.kind = AnnotationKind::stamp,
                        .p1 = {10, 10},
                        .p2 = {40, 40},
                        .colorHex = "#2E7DF6",
                        .stamp = other};
    store->appendAnnotation(numbered);
    store->setSelectedID(numbered.id);
    settle();
    EXPECT_TRUE(stamps.stampButtons()[stampIndex(other)]->isActive());
    EXPECT_FALSE(stamps.stampButtons()[stampIndex(setting)]->isActive());
    EXPECT_TRUE(stamps.swatches()[4]->isChecked());
    // Display only: the settings for new stamps and the undo stack are untouched.
    EXPECT_EQ(store->stampKind(), setting);
    EXPECT_EQ(store->colorHex(), settingColor);
    EXPECT_EQ(store->undoCount(), 0);

    // An arrow's width and head; a selection of another kind leaves the arrow row alone.
    StyleGroup arrows(*store, Tool::arrow, OptionsDensity::full, styleLibrary);
    settle();
    EXPECT_FALSE(arrows.swatches()[4]->isChecked());
    Annotation arrow{.kind = AnnotationKind::arrow,
                     .p1 = {10, 10},
                     .p2 = {90, 60},
                     .colorHex = "#2E7DF6",
                     .lineWidth = 14,
                     .doubleHeaded = !store->arrowDoubleHeaded()};
    store->appendAnnotation(arrow);
    store->setSelectedID(arrow.id);
    settle();
    EXPECT_TRUE(arrows.widthButtons()[3]->isActive());
    EXPECT_TRUE(arrows.swatches()[4]->isChecked());
    EXPECT_EQ(arrows.doubleHeadButton()->isActive(), arrow.doubleHeaded);

    // Nothing selected: the settings again.
    store->setSelectedID(std::nullopt);
    settle();
    EXPECT_FALSE(arrows.widthButtons()[3]->isActive());
    EXPECT_FALSE(arrows.swatches()[4]->isChecked());
    EXPECT_TRUE(stamps.stampButtons()[stampIndex(setting)]->isActive());
}

TEST_F(StyleGroupsTest, WidthsAndTextSizesReadInPixels)
{
    auto store = plainStore();
    StyleGroup arrows(*store, Tool::arrow, OptionsDensity::full, styleLibrary);
    ASSERT_FALSE(arrows.widthButtons().isEmpty());
    EXPECT_EQ(arrows.widthButtons()[0]->toolTip(), "2 px");
    StyleGroup text(*store, Tool::text, OptionsDensity::full, styleLibrary);
    ASSERT_NE(text.textSizeButton(), nullptr);
    EXPECT_TRUE(text.textSizeButton()->text().endsWith(" px"))
        << text.textSizeButton()->text().toStdString();
}

TEST_F(StyleGroupsTest, CustomColourRunsAreOneStepAndStopWithTheRow)
{
    auto store = plainStore();
    ManualClock clock;
    QPointer<QColorDialog> dialog;
    {
        StyleGroup group(*store, Tool::pen, OptionsDensity::full, styleLibrary);
        group.setClock(clock.function());
        select(*store, AnnotationKind::pen);
        group.openColorDialog();
        dialog = group.colorDialog();
        ASSERT_TRUE(dialog);
        EXPECT_TRUE(dialog->testOption(QColorDialog::DontUseNativeDialog));
        dialog->setCurrentColor(QColor("#112233"));
        clock.advance(0.4);
        dialog->setCurrentColor(QColor("#445566"));
        EXPECT_EQ(store->undoCount(), 1);
        EXPECT_EQ(store->selected()->colorHex, "#445566");
        clock.advance(1.5);
        dialog->setCurrentColor(QColor("#778899"));
        EXPECT_EQ(store->undoCount(), 2);
    }
    // The row is gone: its dialog went with it, and nothing more reaches the store.
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(store->colorHex(), "#778899");
}

TEST_F(StyleGroupsTest, EachToolShowsItsOwnControls)
{
    auto store = plainStore();
    StyleGroup text(*store, Tool::text, OptionsDensity::full, styleLibrary);
    EXPECT_NE(text.boldButton(), nullptr);
    EXPECT_NE(text.fontBox(), nullptr);
    EXPECT_TRUE(text.widthButtons().isEmpty());
    EXPECT_EQ(text.widthMenuButton(), nullptr);

    StyleGroup highlight(*store, Tool::highlight, OptionsDensity::full, styleLibrary);
    EXPECT_TRUE(highlight.swatches().isEmpty());
    EXPECT_EQ(highlight.customWell(), nullptr);
    ASSERT_NE(highlight.opacitySlider(), nullptr);
    highlight.opacityMenu()->items()[9]->trigger();
    EXPECT_DOUBLE_EQ(store->highlightOpacity(), 1.0);

    StyleGroup stampFull(*store, Tool::stamp, OptionsDensity::full, styleLibrary);
    EXPECT_EQ(stampFull.stampButtons().size(), 7);
    StyleGroup stampOverflow(*store, Tool::stamp, OptionsDensity::overflow, styleLibrary);
    EXPECT_TRUE(stampOverflow.stampButtons().isEmpty());
    EXPECT_TRUE(stampOverflow.swatches().isEmpty());
    EXPECT_NE(stampOverflow.customWell(), nullptr);

    // What a narrower row drops is still in "More Options".
    StyleGroup arrowCompact(*store, Tool::arrow, OptionsDensity::compact, styleLibrary);
    EXPECT_TRUE(arrowCompact.widthButtons().isEmpty());
    EXPECT_NE(arrowCompact.widthMenuButton(), nullptr);
    arrowCompact.moreMenu()->aboutToShow();
    QStringList items;
    for (QAction* action : arrowCompact.moreMenu()->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"Color", "Line width", "Arrow head", "Double-headed"}));
    EXPECT_TRUE(arrowCompact.moreButton()->toolTip() == "More Options");
}

TEST_F(StyleGroupsTest, ArrowAndTextRowsPicture)
{
    auto store = plainStore();
    for (const Tool tool : {Tool::arrow, Tool::text}) {
        store->activate(tool);
        ContextualToolbar bar(*store, styleLibrary);
        bar.resize(1100, ContextualToolbar::barHeight);
        bar.show();
        settle();
        EXPECT_EQ(bar.density(), OptionsDensity::full);
        const QString name = QStringLiteral("options-%1-row.png").arg(toRaw(tool));
        bar.grab().save(QString::fromUtf8(SNAPKIN_BUILD_DIR) + "/" + name);
    }
    // The narrower forms, and the effect rows.
    for (const auto& [tool, width] :
         {std::pair{Tool::arrow, 560}, std::pair{Tool::arrow, 420}, std::pair{Tool::pixelate, 600},
          std::pair{Tool::spotlight, 600}, std::pair{Tool::sticker, 600},
          std::pair{Tool::magnifier, 700}}) {
        store->activate(tool);
        ContextualToolbar bar(*store, styleLibrary);
        bar.resize(width, ContextualToolbar::barHeight);
        bar.show();
        settle();
        const QString name = QStringLiteral("options-%1-%2.png").arg(toRaw(tool)).arg(width);
        bar.grab().save(QString::fromUtf8(SNAPKIN_BUILD_DIR) + "/" + name);
    }
}

} // namespace
