#include "CaptureFakes.h"
#include "TestPaths.h"
#include "X11Support.h"

#include "capture/CaptureCountdown.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/ToastView.h"
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "platform/DesktopWindows.h"
#include "platform/ImageReader.h"
#include "platform/ScreenCapture.h"

#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using test::ColorWindow;
using test::ForeignWindow;
using test::near;
using test::pixel;
using test::waitUntil;

// Foreign windows are made before the window manager starts: one made just after may get the
// id of the manager's closed probe window, which the manager then still takes for the probe.

namespace {

const QColor red(220, 30, 40);
const QColor green(30, 200, 60);
const QColor blue(40, 60, 210);

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// What the screen shows around `rect`, kept in the build folder to look at.
void saveScreen(const QRect& rect, const char* name)
{
    const auto shot = platform::ScreenCapture::grabScreenRect(rect.adjusted(-20, -20, 20, 20));
    if (!shot) return;
    QDir().mkpath(SNAPKIN_BUILD_DIR "/screenshots");
    shot->save(QString(SNAPKIN_BUILD_DIR "/screenshots/") + name);
}

// The real service against this test's X server, with the routes out recorded.
class CaptureServiceX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        settings().setValue(keys::windowCaptureShadow, false);
        settings().setValue(keys::windowCaptureTransparentBackground, false);
        service.setAlertPresenter([this](const CaptureAlert& alert, std::function<void(int)>) {
            alerts.push_back(alert);
        });
        service.setClipboardWriter([this](const platform::BaseImage& image) {
            copied.push_back(image);
            return true;
        });
    }
    // Runs a request to its end; false when it did not end in time.
    bool run(const std::function<void()>& request)
    {
        request();
        return waitUntil([&] { return !service.isCapturing(); }, 20000);
    }
    QImage delivered() const
    {
        if (!copied.empty()) return copied.back().image();
        return hooks.delivered.empty() ? QImage() : hooks.delivered.back().image();
    }

    QStringList log;
    test::RecordingSounds sounds{&log};
    test::RecordingHooks hooks{&log};
    CaptureService service{hooks.router, hooks.watcher, hooks.hooks()};
    std::vector<CaptureAlert> alerts;
    std::vector<platform::BaseImage> copied;
};

} // namespace

TEST_F(CaptureServiceX11, FullScreenLeavesOutTheOwnEditorAndPutsItBackInPlace)
{
    ForeignWindow behind(QRect(0, 0, 1920, 1080), red);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    EditorWindowController editors;
    AnnotationStore& store =
        editors.open(platform::BaseImage(test::filled(QSize(600, 400), blue)), "Editor");
    QWidget* editor = editors.pageOf(store)->window();
    const std::uint32_t editorID = std::uint32_t(editor->winId());
    ASSERT_TRUE(waitUntil([&] { return test::isMapped(editorID); }));
    const QPoint inside = editor->geometry().center();
    ASSERT_TRUE(waitUntil([&] {
        auto shot = platform::ScreenCapture::grabScreenRect(QRect(inside, QSize(1, 1)));
        return shot && !near(pixel(*shot, 0, 0), red);
    }));
    const QRect placed = editor->frameGeometry();

    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
    ASSERT_TRUE(alerts.empty()) << alerts.front().informativeText.toStdString();
    const QImage shot = delivered();
    ASSERT_EQ(shot.size(), QSize(1920, 1080));
    // What is behind the editor, at its middle and just inside its frame.
    EXPECT_TRUE(near(pixel(shot, inside.x(), inside.y()), red));
    EXPECT_TRUE(near(pixel(shot, placed.left() + 3, placed.top() + 3), red));

    // Mapped again first, then the window manager puts the frame back: wait for the position.
    EXPECT_TRUE(waitUntil([&] {
        return test::isMapped(editorID) && editor->frameGeometry() == placed;
    })) << "back at "
        << editor->frameGeometry().x() << "," << editor->frameGeometry().y() << " instead of "
        << placed.x() << "," << placed.y();
    store.setHasUnsavedChanges(false);
    editor->close();
}

