#include "EditorViewTestSupport.h"

#include "EditorWidgetTestSupport.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorPage.h"
#include "editor/EditorShortcuts.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "editor/KeyboardShortcutsSheet.h"
#include "editor/SheetStyle.h"
#include "editor/ToolSidebar.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "ui/canvas/CanvasView.h"
#include "ui/canvas/handlers/InlineTextField.h"
#include "ui/output/ExportDialogs.h"
#include "ui/platform/Appearance.h"

#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

// Clean settings for the pages a test builds; removed afterwards.
struct CleanSettings {
    CleanSettings() { platform::Defaults::standard().removeAllStored(); }
    ~CleanSettings() { platform::Defaults::standard().removeAllStored(); }
};

// Counts the key presses that reach a widget.
struct KeyCounter : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) ++presses;
        return false;
    }
};

// One editor page in a window of its own, its canvas holding the keyboard.
struct Page {
    std::unique_ptr<AnnotationStore> store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs{exports};
    EditorView view{*store, zoom, dialogs};
    KeyCounter canvasKeys;

    Page()
    {
        // The canvas takes the keyboard with the select tool only.
        store->activate(Tool::select);
        view.resize(900, 650);
        view.show();
        canvas()->installEventFilter(&canvasKeys);
    }
    CanvasView* canvas() const { return view.canvasArea()->framedCanvas()->canvas(); }
    bool activate()
    {
        view.activateWindow();
        if (!QTest::qWaitForWindowActive(&view)) return false;
        canvas()->setFocus();
        return true;
    }
};

// A key as the keyboard sends it: to the widget that has the focus.
void type(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {},
          bool autoRepeat = false)
{
    // Without a focused widget the window takes the key (the canvas gives the focus up for
    // every tool but select).
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    ASSERT_NE(target, nullptr);
    QString produced = text;
    if (produced.isEmpty() && key >= Qt::Key_A && key <= Qt::Key_Z)
        produced =
            (modifiers & Qt::ShiftModifier) ? QString(QChar(key)) : QString(QChar(key)).toLower();
    // Sent as it is (not spontaneous), Qt gives shortcuts their chance first, as with a real key.
    QKeyEvent press(QEvent::KeyPress, key, modifiers, produced, autoRepeat);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, produced, autoRepeat);
    QApplication::sendEvent(target, &release);
}

} // namespace

TEST(ToolKeyMonitor, ALetterSelectsItsToolAndNeverReachesTheCanvas)
{
    CleanSettings clean;
    Page page;
    ASSERT_TRUE(page.activate());
    // A shortcut on the same key does not get it either.
    int shortcutFired = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_R), &page.view);
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++shortcutFired; });
    type(Qt::Key_R);
    EXPECT_EQ(page.store->tool(), Tool::rectangle);
    EXPECT_EQ(page.canvasKeys.presses, 0);
    EXPECT_EQ(shortcutFired, 0);

    // Caps Lock on: the key still produces its tool.
    type(Qt::Key_O, Qt::NoModifier, QStringLiteral("O"));
    EXPECT_EQ(page.store->tool(), Tool::ellipse);
    EXPECT_EQ(page.canvasKeys.presses, 0);
}

TEST(ToolKeyMonitor, ModifiedRepeatedAndToolLessKeysPassToTheCanvas)
{
    CleanSettings clean;
    Page page;
    ASSERT_TRUE(page.activate());
    for (Qt::KeyboardModifier held :
         {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier}) {
        type(Qt::Key_R, held);
        EXPECT_EQ(page.store->tool(), Tool::select) << held;
    }
    type(Qt::Key_R, Qt::NoModifier, {}, true); // held down: the repeat
    type(Qt::Key_Slash, Qt::NoModifier, QStringLiteral("/"));
    type(Qt::Key_3, Qt::NoModifier, QStringLiteral("3"));
    EXPECT_EQ(page.store->tool(), Tool::select);
    EXPECT_EQ(page.view.shortcutsSheet(), nullptr);
    EXPECT_EQ(page.canvasKeys.presses, 7);
}

TEST(ToolKeyMonitor, TypingInAFieldNeverSwitches)
{
    CleanSettings clean;
    Page page;
    ASSERT_TRUE(page.activate());

    auto* field = new QLineEdit(page.view.optionsBar());
    field->show();
    field->setFocus();
    type(Qt::Key_R);
    type(Qt::Key_Question, Qt::ShiftModifier, QStringLiteral("?"));
    EXPECT_EQ(field->text(), QStringLiteral("r?"));
    EXPECT_EQ(page.store->tool(), Tool::select);
    EXPECT_EQ(page.view.shortcutsSheet(), nullptr);

    // The inline field of a new text annotation.
    page.canvas()->setFocus();
    type(Qt::Key_T);
    ASSERT_EQ(page.store->tool(), Tool::text);
    QTest::mouseClick(page.canvas(), Qt::LeftButton, {}, QPoint(100, 100));
    QApplication::processEvents();
    ASSERT_NE(page.canvas()->inlineTextField(), nullptr);
    page.canvas()->inlineTextField()->setFocus();
    type(Qt::Key_A);
    type(Qt::Key_V);
    EXPECT_EQ(page.store->tool(), Tool::text);
    EXPECT_TRUE(page.canvas()->inlineTextField()->text().endsWith(QStringLiteral("av")));
}

