#include "X11Support.h"

#include "grab/CaptureEngine.h"
#include "platform/Defaults.h"
#include "platform/ScreenCapture.h"

#include "platform/X11Connection.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::ScreenCapture;
using platform::ShareableContent;
using platform::WindowInfo;
using test::await;
using test::ColorWindow;
using test::near;
using test::pixel;

namespace {

const QColor red(220, 30, 40);
const QColor green(30, 200, 60);
const QColor blue(40, 60, 210);

ShareableContent content()
{
    auto result = await(CaptureEngine::shareableContent());
    EXPECT_TRUE(result && result->has_value());
    return result && result->has_value() ? **result : ShareableContent{};
}

std::optional<WindowInfo> findWindow(const ShareableContent& c, std::uint32_t id)
{
    for (const WindowInfo& w : c.windows) {
        if (w.windowID == id) return w;
    }
    return std::nullopt;
}

// Lists until the window shows up (a window manager takes it in asynchronously).
std::optional<WindowInfo> waitForWindow(std::uint32_t id)
{
    std::optional<WindowInfo> found;
    test::waitUntil([&] {
        auto listed = ScreenCapture::shareableContent({});
        found = listed ? findWindow(*listed, id) : std::nullopt;
        return found.has_value();
    });
    return found;
}

// A window's captured pixels, without the size in points.
std::optional<platform::CaptureResult<QImage>> windowPixels(const WindowInfo& window)
{
    auto result = await(CaptureEngine::captureWindowImage(window));
    if (!result) return std::nullopt;
    if (!*result) return std::unexpected((*result).error());
    return (*result)->image();
}

void setWindowSettings(bool shadow, bool transparent)
{
    auto& d = platform::Defaults::standard();
    d.setValue(keys::windowCaptureShadow, shadow);
    d.setValue(keys::windowCaptureTransparentBackground, transparent);
}

} // namespace

TEST(CaptureEngineDisplays, OneDisplayAtTheScreenSizeWhichIsTheMainOne)
{
    const ShareableContent c = content();
    ASSERT_EQ(c.displays.size(), 1u);
    EXPECT_EQ(c.displays[0].frame, QRect(0, 0, 1920, 1080));
    EXPECT_EQ(c.displays[0].scale, 1.0);
    const auto main = CaptureEngine::mainDisplay(c);
    ASSERT_TRUE(main);
    // Qt's screen of that monitor carries the same identifier, so screens and displays join.
    EXPECT_EQ(ScreenCapture::displayID(QGuiApplication::primaryScreen()), main->displayID);
}

TEST(CaptureEngineDisplays, ImageShowsThePixelsOfAWindowWithAndWithoutSharedMemory)
{
    ColorWindow window("Probe", red, QRect(300, 200, 240, 160));
    ASSERT_TRUE(test::showsColor({420, 280}, red));
    const ShareableContent c = content();
    ASSERT_FALSE(c.displays.empty());

    auto viaShm = await(CaptureEngine::captureImage(c.displays[0], {}));
    ASSERT_TRUE(viaShm && viaShm->has_value());
    const QImage& image = **viaShm;
    EXPECT_EQ(image.size(), QSize(1920, 1080));
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    for (QPoint p : {QPoint(300, 200), QPoint(539, 359), QPoint(420, 280)}) {
        EXPECT_TRUE(near(pixel(image, p.x(), p.y()), red)) << p.x() << "," << p.y();
    }
    EXPECT_FALSE(near(pixel(image, 299, 199), red));
    EXPECT_FALSE(near(pixel(image, 540, 360), red));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);

    qputenv("SNAPKIN_NO_SHM", "1");
    auto viaGetImage = await(CaptureEngine::captureImage(c.displays[0], {}));
    qunsetenv("SNAPKIN_NO_SHM");
    ASSERT_TRUE(viaGetImage && viaGetImage->has_value());
    EXPECT_EQ(**viaGetImage, image);
}