TEST_F(CaptureServiceX11, AWindowTheManagerPlacedComesBackWhereTheUserMovedIt)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    // Shown without a position of its own: the manager places it, then the user moves it.
    QWidget own;
    own.setWindowTitle("Placed");
    own.resize(320, 240);
    own.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&own));
    const QString id = QString::number(own.winId());
    const auto onScreen = [&] {
        const QString info = test::commandOutput("xwininfo", {"-id", id});
        const auto x = QRegularExpression(R"(Absolute upper-left X:\s+(-?\d+))").match(info);
        const auto y = QRegularExpression(R"(Absolute upper-left Y:\s+(-?\d+))").match(info);
        return x.hasMatch() && y.hasMatch() ? QPoint(x.captured(1).toInt(), y.captured(1).toInt())
                                            : QPoint(-1, -1);
    };
    const QPoint placedByManager = onScreen();
    QProcess::execute("xdotool", {"windowmove", "--sync", id, "230", "140"});
    ASSERT_TRUE(waitUntil([&] { return onScreen() != placedByManager; }));
    // Settled once two reads 200 ms apart agree: a loaded machine may show the move in steps.
    QPoint moved = onScreen();
    waitUntil([&] {
        QTest::qWait(200);
        const QPoint now = onScreen();
        const bool settled = now == moved;
        moved = now;
        return settled;
    });

    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
    ASSERT_TRUE(waitUntil([&] { return test::isMapped(std::uint32_t(own.winId())); }));
    EXPECT_TRUE(waitUntil([&] { return onScreen() == moved; }, 5000))
        << onScreen().x() << "," << onScreen().y() << " instead of " << moved.x() << ","
        << moved.y();
}

TEST_F(CaptureServiceX11, FrontWindowIsTheActivatedForeignOneAtItsSizeNeverOurs)
{
    ForeignWindow foreign(QRect(200, 150, 400, 300), green);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    ColorWindow own("Own", blue, QRect(900, 200, 300, 300), false);
    ASSERT_EQ(
        QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(foreign.xid())}),
        0);
    // Ours on top of the stack afterwards: still never picked.
    own.raise();
    own.activateWindow();
    QCoreApplication::processEvents();

    ASSERT_TRUE(run([&] { service.captureFrontWindow(CaptureSink::editor); }));
    ASSERT_TRUE(alerts.empty()) << alerts.front().informativeText.toStdString();
    const QImage shot = delivered();
    // The window manager's frame is part of the window.
    EXPECT_GE(shot.width(), 400);
    EXPECT_LE(shot.width(), 420);
    EXPECT_GE(shot.height(), 300);
    EXPECT_LE(shot.height(), 340);
    EXPECT_TRUE(near(pixel(shot, shot.width() / 2, shot.height() / 2), green));
}

