#include "../capture/X11Support.h"
#include "AppShell.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "ui/canvas/CanvasView.h"
#include "ui/canvas/handlers/InlineTextField.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

void xdotool(const QStringList& arguments)
{
    QProcess::execute("xdotool", arguments);
}

// The screen point of an image point of the page's canvas.
QPoint onScreen(EditorPage* page, QPointF imagePoint)
{
    CanvasView* canvas = page->canvas();
    return canvas->mapToGlobal((imagePoint * canvas->zoom()).toPoint());
}

void drag(QPoint from, QPoint to)
{
    xdotool({"mousemove", "--sync", QString::number(from.x()), QString::number(from.y())});
    xdotool({"mousedown", "1"});
    const QPoint mid = (from + to) / 2;
    xdotool({"mousemove", "--sync", QString::number(mid.x()), QString::number(mid.y())});
    xdotool({"mousemove", "--sync", QString::number(to.x()), QString::number(to.y())});
    xdotool({"mouseup", "1"});
}

} // namespace

TEST(TextEditingX11, EscapeKeepsTypedTextAsOneStepAndUndoTakesOnlyIt)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QApplication::setQuitOnLastWindowClosed(false);
    // The application's menus, whose Edit menu holds Undo (Ctrl+Z).
    apptest::Shell shell;
    auto& editors = shell.editors;
    editors.setWindowDecorator([&shell](QMainWindow& window) { shell.menus.install(window); });
    QImage image(480, 320, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(230, 232, 236));
    AnnotationStore& store =
        editors.open(platform::BaseImage(image), "Notes", {.appliesRememberedFrame = false});
    EditorPage* page = editors.pageOf(store);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(page->window()));
    xdotool({"windowactivate", "--sync", QString::number(page->window()->winId())});
    ASSERT_TRUE(test::waitUntil([&] { return page->window()->isActiveWindow(); }));

    store.activate(Tool::arrow);
    drag(onScreen(page, {40, 40}), onScreen(page, {200, 120}));
    ASSERT_TRUE(test::waitUntil([&] { return store.annotations().size() == 1; }));
    const Annotation arrow = store.annotations().first();
    EXPECT_EQ(arrow.kind, AnnotationKind::arrow);

    store.activate(Tool::text);
    const QPoint at = onScreen(page, {120, 220});
    xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
    xdotool({"click", "1"});
    ASSERT_TRUE(test::waitUntil([&] {
        return page->canvas()->inlineTextField() && page->canvas()->inlineTextField()->hasFocus();
    }));
    xdotool({"type", "--delay", "20", "Check this"});
    ASSERT_TRUE(test::waitUntil([&] {
        return store.annotations().size() == 2 && store.annotations()[1].text == "Check this";
    }));
    xdotool({"key", "Escape"});
    ASSERT_TRUE(test::waitUntil([&] { return page->canvas()->inlineTextField() == nullptr; }));
    ASSERT_EQ(store.annotations().size(), 2);
    EXPECT_EQ(store.annotations()[1].kind, AnnotationKind::text);
    EXPECT_EQ(store.annotations()[1].text, "Check this");
    EXPECT_EQ(store.undoCount(), 2);
    EXPECT_TRUE(test::waitUntil([&] { return page->canvas()->hasFocus(); }));

    // A second Escape reaches the canvas and leaves the document alone.
    xdotool({"key", "Escape"});
    QTest::qWait(200);
    EXPECT_EQ(store.annotations().size(), 2);

    xdotool({"key", "ctrl+z"});
    ASSERT_TRUE(test::waitUntil([&] { return store.annotations().size() == 1; }));
    EXPECT_EQ(store.annotations().first(), arrow);

    store.setHasUnsavedChanges(false);
    page->window()->close();
    test::waitUntil([&] { return editors.pages().isEmpty(); });
    editors.setWindowDecorator({});
}
