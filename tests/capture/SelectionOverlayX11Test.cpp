#include "OverlayTestSupport.h"
#include "TestPaths.h"
#include "X11Support.h"

#include "capture/CaptureService.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/overlay/CaptureModeBar.h"
#include "capture/overlay/SelectionOverlay.h"
#include "capture/overlay/SelectionView.h"
#include "platform/Defaults.h"
#include "platform/ImageReader.h"
#include "platform/ScreenCapture.h"
#include "platform/X11Connection.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::X11Connection;
using platform::XcbReply;

namespace {

QString overlayTool()
{
    return QStringLiteral(SNAPKIN_TOOLS_DIR "/snapkin-overlay");
}

bool xdotool(const QStringList& arguments)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("xdotool"), arguments);
    if (!p.waitForStarted(10000)) return false;
    test::waitUntil([&] { return p.state() == QProcess::NotRunning; }, 15000);
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A drag with the left button, in root-window pixels, in small steps as a hand would.
bool drag(QPoint from, QPoint to)
{
    const QPoint mid = (from + to) / 2;
    return xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown",
                    "1", "mousemove", QString::number(mid.x()), QString::number(mid.y()),
                    "mousemove", QString::number(to.x()), QString::number(to.y()), "mouseup", "1"});
}

// snapkin-overlay run from the test, with the event loop turning so the test's own windows
// keep answering.
class OverlayRun {
public:
    explicit OverlayRun(const QStringList& arguments, double scaleFactor = 1.0)
    {
        if (scaleFactor != 1.0) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_SCALE_FACTOR", QString::number(scaleFactor));
            m_process.setProcessEnvironment(env);
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(overlayTool(), arguments);
        m_process.waitForStarted(10000);
    }
    ~OverlayRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // The first line starting with `prefix`, or an empty string on time-out.
    QString waitForLine(const QString& prefix, int timeoutMs = 15000)
    {
        QString found;
        test::waitUntil(
            [&] {
                m_out += QString::fromUtf8(m_process.readAllStandardOutput());
                for (const QString& line : m_out.split('\n')) {
                    if (line.startsWith(prefix)) {
                        found = line;
                        return true;
                    }
                }
                return m_process.state() == QProcess::NotRunning &&
                       m_process.bytesAvailable() == 0 && !m_out.contains(prefix);
            },
            timeoutMs);
        return found;
    }
    // The result line once the tool has ended.
    QString result(int timeoutMs = 15000)
    {
        test::waitUntil([&] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        const QStringList lines = m_out.split('\n', Qt::SkipEmptyParts);
        return lines.isEmpty() || lines.last().startsWith("ready") ? QString() : lines.last();
    }

private:
    QProcess m_process;
    QString m_out;
};

// Two monitors side by side (or with a gap) on the one Xvfb screen.
bool twoMonitors(QRect left, QRect right)
{
    auto geometry = [](QRect r) {
        return QStringLiteral("%1/254x%2/286+%3+%4")
            .arg(r.width())
            .arg(r.height())
            .arg(r.x())
            .arg(r.y());
    };
    return test::xrandr({"--setmonitor", "L", geometry(left), "screen"}) &&
           test::xrandr({"--setmonitor", "R", geometry(right), "none"});
}

QImage grabRoot()
{
    auto image = platform::ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080));
    return image ? image->copy() : QImage();
}

QColor dimmed(QColor c)
{
    return QColor(qRound(c.red() * 0.65), qRound(c.green() * 0.65), qRound(c.blue() * 0.65));
}

#define REQUIRE_TOOL()                                                                             \
    if (!QFileInfo(overlayTool()).isExecutable()) GTEST_SKIP() << "snapkin-overlay is not built"

} // namespace

TEST(SelectionOverlayX11, DragOnTheSecondMonitorPrintsItsRectangle)
{
    REQUIRE_TOOL();
    ASSERT_TRUE(twoMonitors(QRect(0, 0, 960, 1080), QRect(960, 0, 960, 1080)));
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    OverlayRun run({"region"});
    ASSERT_FALSE(run.waitForLine("ready").isEmpty());
    ASSERT_TRUE(drag(QPoint(1100, 200), QPoint(1300, 350)));
    EXPECT_EQ(run.result(), "screen 1 rect 140,200,200,150");
}

