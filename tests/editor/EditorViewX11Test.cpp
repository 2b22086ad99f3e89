#include "TestPaths.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorPage.h"
#include "editor/EditorStatusBar.h"
#include "editor/EditorToolbar.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowController.h"
#include "editor/ToolSidebar.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// A capture-like picture: a light window with a title bar and a few coloured blocks.
platform::BaseImage sampleCapture()
{
    QImage image(960, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(246, 247, 249));
    QPainter painter(&image);
    painter.fillRect(0, 0, 960, 44, QColor(52, 58, 70));
    painter.fillRect(40, 90, 380, 220, QColor(90, 150, 230));
    painter.fillRect(470, 90, 440, 40, QColor(220, 224, 230));
    painter.fillRect(470, 150, 300, 40, QColor(220, 224, 230));
    painter.fillRect(40, 360, 870, 190, QColor(255, 214, 120));
    return platform::BaseImage(image);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        QTest::qWait(20);
    }
    return true;
}

} // namespace

TEST(EditorViewX11, WholeWindowShowsBarsSidebarAndBorderedCanvas)
{
    EditorWindowController editors;
    AnnotationStore& store =
        editors.open(sampleCapture(), "Screenshot", {.appliesRememberedFrame = false});
    store.appendAnnotation(Annotation{.kind = AnnotationKind::rectangle,
                                      .p1 = {60, 110},
                                      .p2 = {400, 290},
                                      .colorHex = "#FF3366",
                                      .lineWidth = 6});
    store.activate(Tool::rectangle);
    EditorPage* page = editors.pageOf(store);
    ASSERT_NE(page, nullptr);
    QWidget* window = page->window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EditorView* view = page->view();
    ASSERT_NE(view, nullptr);
    QWidget* rectangle = reinterpret_cast<QWidget*>(view->sidebar()->button(Tool::rectangle));
    EditorCanvasArea* area = view->canvasArea();
    QWidget* host = area->widget();
    QRect content;
    QPoint origin;
    QImage shot;
    const auto at = [&](QWidget* w, QPoint p) {
        return shot.pixelColor(origin + w->mapTo(window, p));
    };
    const auto tinted = [&] {
        const QColor tint = at(rectangle, QPoint(3, 17));
        return tint.red() > tint.blue() && tint.red() > tint.green();
    };
    // Grabbed again until the server shows the painted window (or the time is up, and the
    // checks below tell what is missing): a fixed pause is too short on a loaded machine.
    waitUntil(
        [&] {
            // The layout may still settle meanwhile: everything is measured with each grab.
            content = area->contentGeometry();
            const QRect frame = window->frameGeometry();
            origin = window->mapToGlobal(QPoint(0, 0)) - frame.topLeft();
            shot = window->screen()
                       ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                       .toImage()
                       .convertToFormat(QImage::Format_RGB32);
            return !shot.isNull() && tinted() &&
                   at(host, content.topLeft() + QPoint(10, 10)).lightness() < 90;
        },
        15000);
    ASSERT_FALSE(shot.isNull());
    ASSERT_TRUE(shot.save(QStringLiteral(SNAPKIN_BUILD_DIR "/editor-window-x11.png")));

    // The current tool's button wears the brand tint.
    const QColor tint = at(rectangle, QPoint(3, 17));
    EXPECT_GT(tint.red(), tint.blue());
    EXPECT_GT(tint.red(), tint.green());
    // The canvas shows the capture (its dark title bar) inside a border on the backdrop.
    EXPECT_LT(at(host, content.topLeft() + QPoint(10, 10)).lightness(), 90);
    const QColor backdrop = at(host, QPoint(4, 4));
    const QColor border = at(host, QPoint(content.center().x(), content.top() - 1));
    EXPECT_LT(border.lightness(), backdrop.lightness());
    // The status bar reads the pixel size; the toolbar sits above everything.
    EXPECT_EQ(view->statusBar()->dimensionReadout()->text(), "960 × 600 px · 72 dpi");
    EXPECT_LT(view->toolbar()->mapTo(window, QPoint(0, 0)).y(),
              view->sidebar()->mapTo(window, QPoint(0, 0)).y());
    EXPECT_TRUE(waitUntil([&] { return view->statusBar()->isVisible(); }));
}