TEST(ToolKeyMonitor, QuestionMarkOpensTheSheetWhoseOpenWindowLetsLettersPass)
{
    CleanSettings clean;
    Page page;
    ASSERT_TRUE(page.activate());
    type(Qt::Key_Question, Qt::ShiftModifier, QStringLiteral("?"));
    ASSERT_NE(page.view.shortcutsSheet(), nullptr);
    EXPECT_EQ(page.canvasKeys.presses, 0);
    auto* sheet = qobject_cast<KeyboardShortcutsSheet*>(page.view.shortcutsSheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);

    // With the sheet up, a letter is the sheet's, even if the page's window were still active.
    page.view.activateWindow();
    page.canvas()->setFocus();
    type(Qt::Key_R);
    EXPECT_EQ(page.store->tool(), Tool::select);

    sheet->okButton()->click();
    EXPECT_FALSE(page.view.showsShortcuts());
    QApplication::processEvents();
    ASSERT_TRUE(page.activate());
    type(Qt::Key_R);
    EXPECT_EQ(page.store->tool(), Tool::rectangle);
}

TEST(ToolKeyMonitor, OnlyTheActiveWindowSwitches)
{
    CleanSettings clean;
    Page first, second;
    ASSERT_TRUE(second.activate());
    type(Qt::Key_L);
    EXPECT_EQ(second.store->tool(), Tool::line);
    EXPECT_EQ(first.store->tool(), Tool::select);

    ASSERT_TRUE(first.activate());
    type(Qt::Key_P);
    EXPECT_EQ(first.store->tool(), Tool::pen);
    EXPECT_EQ(second.store->tool(), Tool::line);

    // A sheet over the first window leaves the second one's letters working.
    first.view.setShowsShortcuts(true);
    ASSERT_NE(first.view.shortcutsSheet(), nullptr);
    ASSERT_TRUE(second.activate());
    type(Qt::Key_A);
    EXPECT_EQ(second.store->tool(), Tool::arrow);
    EXPECT_EQ(first.store->tool(), Tool::pen);
}

TEST(ToolKeyMonitor, CroppingTurnsLettersAndHelpOff)
{
    CleanSettings clean;
    Page page;
    ASSERT_TRUE(page.activate());
    type(Qt::Key_K);
    ASSERT_TRUE(page.store->isCropping());
    QApplication::processEvents();
    page.view.activateWindow();
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &page.view;
    focus->setFocus();
    type(Qt::Key_R);
    type(Qt::Key_Question, Qt::ShiftModifier, QStringLiteral("?"));
    EXPECT_EQ(page.store->tool(), Tool::crop);
    EXPECT_EQ(page.view.shortcutsSheet(), nullptr);
}

TEST(KeyboardShortcutsSheet, ListsEveryToolInItsGroupWithTheRealKeyTexts)
{
    CleanSettings clean;
    KeyboardShortcutsSheet sheet;
    EXPECT_EQ(sheet.width(), KeyboardShortcutsSheet::sheetWidth);

    const QList<QList<Tool>> groups = ToolSidebar::displayGroups();
    ASSERT_EQ(groups.size(), 5);
    EXPECT_EQ(sheet.dividers().size(), 4);
    ASSERT_EQ(sheet.toolRows().size(), 16);
    int index = 0;
    for (const QList<Tool>& group : groups) {
        for (Tool tool : group) {
            const KeyboardShortcutsSheet::ToolRow& row = sheet.toolRows()[index++];
            EXPECT_EQ(row.tool, tool);
            EXPECT_EQ(row.label->text(), label(tool));
            EXPECT_EQ(row.key->text(), toolKey(tool).toString(QKeySequence::NativeText));
            EXPECT_EQ(row.menuKeys->text(),
                      toolMenuShortcut(tool).toString(QKeySequence::NativeText));
            EXPECT_FALSE(row.symbol->pixmap().isNull());
        }
    }

    ASSERT_EQ(sheet.generalRows().size(), 13);
    EXPECT_EQ(sheet.generalRows()[1].keys->text(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z).toString(QKeySequence::NativeText));
    EXPECT_EQ(sheet.generalRows()[2].keys->text(),
              QKeySequence(Qt::Key_Delete).toString(QKeySequence::NativeText) + ", " +
                  QKeySequence(Qt::Key_Backspace).toString(QKeySequence::NativeText));
    EXPECT_TRUE(sheet.hint()->text().contains(toolMenuModifierText()));
    EXPECT_FALSE(sheet.hint()->text().contains(QChar(0x2318)));
    EXPECT_TRUE(sheet.okButton()->isDefault());

    sheet.show();
    QApplication::processEvents();
    // Dividers sit between the groups: the first one right after the select tool's row.
    EXPECT_EQ(sheet.toolRows()[0].tool, Tool::select);
    EXPECT_LT(sheet.dividers()[0]->y(), sheet.toolRows()[1].label->y());
    EXPECT_GT(sheet.dividers()[0]->y(), sheet.toolRows()[0].label->y());
    EXPECT_EQ(sheet.width(), KeyboardShortcutsSheet::sheetWidth);
    sheet.grab().save(picturePath("keyboard-shortcuts-sheet.png"));
}

