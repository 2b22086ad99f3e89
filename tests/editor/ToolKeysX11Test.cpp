#include "../capture/X11Support.h"
#include "TestPaths.h"
#include "editor/EditorPage.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "editor/KeyboardShortcutsSheet.h"
#include "model/AnnotationStore.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::BaseImage grey()
{
    QImage image(480, 320, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(210, 214, 220));
    return platform::BaseImage(image);
}

// Keys typed on the X server's keyboard, as a user types them.
void press(const QString& keys)
{
    QProcess::execute("xdotool", {"key", keys});
}

void activate(QWidget* window)
{
    QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(window->winId())});
    ASSERT_TRUE(test::waitUntil([&] { return QApplication::activeWindow() == window; }));
}

void closeAll(EditorWindowController& editors)
{
    for (EditorPage* page : editors.pages()) {
        page->store().setHasUnsavedChanges(false);
        page->window()->close();
    }
    test::waitUntil([&] { return editors.pages().isEmpty(); });
}

} // namespace

TEST(ToolKeysX11, KeyboardLettersSwitchTheActiveWindowsToolAndQuestionMarkOpensTheSheet)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QApplication::setQuitOnLastWindowClosed(false);
    EditorWindowController editors;
    AnnotationStore& first = editors.open(grey(), "First", {.appliesRememberedFrame = false});
    AnnotationStore& second = editors.open(grey(), "Second", {.appliesRememberedFrame = false});
    first.activate(Tool::select);
    second.activate(Tool::select);
    EditorPage* firstPage = editors.pageOf(first);
    EditorPage* secondPage = editors.pageOf(second);
    ASSERT_TRUE(firstPage && secondPage);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(firstPage->window()));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(secondPage->window()));

    activate(secondPage->window());
    press("r");
    EXPECT_TRUE(test::waitUntil([&] { return second.tool() == Tool::rectangle; }));
    press("shift+r");
    press("ctrl+e");
    QTest::qWait(200);
    EXPECT_EQ(second.tool(), Tool::rectangle);
    EXPECT_EQ(first.tool(), Tool::select);

    // Caps Lock makes capitals; the letters still choose tools.
    activate(firstPage->window());
    press("Caps_Lock");
    press("o");
    press("Caps_Lock");
    EXPECT_TRUE(test::waitUntil([&] { return first.tool() == Tool::ellipse; }));
    EXPECT_EQ(second.tool(), Tool::rectangle);

    // "?" is Shift and the slash key on this layout.
    press("shift+slash");
    ASSERT_TRUE(test::waitUntil([&] { return firstPage->view()->shortcutsSheet() != nullptr; }));
    QDialog* sheet = firstPage->view()->shortcutsSheet();
    ASSERT_TRUE(test::waitUntil([&] { return sheet->isActiveWindow(); }));
    QTest::qWait(300); // let the server paint it
    const QRect frame = sheet->frameGeometry();
    sheet->screen()
        ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
        .save(QStringLiteral(SNAPKIN_BUILD_DIR "/keyboard-shortcuts-sheet-x11.png"));

    // Letters belong to the sheet now; Return is its OK.
    press("l");
    QTest::qWait(200);
    EXPECT_EQ(first.tool(), Tool::ellipse);
    press("Return");
    EXPECT_TRUE(test::waitUntil([&] { return firstPage->view()->shortcutsSheet() == nullptr; }));
    EXPECT_FALSE(firstPage->view()->showsShortcuts());

    closeAll(editors);
}