TEST(CaptureEngineDisplays, LeavesOutAnOwnWindowAndShowsItAgain)
{
    ColorWindow below("Below", green, QRect(100, 100, 400, 300));
    ColorWindow own("Own", red, QRect(200, 150, 120, 100));
    ASSERT_TRUE(test::showsColor({250, 200}, red));
    const ShareableContent c = content();
    const auto ownInfo = findWindow(c, own.xid());
    ASSERT_TRUE(ownInfo);

    auto result = await(CaptureEngine::captureImage(c.displays[0], {*ownInfo}));
    ASSERT_TRUE(result && result->has_value());
    // The window below shows where the left-out window was.
    EXPECT_TRUE(near(pixel(**result, 250, 200), green));
    // Shown again by the time the future finishes, to Qt and to the server.
    EXPECT_TRUE(own.isVisible());
    EXPECT_TRUE(test::waitUntil([&] { return test::isMapped(own.xid()); }));
    EXPECT_TRUE(test::showsColor({250, 200}, red));
}

TEST(CaptureEngineDisplays, LeavesOutADecoratedWindowUnderAWindowManager)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    ColorWindow own("Decorated", red, QRect(300, 300, 200, 150), false);
    const auto info = waitForWindow(own.xid());
    ASSERT_TRUE(info);
    const QPoint inside = info->frame.center();
    ASSERT_TRUE(test::showsColor(inside, red));
    const QColor titleBar =
        pixel(*ScreenCapture::grabScreenRect(info->frame), info->frame.width() / 2, 2);

    auto result = await(CaptureEngine::captureImage(content().displays[0], {*info}));
    ASSERT_TRUE(result && result->has_value());
    // Neither the window nor the frame the window manager drew around it.
    EXPECT_FALSE(near(pixel(**result, inside.x(), inside.y()), red));
    EXPECT_FALSE(near(pixel(**result, inside.x(), info->frame.top() + 2), titleBar));
    // Back where it was.
    EXPECT_TRUE(test::showsColor(inside, red));
    const auto again = waitForWindow(own.xid());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->frame, info->frame);
}

TEST(CaptureEngineDisplays, ShowsWindowsAgainWhenTheCaptureFails)
{
    ColorWindow own("Own", red, QRect(200, 150, 120, 100));
    ASSERT_TRUE(test::showsColor({250, 200}, red));
    const ShareableContent c = content();
    platform::DisplayInfo gone = c.displays[0];
    gone.displayID += 1; // a monitor unplugged since it was listed
    auto result = await(CaptureEngine::captureImage(gone, {*findWindow(c, own.xid())}));
    ASSERT_TRUE(result);
    ASSERT_FALSE(result->has_value());
    EXPECT_EQ(result->error().kind, platform::ScreenCaptureError::Kind::noSuchDisplay);
    EXPECT_TRUE(own.isVisible());
    EXPECT_TRUE(test::waitUntil([&] { return test::isMapped(own.xid()); }));
}

