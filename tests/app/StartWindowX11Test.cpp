// The start window with the real application on a real X server: captures taken with the
// global shortcuts fill it, the editor's Ctrl+Shift+1 and the tray menu open it, a search finds
// a capture by the text in it, Return reopens a capture with its arrow, and Delete removes one
// from disk. The application runs in this process (so the test can see the grid), driven only
// by X input through xdotool; another program shows the sentence that is captured.
#include "../capture/X11Support.h"
#include "AppShell.h"
#include "AppTestSupport.h"
#include "TestPaths.h"

#include "app/AppDelegate.h"
#include "app/MenuActions.h"
#include "app/TrayMenu.h"
#include "app/start/HistoryGridModel.h"
#include "app/start/HistoryGridView.h"
#include "app/start/StartWindow.h"
#include "app/start/StartWindowController.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "settings/PreferencesWindow.h"
#include "settings/SettingsHooks.h"
#include "ui/canvas/CanvasView.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

using namespace snapkin;

namespace {

const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog");

QString buildPath(const char* name)
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/") + QLatin1String(name);
}

void xdotool(const QStringList& arguments)
{
    QProcess::execute("xdotool", arguments);
}

// A drag with the real pointer, in steps so that the motion is seen.
void drag(QPoint from, QPoint to)
{
    const auto point = [](QPoint p) {
        return QStringList{QString::number(p.x()), QString::number(p.y())};
    };
    xdotool(QStringList{"mousemove"} + point(from));
    QTest::qWait(100);
    xdotool({"mousedown", "1"});
    QTest::qWait(100);
    for (int i = 1; i <= 6; ++i) {
        xdotool(QStringList{"mousemove"} + point(from + (to - from) * i / 6));
        QTest::qWait(40);
    }
    xdotool({"mouseup", "1"});
}

void activate(QWidget* window)
{
    xdotool({"windowactivate", "--sync", QString::number(window->window()->winId())});
    QTest::qWait(200);
}

// Takes a full-screen capture with the global shortcut (asking again while the application's
// grab may not be in place yet); true once its editor is open.
bool captureFullScreen(const EditorWindowController& editors)
{
    const qsizetype before = editors.pages().size();
    for (int attempt = 0; attempt < 3; ++attempt) {
        xdotool({"key", "ctrl+alt+3"});
        if (test::waitUntil([&] { return editors.pages().size() > before; }, 5000)) {
            QTest::qWait(300);
            return true;
        }
    }
    return false;
}

void keepScreen(const QString& name)
{
    QProcess::execute(buildPath("snapkin-grab"), {buildPath("") + name + ".png"});
}

struct Tray : test::ChildProcess {
    Tray()
        : ChildProcess("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                                  "--height", "24", "--SetDockType", "true"})
    {
    }
};

} // namespace