TEST_F(CaptureServiceX11, LastRegionIsAKnownSquareAndAGoneDisplaysRegionIsClipped)
{
    ForeignWindow square(QRect(300, 200, 200, 200), green);
    ASSERT_TRUE(test::showsColor({400, 300}, green));
    const auto id = platform::ScreenCapture::displayID(QGuiApplication::primaryScreen());
    ASSERT_TRUE(id);
    settings().setValue(keys::lastRegionRect,
                        QVariantList{double(*id), 350.0, 250.0, 100.0, 100.0});
    ASSERT_TRUE(run([&] { service.captureLastRegion(); }));
    QImage shot = delivered();
    ASSERT_EQ(shot.size(), QSize(100, 100));
    EXPECT_TRUE(near(pixel(shot, 0, 0), green));
    EXPECT_TRUE(near(pixel(shot, 99, 99), green));

    // Its display is gone: taken on the main screen, cut at its edges.
    settings().setValue(keys::lastRegionRect, QVariantList{12345.0, 1900.0, 1000.0, 100.0, 100.0});
    ASSERT_TRUE(run([&] { service.captureLastRegion(); }));
    shot = delivered();
    EXPECT_EQ(shot.size(), QSize(20, 80));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(CaptureServiceX11, HiddenDesktopIconsLeaveTheWallpaperWhereTheDesktopShowed)
{
    test::RootBackground wallpaper(blue);
    ASSERT_TRUE(wallpaper.ready());
    ForeignWindow desktop(QRect(0, 0, 1920, 1080), green, "_NET_WM_WINDOW_TYPE_DESKTOP");
    ForeignWindow above(QRect(300, 200, 200, 200), red);
    ASSERT_TRUE(test::showsColor({1000, 600}, green));
    ASSERT_TRUE(test::showsColor({400, 300}, red));
    const auto id = platform::ScreenCapture::displayID(QGuiApplication::primaryScreen());
    ASSERT_TRUE(id);
    settings().setValue(keys::lastRegionRect,
                        QVariantList{double(*id), 450.0, 250.0, 100.0, 100.0});

    // Off: the desktop as it is.
    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
    EXPECT_TRUE(near(pixel(delivered(), 1000, 600), green));

    settings().setValue(keys::hideDesktopIconsWhileCapturing, true);
    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
    QImage shot = delivered();
    ASSERT_EQ(shot.size(), QSize(1920, 1080));
    EXPECT_TRUE(near(pixel(shot, 1000, 600), blue));
    EXPECT_TRUE(near(pixel(shot, 0, 0), blue));
    // A window above the desktop stays as it is.
    EXPECT_TRUE(near(pixel(shot, 400, 300), red));
    EXPECT_TRUE(near(pixel(shot, 499, 399), red));
    EXPECT_TRUE(near(pixel(shot, 500, 400), blue));

    // A region across the window's edge.
    copied.clear();
    ASSERT_TRUE(run([&] { service.captureLastRegion(); }));
    shot = delivered();
    ASSERT_EQ(shot.size(), QSize(100, 100));
    EXPECT_TRUE(near(pixel(shot, 10, 10), red));
    EXPECT_TRUE(near(pixel(shot, 90, 90), blue));
    EXPECT_TRUE(alerts.empty());

    // The still pictures a frozen selection is made on.
    auto snapshots = test::await(CaptureEngine::snapshotDisplays({}));
    ASSERT_TRUE(snapshots && snapshots->has_value());
    ASSERT_EQ((*snapshots)->size(), 1u);
    const QImage& still = (*snapshots)->begin()->second;
    EXPECT_TRUE(near(pixel(still, 1000, 600), blue));
    EXPECT_TRUE(near(pixel(still, 400, 300), red));

    // The screen itself never changed.
    EXPECT_TRUE(test::showsColor({1000, 600}, green));
}

TEST_F(CaptureServiceX11, WithoutAWallpaperTheDesktopStaysAndOneNoteSaysSo)
{
    // ESETROOT_PMAP_ID serves where _XROOTPMAP_ID is missing.
    {
        test::RootBackground older(blue, "ESETROOT_PMAP_ID");
        ForeignWindow desktop(QRect(0, 0, 1920, 1080), green, "_NET_WM_WINDOW_TYPE_DESKTOP");
        ASSERT_TRUE(test::showsColor({1000, 600}, green));
        EXPECT_FALSE(platform::DesktopWindows::desktopIconsCannotBeHidden());
        settings().setValue(keys::hideDesktopIconsWhileCapturing, true);
        ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
        EXPECT_TRUE(near(pixel(delivered(), 1000, 600), blue));
    }
    ForeignWindow desktop(QRect(0, 0, 1920, 1080), green, "_NET_WM_WINDOW_TYPE_DESKTOP");
    ASSERT_TRUE(test::showsColor({1000, 600}, green));
    EXPECT_TRUE(platform::DesktopWindows::desktopIconsCannotBeHidden());
    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
    EXPECT_TRUE(near(pixel(delivered(), 1000, 600), green));
    EXPECT_TRUE(alerts.empty());
}

TEST_F(CaptureServiceX11, TheCountdownAndTheToastAppearOnTheScreenOfTheFocusedWindow)
{
    ForeignWindow foreign(QRect(1200, 200, 400, 300), green);
    ASSERT_TRUE(test::xrandr({"--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(test::xrandr({"--setmonitor", "R", "960/254x1080/286+960+0", "none"}));
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::screens().size() == 2; }));
    ASSERT_EQ(QGuiApplication::primaryScreen()->geometry().x(), 0);
    const QRect right(960, 0, 960, 1080);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());

    // Another application's window in front on the right.
    ASSERT_EQ(
        QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(foreign.xid())}),
        0);
    settings().setValue(keys::captureDelay, 3);
    service.capture(CaptureMode::fullScreen, CaptureSink::clipboard);
    ASSERT_TRUE(waitUntil([] { return CaptureCountdown::current() != nullptr; }));
    ASSERT_NE(CaptureCountdown::current()->view(), nullptr);
    EXPECT_TRUE(right.contains(CaptureCountdown::current()->view()->geometry()));
    ASSERT_TRUE(waitUntil([&] { return !service.isCapturing(); }, 20000));
    ASSERT_NE(CaptureToast::current(), nullptr);
    EXPECT_TRUE(right.contains(CaptureToast::current()->geometry()));

    // Our own window focused on the right, the pointer on the left.
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", "100", "100"}), 0);
    ColorWindow own("Own", blue, QRect(1100, 300, 500, 400), false);
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return own.isActiveWindow(); }));
    CaptureToast::show("Copied to clipboard", 1.3);
    ASSERT_NE(CaptureToast::current(), nullptr);
    EXPECT_TRUE(right.contains(CaptureToast::current()->geometry()));

    // A stored region whose display is gone is taken there too.
    settings().setValue(keys::lastRegionRect, QVariantList{12345.0, 10.0, 20.0, 100.0, 100.0});
    const auto region = service.loadLastRegion();
    ASSERT_TRUE(region);
    EXPECT_EQ(region->screen->geometry().x(), 960);
}