TEST(CaptureEngineDisplays, TwoMonitorsAreListedAndCapturedSeparately)
{
    ASSERT_TRUE(test::xrandr({"--setmonitor", "L", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(test::xrandr({"--setmonitor", "R", "960/254x1080/286+960+0", "none"}));
    ColorWindow left("Left", red, QRect(0, 0, 960, 1080));
    ColorWindow right("Right", blue, QRect(960, 0, 960, 1080));
    ASSERT_TRUE(test::showsColor({10, 10}, red));
    ASSERT_TRUE(test::showsColor({1900, 1000}, blue));

    const ShareableContent c = content();
    ASSERT_EQ(c.displays.size(), 2u);
    EXPECT_EQ(c.displays[0].name, "L");
    EXPECT_EQ(c.displays[0].frame, QRect(0, 0, 960, 1080));
    EXPECT_EQ(c.displays[1].frame, QRect(960, 0, 960, 1080));
    EXPECT_NE(c.displays[0].displayID, c.displays[1].displayID);

    auto snapshots = await(CaptureEngine::snapshotDisplays({left.xid(), right.xid()}));
    ASSERT_TRUE(snapshots && snapshots->has_value());
    const DisplaySnapshots& s = **snapshots;
    ASSERT_EQ(s.size(), 2u);
    const QImage& l = s.at(c.displays[0].displayID);
    const QImage& r = s.at(c.displays[1].displayID);
    EXPECT_EQ(l.size(), QSize(960, 1080));
    EXPECT_EQ(r.size(), QSize(960, 1080));
    EXPECT_TRUE(near(pixel(l, 959, 1079), red));
    EXPECT_TRUE(near(pixel(r, 0, 0), blue));

    // Qt's screens carry the identifiers of the monitors they show.
    ASSERT_TRUE(test::waitUntil([] { return QGuiApplication::screens().size() == 2; }));
    QSet<std::uint32_t> fromQt;
    for (QScreen* screen : QGuiApplication::screens())
        fromQt.insert(*ScreenCapture::displayID(screen));
    EXPECT_EQ(fromQt, QSet<std::uint32_t>({c.displays[0].displayID, c.displays[1].displayID}));
}

TEST(CaptureEngineSnapshots, KeepOnlyTheOwnWindowsAskedFor)
{
    ColorWindow kept("Kept", green, QRect(100, 100, 200, 200));
    ColorWindow dropped("Dropped", red, QRect(600, 100, 200, 200));
    ASSERT_TRUE(test::showsColor({200, 200}, green));
    ASSERT_TRUE(test::showsColor({700, 200}, red));

    auto snapshots = await(CaptureEngine::snapshotDisplays({kept.xid()}));
    ASSERT_TRUE(snapshots && snapshots->has_value());
    ASSERT_EQ((*snapshots)->size(), 1u);
    const QImage& image = (*snapshots)->begin()->second;
    EXPECT_TRUE(near(pixel(image, 200, 200), green));
    EXPECT_FALSE(near(pixel(image, 700, 200), red));
    EXPECT_TRUE(dropped.isVisible());
    EXPECT_TRUE(test::showsColor({700, 200}, red));
}

TEST(CaptureEngineSnapshots, OtherProgramsWindowsAndTheDesktopAreNeverDisturbed)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    test::ForeignWindow desktop(QRect(0, 0, 1920, 1080), blue, "_NET_WM_WINDOW_TYPE_DESKTOP");
    test::ForeignWindow first(QRect(200, 200, 300, 200), red);
    test::ForeignWindow second(QRect(400, 300, 300, 200), green);
    ASSERT_TRUE(waitForWindow(first.xid()) && waitForWindow(second.xid()));
    // The manager raises each window it takes on, and may not yet answer activation: ask again
    // until the first is in front, so that the stacking compared below has settled.
    QDeadlineTimer again(0);
    ASSERT_TRUE(test::waitUntil([&] {
        if (again.hasExpired()) {
            QProcess::execute("xdotool", {"windowactivate", QString::number(first.xid())});
            again.setRemainingTime(500);
        }
        auto listed = ScreenCapture::shareableContent({});
        return listed && !listed->windows.empty() &&
               listed->windows.front().windowID == first.xid();
    }));
    const auto firstInfo = waitForWindow(first.xid());
    const auto desktopInfo = waitForWindow(desktop.xid());
    ASSERT_TRUE(firstInfo && desktopInfo);
    ASSERT_TRUE(test::showsColor(firstInfo->frame.center(), red));
    ASSERT_TRUE(test::showsColor({1800, 1000}, blue)); // the desktop is mapped by the manager

    // Watch the three for being unmapped from a connection of our own.
    auto watch = platform::X11Connection::open();
    ASSERT_TRUE(watch);
    for (std::uint32_t id : {desktop.xid(), first.xid(), second.xid()}) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(watch->get(), id, XCB_CW_EVENT_MASK, &mask);
    }
    watch->sync();
    auto focus = [] {
        auto conn = platform::X11Connection::open();
        platform::XcbReply<xcb_get_input_focus_reply_t> r(
            xcb_get_input_focus_reply(conn->get(), xcb_get_input_focus(conn->get()), nullptr));
        return r ? r->focus : 0u;
    };
    const ShareableContent before = content();
    const auto focusBefore = focus();

    auto& defaults = platform::Defaults::standard();
    defaults.setValue(keys::hideDesktopIconsWhileCapturing, true);
    auto snapshots = await(CaptureEngine::snapshotDisplays({}));
    auto image = await(CaptureEngine::captureImage(before.displays[0], {*firstInfo, *desktopInfo}));
    defaults.removeObject(keys::hideDesktopIconsWhileCapturing);
    ASSERT_TRUE(snapshots && snapshots->has_value());
    ASSERT_TRUE(image && image->has_value());
    // The window cannot be left out without unmapping it, so it stays in the pictures.
    for (const QImage& picture : {(*snapshots)->begin()->second, **image}) {
        EXPECT_TRUE(near(
            pixel(picture, firstInfo->frame.center().x(), firstInfo->frame.center().y()), red));
    }

    watch->sync();
    while (xcb_generic_event_t* event = xcb_poll_for_event(watch->get())) {
        EXPECT_NE(event->response_type & 0x7f, XCB_UNMAP_NOTIFY);
        std::free(event);
    }
    const ShareableContent after = content();
    ASSERT_EQ(after.windows.size(), before.windows.size());
    for (size_t i = 0; i < before.windows.size(); ++i) {
        EXPECT_EQ(after.windows[i].windowID, before.windows[i].windowID); // same stacking
        EXPECT_EQ(after.windows[i].frame, before.windows[i].frame);
    }
    EXPECT_EQ(focus(), focusBefore);
}

TEST(CaptureEngineWindows, ListedByTitleWithProcessAndFrameWithoutWindowManager)
{
    ColorWindow window("Snapkin listing probe", red, QRect(150, 120, 300, 200));
    const auto info = waitForWindow(window.xid());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->title, "Snapkin listing probe");
    EXPECT_EQ(info->frame, QRect(150, 120, 300, 200));
    EXPECT_TRUE(info->isOnScreen);
    EXPECT_EQ(info->windowLayer, 0);
    ASSERT_TRUE(info->owningApplication);
    EXPECT_EQ(info->owningApplication->processID, QCoreApplication::applicationPid());
}