TEST(StartWindowApp, FindsReopensAndDeletesCapturesTakenWithTheShortcuts)
{
    QApplication::setQuitOnLastWindowClosed(false);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Tray tray;
    // With the tray in place before the start, no window opens at launch.
    ASSERT_TRUE(test::waitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));
    apptest::Shell shell;
    AppDelegate delegate(shell.services());
    delegate.start();
    QTest::qWait(300);
    EXPECT_FALSE(shell.startWindow.isVisible());
    CaptureHistory& history = shell.history;
    auto& editors = shell.editors;

    // The first capture shows another program's window with the sentence; an arrow is drawn
    // in its editor.
    {
        test::ChildProcess shower(buildPath("snapkin-sentence"), {sentence});
        ASSERT_FALSE(test::findVisibleWindow("^Sentence$").isEmpty());
        QTest::qWait(300);
        ASSERT_TRUE(captureFullScreen(editors));
    }
    ASSERT_EQ(history.entries().size(), 1);
    const QUuid sentenceID = history.entries().first().id;
    EditorPage* first = editors.pages().last();
    first->store().setTool(Tool::arrow);
    activate(first);
    const QRect canvas(first->canvas()->mapToGlobal(QPoint(0, 0)), first->canvas()->size());
    drag(canvas.center() - QPoint(120, 60), canvas.center() + QPoint(60, 40));
    ASSERT_TRUE(test::waitUntil([&] { return first->store().annotations().size() == 1; }, 5000));
    // Closing the editor writes the arrow back into the history.
    first->store().setHasUnsavedChanges(false);
    first->window()->close();
    ASSERT_TRUE(test::waitUntil([&] { return editors.pages().isEmpty(); }, 5000));

    ASSERT_TRUE(captureFullScreen(editors));
    ASSERT_TRUE(captureFullScreen(editors));
    ASSERT_EQ(history.entries().size(), 3);
    history.drain();

    // Recognition runs in the background; the test waits for the sentence's entry to have it.
    history.setStartupRecognitionDelay(0);
    // The history recognises on a thread of idle priority, which a machine whose every core is
    // busy never gives a turn: here the recogniser lifts its thread to the normal priority, so a
    // loaded machine slows the test down instead of stopping it.
    history.setTextRecognizer([recognize = historyTextRecognizer()](const QImage& image) {
        const sched_param normal{};
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
        return recognize(image);
    });
    const auto textOf = [&](const QUuid& id) -> std::optional<QString> {
        for (const HistoryEntry& entry : history.entries())
            if (entry.id == id) return entry.recognizedText;
        return std::nullopt;
    };
    ASSERT_TRUE(test::waitUntil([&] { return textOf(sentenceID).has_value(); }, 60000));
    ASSERT_TRUE(textOf(sentenceID)->contains("brown", Qt::CaseInsensitive))
        << textOf(sentenceID)->toStdString();

    // Ctrl+Shift+1 in an editor.
    activate(editors.pages().last());
    xdotool({"key", "--clearmodifiers", "ctrl+shift+1"});
    auto& start = shell.startWindow;
    ASSERT_TRUE(test::waitUntil([&] { return start.isVisible(); }, 5000));
    ASSERT_FALSE(test::findVisibleWindow("^Start Window$").isEmpty());
    StartWindow* window = start.window();
    EXPECT_EQ(window->model()->shownEntryCount(), 3);
    activate(window);
    keepScreen("start-window-x11");

    // A word of the sentence leaves its capture alone.
    xdotool({"type", "--delay", "40", "brown"});
    ASSERT_TRUE(test::waitUntil([&] { return window->model()->shownEntryCount() == 1; }, 5000))
        << window->searchField()->text().toStdString();
    keepScreen("start-window-x11-search");

    // Return opens it in an editor that holds the arrow, still an annotation to edit; the
    // start window steps aside.
    xdotool({"key", "Return"});
    ASSERT_TRUE(test::waitUntil([&] { return history.openStore(sentenceID) != nullptr; }, 5000));
    AnnotationStore* reopened = history.openStore(sentenceID);
    ASSERT_EQ(reopened->annotations().size(), 1);
    EXPECT_EQ(reopened->annotations()[0].kind, AnnotationKind::arrow);
    EXPECT_FALSE(start.isVisible());
    EditorPage* page = editors.pageOf(*reopened);
    ASSERT_NE(page, nullptr);
    // Editable: a click on the arrow's middle selects it.
    reopened->setTool(Tool::select);
    activate(page);
    const Annotation arrow = reopened->annotations()[0];
    // The canvas maps widget points to image points linearly; its inverse finds the middle.
    CanvasView* view = page->canvas();
    const QPointF origin = view->toImagePoint({0, 0});
    const double scale = 100.0 / (view->toImagePoint({100, 0}).x() - origin.x());
    const QPointF inWidget = ((arrow.p1 + arrow.p2) / 2 - origin) * scale;
    const QPoint middle = view->mapToGlobal(inWidget.toPoint());
    xdotool({"mousemove", QString::number(middle.x()), QString::number(middle.y()), "click", "1"});
    EXPECT_TRUE(test::waitUntil([&] { return reopened->selectedID().has_value(); }, 3000));

    // Delete on another capture removes its package and its line of the index.
    activate(page);
    xdotool({"key", "--clearmodifiers", "ctrl+shift+1"});
    ASSERT_TRUE(test::waitUntil([&] { return start.isVisible(); }, 5000));
    activate(window);
    window->searchField()->setFocus();
    xdotool({"key", "Escape"});
    ASSERT_TRUE(test::waitUntil([&] { return window->model()->shownEntryCount() == 3; }, 3000));
    xdotool({"key", "Down"}); // into the grid, on the newest capture
    ASSERT_TRUE(test::waitUntil([&] { return window->grid()->currentID().has_value(); }, 3000));
    const QUuid doomed = *window->grid()->currentID();
    ASSERT_NE(doomed, sentenceID);
    // The question runs its own event loop: its answer, the default button Delete, is typed
    // from a timer that fires inside it.
    QTimer::singleShot(800, [] { xdotool({"key", "Return"}); });
    xdotool({"key", "Delete"});
    ASSERT_TRUE(test::waitUntil([&] { return history.entries().size() == 2; }, 5000));
    history.drain();
    EXPECT_FALSE(QFileInfo::exists(history.files().packagePath(doomed)));
    QFile index(history.files().directory() + "/index.json");
    ASSERT_TRUE(index.open(QIODevice::ReadOnly));
    EXPECT_FALSE(index.readAll().contains(historyIDText(doomed).toLatin1()));

    // The tray menu's item opens the same window.
    window->hide();
    ASSERT_NE(delegate.tray(), nullptr);
    QMenu* menu = delegate.tray()->menu();
    TrayMenu::fill(menu, shell.actions, shell.pins);
    QAction* item = menu->findChild<QAction*>("startWindow");
    ASSERT_NE(item, nullptr);
    item->trigger();
    EXPECT_TRUE(start.isVisible());
    EXPECT_EQ(start.window(), window);

    window->hide();
    apptest::closeAllEditors(editors);
}

