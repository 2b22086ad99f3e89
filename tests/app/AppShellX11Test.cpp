#include "../capture/X11Support.h"

#include "AppShell.h"
#include "AppTestSupport.h"
#include "TestPaths.h"
#include "output/ExportService.h"
#include "ui/output/ExportDialogs.h"

#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "app/TrayMenu.h"

#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

QString appPath()
{
    return QStringLiteral(SNAPKIN_BUILD_DIR "/snapkin");
}

using test::commandOutput;
using Process = test::ChildProcess;

// A system tray on the test's display: trayer docked at the top right.
struct Tray : Process {
    Tray()
        : Process("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request",
                             "--height", "24", "--SetDockType", "true"})
    {
    }
};

// Whether an icon of Snapkin's sits in the tray (a window of class "snapkin" inside the panel).
bool trayHoldsIcon()
{
    const QString tree = commandOutput("xwininfo", {"-root", "-tree"});
    bool inPanel = false;
    for (const QString& line : tree.split('\n')) {
        if (line.contains("\"panel\": (\"panel\" \"trayer\")"))
            inPanel = true;
        else if (inPanel && line.contains("(\"snapkin\" \"snapkin\")"))
            return true;
    }
    return false;
}

} // namespace

TEST(AppShell, StartsInTheTrayCapturesFromTheShortcutAndTakesASecondStartsFile)
{
    ASSERT_TRUE(QFileInfo(appPath()).isExecutable());
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    Tray tray;
    Process app(appPath());

    ASSERT_TRUE(test::waitUntil(trayHoldsIcon, 15000));
    // With the tray there, no window opens at start.
    QTest::qWait(800);
    EXPECT_TRUE(commandOutput("xdotool", {"search", "--onlyvisible", "--name", " px"}).isEmpty());

    QProcess::execute("xdotool", {"key", "ctrl+alt+3"});
    EXPECT_FALSE(test::findVisibleWindow(QString::fromUtf8("1920 × 1080 px")).isEmpty());

    QTemporaryDir dir;
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(QColor(30, 160, 90));
    const QString png = dir.filePath("handed.png");
    ASSERT_TRUE(image.save(png));
    QProcess second;
    second.setWorkingDirectory(dir.path());
    QElapsedTimer clock;
    clock.start();
    second.start(appPath(), {"handed.png"}); // relative: made absolute before it is handed over
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(test::findVisibleWindow(QString::fromUtf8("handed.png — 300 × 200 px")).isEmpty());
    EXPECT_EQ(app.process.state(), QProcess::Running);
}

TEST(AppShell, APinStaysAboveOtherWindowsAndLockedLetsClicksThrough)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect under(screen.center() - QPoint(200, 150), QSize(400, 300));
    test::ColorWindow window("Beneath", QColor(200, 40, 40), under, false);
    int presses = 0;
    struct Counter : QObject {
        int* count;
        explicit Counter(int* c) : count(c) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseButtonPress) ++*count;
            return false;
        }
    } counter(&presses);
    window.installEventFilter(&counter);
    ASSERT_TRUE(test::showsColor(screen.center(), QColor(200, 40, 40)));

    QImage picture(200, 150, QImage::Format_RGB32);
    picture.fill(QColor(30, 60, 220));
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorWindowController editors;
    PinnedScreenshotController pins(editors, dialogs);
    PinnedScreenshotWindow* pin = pins.pin(picture);
    ASSERT_TRUE(test::showsColor(screen.center(), QColor(30, 60, 220)));

    // The window beneath comes forward; the pin stays on top.
    QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(window.xid())});
    QTest::qWait(300);
    EXPECT_TRUE(test::showsColor(screen.center(), QColor(30, 60, 220)));

    // Unlocked, a click lands on the pin; locked, on the window beneath.
    const QString x = QString::number(screen.center().x());
    const QString y = QString::number(screen.center().y());
    QProcess::execute("xdotool", {"mousemove", x, y, "click", "1"});
    QTest::qWait(300);
    EXPECT_EQ(presses, 0);
    pin->lock();
    QTest::qWait(300);
    QProcess::execute("xdotool", {"mousemove", x, y, "click", "1"});
    EXPECT_TRUE(test::waitUntil([&] { return presses == 1; }, 5000));
    EXPECT_TRUE(test::showsColor(screen.center(), QColor(30, 60, 220))); // still shown
    pins.closeAll();
}

TEST(AppShell, FullScreenOnListsEveryMonitor)
{
    ASSERT_TRUE(test::xrandr({"--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(test::xrandr({"--setmonitor", "R", "960/254x1080/286+960+0", "none"}));
    ASSERT_TRUE(test::waitUntil([] { return QGuiApplication::screens().size() == 2; }));
    apptest::Shell shell;
    QMenu menu;
    TrayMenu::fill(&menu, shell.actions, shell.pins);
    QMenu* displays = nullptr;
    for (QAction* action : menu.actions())
        if (action->text() == QString::fromUtf8("Full Screen on…")) displays = action->menu();
    ASSERT_NE(displays, nullptr);
    QStringList titles;
    for (QAction* action : displays->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{QString::fromUtf8("Display 1 — 960×1080"),
                                   QString::fromUtf8("Display 2 — 960×1080")}));
}

TEST(AppShell, DraggingAPinMovesItThroughTheWindowManager)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    QImage picture(200, 150, QImage::Format_RGB32);
    picture.fill(QColor(230, 200, 20));
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorWindowController editors;
    PinnedScreenshotController pins(editors, dialogs);
    PinnedScreenshotWindow* pin = pins.pin(picture);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pin));
    QTest::qWait(300);
    const QPoint start = pin->geometry().center();
    const auto arg = [](int v) { return QString::number(v); };
    QProcess::execute("xdotool", {"mousemove", arg(start.x()), arg(start.y()), "mousedown", "1"});
    QTest::qWait(200);
    for (int step = 1; step <= 10; ++step) {
        QProcess::execute("xdotool",
                          {"mousemove", arg(start.x() + 15 * step), arg(start.y() + 8 * step)});
        QTest::qWait(30);
    }
    QProcess::execute("xdotool", {"mouseup", "1"});
    EXPECT_TRUE(test::waitUntil(
        [&] { return (pin->geometry().center() - start).manhattanLength() > 150; }, 5000))
        << pin->geometry().x() << "," << pin->geometry().y();
    pins.closeAll();
}