// The request comes from our own window on the right while the pointer rests on the left: the
// window is off the screen before the badge is placed, yet the badge belongs where it was.
TEST_F(CaptureServiceX11, ATimedCaptureFromOurOwnWindowCountsDownOnThatWindowsScreen)
{
    ASSERT_TRUE(test::xrandr({"--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(test::xrandr({"--setmonitor", "R", "960/254x1080/286+960+0", "none"}));
    ASSERT_TRUE(waitUntil([] { return QGuiApplication::screens().size() == 2; }));
    const QRect right(960, 0, 960, 1080);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", "100", "100"}), 0);
    ColorWindow own("Own", blue, QRect(1100, 300, 500, 400), false);
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return own.isActiveWindow(); }));
    settings().setValue(keys::captureDelay, 3);
    settings().setValue(keys::freezeScreenWhileSelecting, true); // the countdown comes first

    for (const auto& request : std::vector<std::function<void()>>{
             [&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); },
             [&] { service.capture(CaptureMode::region, CaptureSink::clipboard); }}) {
        ASSERT_TRUE(
            waitUntil([&] { return platform::DesktopWindows::workScreen()->geometry() == right; }));
        request();
        ASSERT_TRUE(waitUntil([] { return CaptureCountdown::current() != nullptr; }));
        ASSERT_NE(CaptureCountdown::current()->view(), nullptr);
        ASSERT_TRUE(waitUntil([&] { return !test::isMapped(own.xid()); }));
        const QRect badge = CaptureCountdown::current()->view()->geometry();
        EXPECT_TRUE(right.contains(badge)) << badge.x() << "," << badge.y();
        EXPECT_EQ(badge.center().x(), right.center().x());
        CaptureCountdown::current()->cancel();
        ASSERT_TRUE(waitUntil([&] { return !service.isCapturing(); }));
        ASSERT_TRUE(waitUntil([&] { return test::isMapped(own.xid()); }));
        ASSERT_EQ(
            QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(own.xid())}),
            0);
    }
}

TEST_F(CaptureServiceX11, TheClipboardSinkIsReadableByOtherProgramsAndTheToastStaysOutOfTheNext)
{
    service.setClipboardWriter(nullptr);
    ForeignWindow behind(QRect(0, 0, 1920, 1080), red);
    ASSERT_TRUE(test::showsColor({960, 540}, red));

    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::clipboard); }));
    ASSERT_TRUE(alerts.empty());
    copied.clear();
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-t", "image/png", "-o"});
    // We own the clipboard: keep answering while xclip asks.
    ASSERT_TRUE(waitUntil([&] { return xclip.state() == QProcess::NotRunning; }, 15000));
    const auto pasted = platform::readImage(xclip.readAllStandardOutput());
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->size(), QSize(1920, 1080));
    EXPECT_TRUE(near(pixel(*pasted, 960, 540), red));

    // The confirmation is on the screen now; the next capture must not show it.
    ASSERT_NE(CaptureToast::current(), nullptr);
    const QRect toast = CaptureToast::current()->geometry();
    ASSERT_TRUE(test::showsColor(toast.center(), QColor(23, 23, 23), 5000));
    saveScreen(toast, "toast-x11.png");
    ASSERT_TRUE(run([&] { service.capture(CaptureMode::fullScreen, CaptureSink::editor); }));
    const QImage next = delivered();
    ASSERT_FALSE(next.isNull());
    EXPECT_TRUE(near(pixel(next, toast.center().x(), toast.center().y()), red));
}

TEST_F(CaptureServiceX11, EscapeWhileAnotherApplicationHasTheFocusCancelsTheCountdown)
{
    ForeignWindow foreign(QRect(100, 100, 300, 200), green);
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    ColorWindow editor("Editor", blue, QRect(500, 300, 600, 400), false);
    ASSERT_EQ(
        QProcess::execute("xdotool", {"windowactivate", "--sync", QString::number(foreign.xid())}),
        0);
    settings().setValue(keys::captureDelay, 3);

    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    ASSERT_TRUE(waitUntil([] { return CaptureCountdown::current() != nullptr; }));
    EXPECT_TRUE(CaptureCountdown::current()->escapeGrabbed());
    ASSERT_TRUE(waitUntil([&] { return !test::isMapped(editor.xid()); }));
    const QRect badge = CaptureCountdown::current()->view()->geometry();
    ASSERT_TRUE(test::showsColor(badge.center() + QPoint(-40, 0), QColor(28, 28, 28)));
    saveScreen(badge, "countdown-x11.png");
    ASSERT_EQ(QProcess::execute("xdotool", {"key", "Escape"}), 0);

    ASSERT_TRUE(waitUntil([&] { return !service.isCapturing(); }, 2000));
    EXPECT_EQ(CaptureCountdown::current(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return test::isMapped(editor.xid()); }));
    // Well past the three seconds: nothing was captured, nothing reported.
    QTest::qWait(3300);
    EXPECT_TRUE(hooks.delivered.empty());
    EXPECT_TRUE(alerts.empty());
}