TEST(CaptureEngineWindows, ListedFrontMostFirstWithTheirFramesUnderAWindowManager)
{
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    ColorWindow back("Back window", green, QRect(100, 100, 300, 200), false);
    ASSERT_TRUE(waitForWindow(back.xid()));
    ColorWindow front("Front window", red, QRect(200, 150, 300, 200), false);
    ASSERT_TRUE(waitForWindow(front.xid()));

    const ShareableContent c = content();
    const auto frontInfo = findWindow(c, front.xid());
    ASSERT_TRUE(frontInfo);
    EXPECT_EQ(frontInfo->title, "Front window");
    // The decorations belong to the window as seen: its frame holds the client area.
    const QRect client(front.mapToGlobal(QPoint(0, 0)), front.size());
    EXPECT_TRUE(frontInfo->frame.contains(client));
    EXPECT_GT(frontInfo->frame.height(), client.height());
    const auto frontAt = std::find(c.windows.begin(), c.windows.end(), *frontInfo);
    const auto backAt = std::find_if(c.windows.begin(), c.windows.end(),
                                     [&](const WindowInfo& w) { return w.windowID == back.xid(); });
    ASSERT_NE(backAt, c.windows.end());
    EXPECT_LT(frontAt, backAt);
}

TEST(CaptureEngineWindows, CapturedAloneAtItsSizeWithOptionalShadow)
{
    ColorWindow window("Window capture", blue, QRect(400, 300, 320, 200));
    ASSERT_TRUE(test::showsColor({500, 400}, blue));
    const auto info = waitForWindow(window.xid());
    ASSERT_TRUE(info);

    setWindowSettings(false, false);
    auto plain = windowPixels(*info);
    ASSERT_TRUE(plain && plain->has_value());
    EXPECT_EQ((*plain)->size(), QSize(320, 200));
    EXPECT_TRUE(near(pixel(**plain, 0, 0), blue));
    EXPECT_TRUE(near(pixel(**plain, 319, 199), blue));

    setWindowSettings(true, false);
    auto shadowed = await(CaptureEngine::captureWindowImage(*info));
    ASSERT_TRUE(shadowed && shadowed->has_value());
    EXPECT_EQ((*shadowed)->pixelSize(), QSize(320 + 128, 200 + 128));
    EXPECT_EQ((*shadowed)->pointSize(), QSizeF(320 + 128, 200 + 128));
    EXPECT_TRUE(near(pixel((*shadowed)->image(), 64 + 160, 64 + 100), blue));
    platform::Defaults::standard().removeAllStored();
}

