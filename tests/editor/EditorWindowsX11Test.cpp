#include "../capture/X11Support.h"
#include "TestPaths.h"

#include "editor/EditorPage.h"
#include "editor/EditorTabHost.h"
#include "editor/EditorWindowController.h"
#include "editor/EditorZoom.h"
#include "model/AnnotationStore.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::BaseImage filledImage(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return platform::BaseImage(image);
}

void closeAll(EditorWindowController& editors)
{
    for (EditorPage* page : editors.pages())
        page->store().setHasUnsavedChanges(false);
    for (EditorPage* page : editors.pages())
        page->window()->close();
    test::waitUntil([&] { return editors.pages().isEmpty(); });
}

} // namespace

TEST(EditorWindowsOnX11, LargeImagesFitTheScreenWithTheFrameAndTabsShareAWindow)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QApplication::setQuitOnLastWindowClosed(false);
    EditorWindowController editors;
    EditorOpenOptions plain;
    plain.appliesRememberedFrame = false;

    AnnotationStore& first =
        editors.open(filledImage({900, 500}, QColor(30, 140, 90)), "First", plain);
    QWidget* window = editors.pageOf(first)->window();
    ASSERT_TRUE(test::waitUntil(
        [&] { return window->isVisible() && window->frameGeometry() != window->geometry(); }));

    // Once the window manager's frame is known, a window for a huge image keeps its frame
    // within the screen, 16 points from its edges.
    AnnotationStore& huge = editors.open(filledImage({5000, 4000}, Qt::white), "Huge", plain);
    QWidget* hugeWindow = editors.pageOf(huge)->window();
    ASSERT_TRUE(test::waitUntil([&] { return hugeWindow->isVisible(); }));
    const QRect available = hugeWindow->screen()->availableGeometry();
    const QRect inset = available.adjusted(16, 16, -16, -16);
    // Waited for, as the manager may place and frame the window late on a loaded machine.
    EXPECT_TRUE(test::waitUntil([&] { return inset.contains(hugeWindow->frameGeometry()); }))
        << hugeWindow->frameGeometry().x() << "," << hugeWindow->frameGeometry().y() << " "
        << hugeWindow->frameGeometry().width() << "x" << hugeWindow->frameGeometry().height();
    EXPECT_LT(editors.zoom(hugeWindow)->scale(), 0.5);
    hugeWindow->close();

    // A blank canvas as a tab of the first window: one window, two tabs.
    editors.openBlank(window);
    auto* host = qobject_cast<EditorTabHost*>(window);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->pageCount(), 2);
    EXPECT_TRUE(host->tabs()->tabBar()->isVisible());
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Blank Canvas — 1280 × 800 px"));
    QTest::qWait(300);
    const QString grab = QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin-grab");
    if (QFileInfo(grab).isExecutable())
        QProcess::execute(grab, {QStringLiteral(SNAPKIN_BUILD_DIR "/editor-two-tabs-x11.png")});
    closeAll(editors);
}

TEST(EditorWindowsOnX11, CtrlDInTheQuestionDiscardsAndClosesTheTab)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QApplication::setQuitOnLastWindowClosed(false);
    EditorWindowController editors;
    AnnotationStore& kept = editors.open(filledImage({400, 300}, Qt::gray), "Kept");
    QWidget* window = editors.pageOf(kept)->window();
    AnnotationStore& dirty = editors.open(filledImage({400, 300}, Qt::gray), "Dirty",
                                          {.appliesRememberedFrame = false, .tabOf = window});
    dirty.setHasUnsavedChanges(true);
    ASSERT_TRUE(test::waitUntil([&] { return window->isActiveWindow(); }));

    // The user answers from the keyboard once the question is up.
    QString asked;
    QTimer answer;
    answer.setInterval(50);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isActiveWindow() || !asked.isEmpty()) return;
        asked = box->text();
        QProcess::startDetached("xdotool", {"key", "--clearmodifiers", "ctrl+d"});
    });
    answer.start();
    auto* host = qobject_cast<EditorTabHost*>(window);
    ASSERT_TRUE(host);
    emit host->tabs()->tabCloseRequested(1);
    answer.stop();

    EXPECT_EQ(asked, "Do you want to save your annotations?");
    ASSERT_TRUE(test::waitUntil([&] { return editors.pages().size() == 1; }));
    EXPECT_EQ(&editors.pages().front()->store(), &kept);
    closeAll(editors);
}