TEST(SelectionOverlayX11, AtTwoPixelsPerPointTheRectangleIsInPointsOfItsMonitor)
{
    REQUIRE_TOOL();
    ASSERT_TRUE(twoMonitors(QRect(0, 0, 960, 1080), QRect(960, 0, 960, 1080)));
    ASSERT_TRUE(xdotool({"mousemove", "1500", "300"}));
    OverlayRun run({"region"}, 2.0);
    EXPECT_TRUE(run.waitForLine("ready").startsWith("ready bar 1 "));
    ASSERT_TRUE(drag(QPoint(1160, 200), QPoint(1560, 500)));
    EXPECT_EQ(run.result(), "screen 1 rect 100,100,200,150");
}

TEST(SelectionOverlayX11, AtTwoPixelsPerPointTheWindowUnderThePointerIsHighlightedInPlace)
{
    REQUIRE_TOOL();
    ASSERT_TRUE(twoMonitors(QRect(0, 0, 960, 1080), QRect(960, 0, 960, 1080)));
    const QColor desktopColour(90, 90, 140);
    const QColor windowColour(230, 200, 40);
    test::ForeignWindow desktop(QRect(0, 0, 1920, 1080), desktopColour);
    test::ForeignWindow target(QRect(1200, 300, 400, 300), windowColour);
    ASSERT_TRUE(test::showsColor(QPoint(1400, 450), windowColour));
    ASSERT_TRUE(xdotool({"mousemove", "1500", "900"}));
    OverlayRun run({"window"}, 2.0);
    ASSERT_FALSE(run.waitForLine("ready").isEmpty());
    ASSERT_TRUE(xdotool({"mousemove", "1300", "400"}));
    // The window shows undimmed exactly where it is; around it the screen is dimmed.
    EXPECT_TRUE(test::showsColor(QPoint(1400, 450), windowColour));
    EXPECT_TRUE(test::showsColor(QPoint(1590, 590), windowColour));
    EXPECT_TRUE(test::showsColor(QPoint(1180, 450), dimmed(desktopColour)));
    EXPECT_TRUE(test::showsColor(QPoint(1620, 620), dimmed(desktopColour)));
    ASSERT_TRUE(xdotool({"click", "1"}));
    EXPECT_EQ(run.result(), QStringLiteral("window 0x%1").arg(target.xid(), 0, 16));
}

TEST(SelectionOverlayX11, EscapePrintsCancelledEvenWhileAnotherWindowHasTheFocus)
{
    REQUIRE_TOOL();
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    test::ColorWindow other("Focused elsewhere", QColor(30, 120, 200), QRect(100, 100, 400, 300),
                            false);
    other.activateWindow();
    ASSERT_TRUE(test::waitUntil([&] { return other.isActiveWindow(); }));

    OverlayRun run({"region"});
    EXPECT_EQ(run.waitForLine("ready"), "ready bar 0 keyboard yes");
    // Sent to whatever window has the focus, as a person's key press would be.
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_EQ(run.result(), "cancelled");
}

TEST(SelectionOverlayX11, ThreeTakesTheWholeScreenWithShiftAndOnAFrenchKeyboard)
{
    REQUIRE_TOOL();
    // Shift+3 types "#" on a US layout; the key is still 3.
    {
        OverlayRun run({"region"});
        ASSERT_EQ(run.waitForLine("ready"), "ready bar 0 keyboard yes");
        ASSERT_TRUE(xdotool({"key", "shift+3"}));
        EXPECT_EQ(run.result(), "fullscreen 0");
    }
    // The French layout's 3 key types '"' unless shifted.
    ASSERT_EQ(QProcess::execute("setxkbmap", {"fr"}), 0);
    {
        OverlayRun run({"region"});
        ASSERT_EQ(run.waitForLine("ready"), "ready bar 0 keyboard yes");
        ASSERT_TRUE(xdotool({"key", "quotedbl"}));
        EXPECT_EQ(run.result(), "fullscreen 0");
    }
}