// The sheet opened in the light look while the look turns dark: the hint, the keys and the
// tools' symbols are faded from the dark look's text colour, none left in the light one's.
TEST(KeyboardShortcutsSheet, FadedTextAndSymbolsFollowALiveSwitchOfTheAppearance)
{
    CleanSettings clean;
    platform::Appearance::apply("light");
    KeyboardShortcutsSheet sheet;
    sheet.show();
    QApplication::processEvents();
    platform::Appearance::apply("dark");
    QApplication::processEvents();
    const QColor text = QApplication::palette().color(QPalette::WindowText);
    const auto fadedTo = [&text](double opacity) {
        QColor color = text;
        color.setAlphaF(opacity);
        return color;
    };
    EXPECT_EQ(sheet.hint()->palette().color(QPalette::WindowText),
              fadedTo(sheetstyle::secondaryOpacity));
    for (const KeyboardShortcutsSheet::GeneralRow& row : sheet.generalRows())
        EXPECT_EQ(row.keys->palette().color(QPalette::WindowText),
                  fadedTo(sheetstyle::secondaryOpacity));
    for (const KeyboardShortcutsSheet::ToolRow& row : sheet.toolRows()) {
        EXPECT_EQ(row.menuKeys->palette().color(QPalette::WindowText),
                  fadedTo(sheetstyle::tertiaryOpacity));
        // The symbol's most opaque pixel is in the dark look's text colour.
        const QImage symbol = row.symbol->pixmap().toImage();
        QColor ink = Qt::transparent;
        for (int y = 0; y < symbol.height(); ++y)
            for (int x = 0; x < symbol.width(); ++x)
                if (symbol.pixelColor(x, y).alpha() > ink.alpha()) ink = symbol.pixelColor(x, y);
        EXPECT_NEAR(ink.red(), text.red(), 8) << label(row.tool).toStdString();
    }
    sheet.grab().save(picturePath("keyboard-shortcuts-sheet-dark.png"));
    platform::Appearance::apply("system");
}

class ToolKeysOnPages : public EditorWindowsTest {};

TEST_F(ToolKeysOnPages, HelpMenuTargetsTheActivePageElseTheNewestAndNothingWithoutOne)
{
    auto& editors = this->editors();
    showKeyboardShortcuts(editors); // no editor: nothing to do, nothing breaks

    AnnotationStore& older = editors.open(plainImage(), "Older");
    AnnotationStore& newer = editors.open(plainImage(), "Newer");
    EditorPage* olderPage = editors.pageOf(older);
    EditorPage* newerPage = editors.pageOf(newer);
    ASSERT_TRUE(olderPage && newerPage);

    EditorWindowController::bringForward(olderPage);
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == olderPage->window(); }));
    showKeyboardShortcuts(editors);
    EXPECT_TRUE(olderPage->view()->showsShortcuts());
    EXPECT_FALSE(newerPage->view()->showsShortcuts());
    olderPage->view()->setShowsShortcuts(false);

    // The active window is no editor: the newest page.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &other; }));
    showKeyboardShortcuts(editors);
    EXPECT_TRUE(newerPage->view()->showsShortcuts());
    EXPECT_FALSE(olderPage->view()->showsShortcuts());
    newerPage->view()->setShowsShortcuts(false);
}

TEST_F(ToolKeysOnPages, OnlyTheShownTabSwitches)
{
    auto& editors = this->editors();
    AnnotationStore& back = editors.open(plainImage(), "Back", {.appliesRememberedFrame = false});
    QWidget* window = editors.pageOf(back)->window();
    AnnotationStore& front =
        editors.open(plainImage(), "Front", {.appliesRememberedFrame = false, .tabOf = window});
    back.activate(Tool::select);
    front.activate(Tool::select);
    EditorWindowController::bringForward(editors.pageOf(front));
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window; }));
    ASSERT_TRUE(editors.pageOf(front)->isVisible());
    ASSERT_FALSE(editors.pageOf(back)->isVisible());

    type(Qt::Key_E);
    EXPECT_EQ(front.tool(), Tool::sticker);
    EXPECT_EQ(back.tool(), Tool::select);
}