// "Show in taskbar": the application opens on its start window, and closing that window with
// the tray showing leaves the application running.
TEST(StartWindowApp, OpensAtLaunchForATaskbarPresence)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Tray tray;
    QTemporaryDir home;
    QDir().mkpath(home.filePath("config/snapkin"));
    {
        QFile settings(home.filePath("config/snapkin/settings.json"));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"showInDock": true, "showInMenuBar": true})");
    }
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(buildPath("snapkin"), {});
    const QString window = test::findVisibleWindow("^Start Window$");
    ASSERT_FALSE(window.isEmpty());
    xdotool({"windowactivate", "--sync", window});
    xdotool({"key", "--clearmodifiers", "alt+F4"});
    EXPECT_FALSE(app.waitForFinished(1500)); // still running, in the tray
    app.kill();
    app.waitForFinished(3000);
}

namespace {

// The window's _NET_WM_STATE as xprop prints it.
QString netWmState(const QString& window)
{
    return test::commandOutput("xprop", {"-id", window, "_NET_WM_STATE"});
}

} // namespace

// "Open the Start Window" in the History tab brings back a minimised start window: shown on the
// screen, no longer hidden, not only raised in its minimised state.
TEST(StartWindowApp, TheHistoryTabsLinkRestoresAMinimisedStartWindow)
{
    QApplication::setQuitOnLastWindowClosed(false);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    apptest::Shell shell;
    auto& start = shell.startWindow;
    start.show();
    const QString window = test::findVisibleWindow("^Start Window$");
    ASSERT_FALSE(window.isEmpty());
    // Minimised with the Window menu's Ctrl+M.
    activate(start.window());
    xdotool({"key", "--clearmodifiers", "ctrl+m"});
    ASSERT_TRUE(test::waitUntil([&] {
        return netWmState(window).contains("_NET_WM_STATE_HIDDEN");
    })) << netWmState(window).toStdString();
    ASSERT_FALSE(test::isMapped(window.toUInt()));

    platform::Defaults::standard().setValue(keys::settingsTab, QStringLiteral("history"));
    PreferencesWindow settings(platform::Defaults::standard(), shell.history, shell.hotkeys,
                               shell.capture,
                               {.openStartWindow = [&shell] { shell.actions.startWindow(); }});
    settings.showAndRaise();
    auto* link = settings.findChild<QLabel*>("startWindowLink");
    ASSERT_NE(link, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&settings));
    activate(&settings);
    // The label holds only the link: its first letters are on it.
    const QPoint onLink =
        link->mapToGlobal(QPoint(link->contentsRect().left() + 6, link->height() / 2));
    xdotool({"mousemove", QString::number(onLink.x()), QString::number(onLink.y()), "click", "1"});

    EXPECT_TRUE(test::waitUntil([&] {
        return !netWmState(window).contains("_NET_WM_STATE_HIDDEN") &&
               test::isMapped(window.toUInt());
    })) << netWmState(window).toStdString();
    settings.close();
    start.window()->hide();
}