TEST(SelectionOverlayX11, WithThePointerOnNoMonitorTheFirstCarriesTheBar)
{
    REQUIRE_TOOL();
    ASSERT_TRUE(twoMonitors(QRect(0, 0, 800, 600), QRect(800, 0, 800, 600)));
    {
        ASSERT_TRUE(xdotool({"mousemove", "1800", "1000"}));
        OverlayRun run({"region"});
        EXPECT_TRUE(run.waitForLine("ready").startsWith("ready bar 0 "));
        ASSERT_TRUE(xdotool({"key", "Escape"}));
        EXPECT_EQ(run.result(), "cancelled");
    }
    ASSERT_TRUE(xdotool({"mousemove", "1000", "300"}));
    OverlayRun run({"region"});
    EXPECT_TRUE(run.waitForLine("ready").startsWith("ready bar 1 "));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_EQ(run.result(), "cancelled");
}

TEST(SelectionOverlayX11, WindowModeReturnsTheClickedWindowNeverAnOverlay)
{
    REQUIRE_TOOL();
    test::WindowManager wm;
    ASSERT_TRUE(wm.running());
    test::ColorWindow target("Pick me", QColor(200, 60, 60), QRect(300, 200, 500, 400), false);
    OverlayRun run({"window"});
    ASSERT_FALSE(run.waitForLine("ready").isEmpty());
    // Off every window first: nothing is picked and the session stays open.
    ASSERT_TRUE(xdotool({"mousemove", "1500", "900", "click", "1"}));
    QTest::qWait(300);
    ASSERT_TRUE(xdotool({"mousemove", "500", "400", "click", "1"}));
    EXPECT_EQ(run.result(), QStringLiteral("window 0x%1").arg(target.xid(), 0, 16));
}

TEST(SelectionOverlayX11, DragOnOneMonitorClearsTheOther)
{
    REQUIRE_TOOL();
    ASSERT_TRUE(twoMonitors(QRect(0, 0, 960, 1080), QRect(960, 0, 960, 1080)));
    const QColor colour(200, 140, 60);
    test::ForeignWindow backdrop(QRect(0, 0, 1920, 1080), colour);
    ASSERT_TRUE(test::showsColor(QPoint(500, 500), colour));

    OverlayRun run({"region", "--adjust"});
    ASSERT_FALSE(run.waitForLine("ready").isEmpty());
    ASSERT_TRUE(drag(QPoint(100, 100), QPoint(400, 400)));
    ASSERT_TRUE(test::showsColor(QPoint(250, 250), colour)); // the selection shows undimmed
    ASSERT_TRUE(drag(QPoint(1100, 100), QPoint(1400, 400)));
    ASSERT_TRUE(test::showsColor(QPoint(1250, 250), colour));
    // The first monitor's selection is gone: its area is dimmed again.
    EXPECT_TRUE(test::showsColor(QPoint(250, 250), dimmed(colour)));
    ASSERT_TRUE(xdotool({"key", "Return"}));
    EXPECT_EQ(run.result(), "screen 1 rect 140,100,300,300");
}

TEST(SelectionOverlayX11, AGrabInTheCompletionShowsNoDimming)
{
    REQUIRE_TOOL();
    const QColor colour(40, 160, 90);
    test::ForeignWindow backdrop(QRect(0, 0, 1920, 1080), colour);
    ASSERT_TRUE(test::showsColor(QPoint(500, 500), colour));
    QTemporaryDir dir;
    const QString png = dir.filePath("completion.png");
    OverlayRun run({"region", "--grab-in-completion", png});
    ASSERT_FALSE(run.waitForLine("ready").isEmpty());
    ASSERT_TRUE(test::showsColor(QPoint(1700, 900), dimmed(colour)));
    ASSERT_TRUE(drag(QPoint(600, 500), QPoint(700, 600)));
    EXPECT_EQ(run.result(), "screen 0 rect 600,500,100,100");
    auto image = platform::readImage(png);
    ASSERT_TRUE(image);
    for (QPoint p : {QPoint(10, 10), QPoint(960, 1000), QPoint(1700, 900), QPoint(650, 550)})
        EXPECT_TRUE(test::near(test::pixel(*image, p.x(), p.y()), colour)) << p.x() << "," << p.y();
}