TEST(CaptureEngineWindows, CoveredWindowKeepsItsOwnPixelsUnderACompositingManager)
{
    ColorWindow covered("Covered", green, QRect(300, 300, 300, 200));
    ColorWindow cover("Cover", red, QRect(250, 250, 200, 150));
    ASSERT_TRUE(test::showsColor({320, 320}, red));
    const auto info = waitForWindow(covered.xid());
    ASSERT_TRUE(info);
    setWindowSettings(false, false);

    // Without compositing only the on-screen area can be read, cover included.
    auto onScreen = windowPixels(*info);
    ASSERT_TRUE(onScreen && onScreen->has_value());
    EXPECT_TRUE(near(pixel(**onScreen, 20, 20), red));

    test::CompositingManager cm;
    ASSERT_TRUE(cm.running());
    // Redirected windows get fresh pixmaps: wait until Qt has painted them again.
    covered.update();
    cover.update();
    ASSERT_TRUE(test::waitUntil([&] {
        auto image = windowPixels(*info);
        return image && image->has_value() && near(pixel(**image, 20, 20), green) &&
               near(pixel(**image, 299, 199), green);
    }));
    platform::Defaults::standard().removeAllStored();
}

TEST(CaptureEngineWindows, TransparentBackgroundKeepsTheWindowsAlphaOnlyWhenAsked)
{
    test::CompositingManager cm;
    ASSERT_TRUE(cm.running());
    // Half-transparent dark red, premultiplied.
    auto window = test::ForeignWindow::withAlpha(QRect(200, 200, 160, 120), 0x80400000u);
    ASSERT_TRUE(window);
    const auto info = waitForWindow(window->xid());
    ASSERT_TRUE(info);

    setWindowSettings(false, true);
    std::optional<platform::CaptureResult<QImage>> kept;
    ASSERT_TRUE(test::waitUntil([&] {
        kept = windowPixels(*info);
        return kept && kept->has_value() && qAlpha((*kept)->pixel(80, 60)) == 0x80;
    }));
    EXPECT_EQ((*kept)->size(), QSize(160, 120));
    EXPECT_EQ((*kept)->pixel(80, 60), 0x80400000u);

    setWindowSettings(false, false);
    auto opaque = windowPixels(*info);
    ASSERT_TRUE(opaque && opaque->has_value());
    EXPECT_EQ(qAlpha((*opaque)->pixel(80, 60)), 255);
    platform::Defaults::standard().removeAllStored();
}

TEST(CaptureEngineAccess, ProbeIsTrueWithAnXServerAndFalseWithout)
{
    auto granted = await(CaptureEngine::probeScreenCaptureAccess());
    ASSERT_TRUE(granted);
    EXPECT_TRUE(*granted);

    const QByteArray display = qgetenv("DISPLAY");
    qunsetenv("DISPLAY");
    auto refused = await(CaptureEngine::probeScreenCaptureAccess());
    qputenv("DISPLAY", display);
    ASSERT_TRUE(refused);
    EXPECT_FALSE(*refused);

    // A Wayland session's X server sees only X11 programs: its captures would be black.
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    auto wayland = await(CaptureEngine::probeScreenCaptureAccess());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("XDG_SESSION_TYPE", "wayland");
    auto session = await(CaptureEngine::probeScreenCaptureAccess());
    qunsetenv("XDG_SESSION_TYPE");
    ASSERT_TRUE(wayland && session);
    EXPECT_FALSE(*wayland);
    EXPECT_FALSE(*session);
    EXPECT_TRUE(*await(CaptureEngine::probeScreenCaptureAccess()));
}