TEST(SelectionOverlayX11, ScreenWithSelectionBarAndLoupeForAPerson)
{
    REQUIRE_TOOL();
    // Something to dim: a desktop colour and two windows.
    test::ForeignWindow desktop(QRect(0, 0, 1920, 1080), QColor(70, 110, 160));
    test::ForeignWindow editor(QRect(150, 120, 900, 700), QColor(245, 245, 240));
    test::ForeignWindow photo(QRect(700, 400, 800, 500), QColor(220, 140, 60));
    ASSERT_TRUE(test::showsColor(QPoint(1400, 800), QColor(220, 140, 60)));
    OverlayRun run({"region", "--adjust"});
    ASSERT_FALSE(run.waitForLine("ready").isEmpty());
    ASSERT_TRUE(drag(QPoint(400, 300), QPoint(1000, 650)));
    ASSERT_TRUE(xdotool({"mousemove", "1300", "500"}));
    QTest::qWait(400);
    const QImage screen = grabRoot();
    ASSERT_FALSE(screen.isNull());
    screen.save(QStringLiteral(SNAPKIN_BUILD_DIR "/selection-overlay-screen.png"));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_EQ(run.result(), "cancelled");
}

// In this process, so the announcement and the grab can be watched.
TEST(SelectionOverlayX11, RefusedKeyboardLeavesTheMouseAndIsAnnounced)
{
    // Another client holds the keyboard for the whole session.
    auto other = X11Connection::open();
    ASSERT_TRUE(other);
    xcb_connection_t* c = other->get();
    const xcb_window_t holder = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, holder, other->root(), 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(c, holder);
    other->sync();
    XcbReply<xcb_grab_keyboard_reply_t> held(xcb_grab_keyboard_reply(
        c,
        xcb_grab_keyboard(c, 0, holder, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr));
    ASSERT_TRUE(held && held->status == XCB_GRAB_STATUS_SUCCESS);

    test::RecordingAnnouncer announcer;
    SelectionOverlay overlay;
    std::vector<std::optional<OverlayResult>> results;
    overlay.begin(OverlayMode::region, std::nullopt,
                  [&](std::optional<OverlayResult> r) { results.push_back(r); });
    EXPECT_TRUE(test::waitUntil(
        [&] { return announcer.saidSomethingStartingWith("Another program holds the keyboard"); }));
    EXPECT_FALSE(overlay.hasKeyboard());
    SelectionView* view = overlay.barView();
    ASSERT_TRUE(view);
    // The bar's "Cancel" still ends the session.
    QAbstractButton* cancelButton = view->modeBar()->cancelButton();
    const QPoint at = cancelButton->mapToGlobal(cancelButton->rect().center());
    ASSERT_TRUE(
        xdotool({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"}));
    EXPECT_TRUE(test::waitUntil([&] { return !results.empty(); }));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0]);
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    other->sync();
}

TEST(SelectionOverlayX11, LatePicturesReachOnlyTheOpenSessionsLoupe)
{
    SelectionOverlay overlay;
    std::vector<std::optional<OverlayResult>> results;
    auto done = [&](std::optional<OverlayResult> r) { results.push_back(r); };
    QScreen* screen = QGuiApplication::screens().first();
    const auto id = platform::ScreenCapture::displayID(screen);
    ASSERT_TRUE(id);
    QImage picture(screen->geometry().size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::darkCyan);

    const int first = overlay.begin(OverlayMode::region, std::nullopt, done);
    QTest::keyClick(overlay.views().first().data(), Qt::Key_Escape);
    ASSERT_EQ(results.size(), 1u);
    overlay.setSnapshots({{*id, picture}}, first); // after the session ended

    const int second = overlay.begin(OverlayMode::region, std::nullopt, done);
    SelectionView* view = overlay.views().first();
    const QImage own = view->snapshot();           // the picture the overlay took itself
    overlay.setSnapshots({{*id, picture}}, first); // an earlier session's number
    EXPECT_EQ(view->snapshot().cacheKey(), own.cacheKey());
    overlay.setSnapshots({{*id + 1, picture}}, second); // another display
    EXPECT_EQ(view->snapshot().cacheKey(), own.cacheKey());
    overlay.setSnapshots({{*id, picture}}, second);
    EXPECT_EQ(view->snapshot().cacheKey(), picture.cacheKey());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(results.size(), 2u);
}

TEST(SelectionOverlayX11, TheCaptureServiceSelectsThroughItAndGetsAnUndimmedPicture)
{
    const QColor colour(120, 180, 220);
    test::ForeignWindow backdrop(QRect(0, 0, 1920, 1080), colour);
    ASSERT_TRUE(test::showsColor(QPoint(500, 500), colour));
    PostCaptureRouter router(platform::Defaults::standard());
    SystemScreenshotWatcher watcher(platform::Defaults::standard());
    CaptureService service(router, watcher);
    auto* overlay = dynamic_cast<SelectionOverlay*>(service.overlay());
    ASSERT_TRUE(overlay);
    EXPECT_TRUE(overlay->takesOwnSnapshots());
    std::vector<platform::BaseImage> copied;
    service.setClipboardWriter([&](const platform::BaseImage& image) {
        copied.push_back(image);
        return true;
    });

    service.capture(CaptureMode::region, CaptureSink::clipboard);
    ASSERT_TRUE(test::waitUntil([&] { return overlay->isOpen(); }));
    ASSERT_TRUE(test::showsColor(QPoint(1700, 900), dimmed(colour)));
    ASSERT_TRUE(drag(QPoint(200, 200), QPoint(500, 400)));
    ASSERT_TRUE(test::waitUntil([&] { return !copied.empty(); }));
    EXPECT_EQ(copied[0].pixelSize(), QSize(300, 200));
    const QImage image = copied[0].image();
    EXPECT_TRUE(test::near(test::pixel(image, 0, 0), colour));
    EXPECT_TRUE(test::near(test::pixel(image, 299, 199), colour));
    EXPECT_TRUE(test::waitUntil([&] { return !service.isCapturing(); }));
}

TEST(SelectionOverlayX11, UnderACompositorItIsTranslucentAndCompletesOnceItIsGone)
{
    test::CompositingManager compositor;
    ASSERT_TRUE(compositor.running());
    SelectionOverlay overlay;
    std::vector<std::optional<OverlayResult>> results;
    overlay.begin(OverlayMode::region, std::nullopt,
                  [&](std::optional<OverlayResult> r) { results.push_back(r); });
    ASSERT_TRUE(overlay.isOpen());
    SelectionView* view = overlay.views().first();
    EXPECT_TRUE(view->window()->testAttribute(Qt::WA_TranslucentBackground));
    // The loupe still has a picture, taken before the window appeared.
    EXPECT_FALSE(view->snapshot().isNull());
    const std::uint32_t id = std::uint32_t(view->window()->winId());
    QTest::keyClick(view, Qt::Key_Escape);
    // The compositor gets its frames to take the window off the screen first.
    EXPECT_TRUE(results.empty());
    ASSERT_TRUE(test::waitUntil([&] { return !results.empty(); }));
    EXPECT_FALSE(test::isMapped(id));
    EXPECT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0]);

    // A frozen screen is painted, never see-through.
    QScreen* screen = QGuiApplication::screens().first();
    QImage still(screen->geometry().size(), QImage::Format_ARGB32_Premultiplied);
    still.fill(Qt::darkRed);
    overlay.begin(OverlayMode::region,
                  DisplaySnapshots{{*platform::ScreenCapture::displayID(screen), still}},
                  [&](std::optional<OverlayResult> r) { results.push_back(r); });
    view = overlay.views().first();
    EXPECT_FALSE(view->window()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_EQ(view->snapshot().cacheKey(), still.cacheKey());
    QTest::keyClick(view, Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return results.size() == 2; }));
}

TEST(SelectionOverlayX11, TheKeyboardFollowsAPressOntoAnotherMonitor)
{
    ASSERT_TRUE(twoMonitors(QRect(0, 0, 960, 1080), QRect(960, 0, 960, 1080)));
    ASSERT_TRUE(test::waitUntil([] { return QGuiApplication::screens().size() == 2; }));
    ASSERT_TRUE(xdotool({"mousemove", "300", "300"}));
    SelectionOverlay overlay;
    std::vector<std::optional<OverlayResult>> results;
    overlay.begin(OverlayMode::region, std::nullopt,
                  [&](std::optional<OverlayResult> r) { results.push_back(r); });
    ASSERT_EQ(overlay.views().size(), 2);
    SelectionView* left = overlay.views()[0];
    SelectionView* right = overlay.views()[1];
    if (left->screen()->geometry().x() > right->screen()->geometry().x()) std::swap(left, right);
    EXPECT_EQ(overlay.keyboardView(), left);

    ASSERT_TRUE(xdotool({"mousemove", "1500", "500", "click", "1"}));
    EXPECT_TRUE(test::waitUntil([&] { return overlay.keyboardView() == right; }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    EXPECT_TRUE(test::waitUntil([&] { return !results.empty(); }));
}
