#include "CaptureFakes.h"

#include "capture/CaptureCountdown.h"
#include "capture/CaptureService.h"
#include "capture/CaptureToast.h"
#include "capture/CountdownView.h"
#include "capture/ToastView.h"
#include "platform/Defaults.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

using namespace snapkin;
using platform::BaseImage;
using platform::ScreenCapture;
using platform::ScreenCaptureError;
using platform::ShareableContent;
using platform::WindowInfo;
using test::FakeClock;

namespace {

const QColor red(220, 30, 40);
const QColor blue(40, 60, 210);

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// The display the fake engine puts behind every screen.
std::uint32_t primaryID()
{
    return 77;
}

// An own window that notes when it leaves and comes back.
class OwnWindow : public QWidget {
public:
    OwnWindow(const QString& name, QStringList* log, Qt::WindowFlags flags = Qt::Window)
        : QWidget(nullptr, flags), m_name(name), m_log(log)
    {
        setWindowTitle(name);
        setGeometry(100, 100, 300, 200);
        show();
    }
    std::uint32_t xid() { return std::uint32_t(winId()); }

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Show) m_log->append("show:" + m_name);
        if (e->type() == QEvent::Hide) m_log->append("hide:" + m_name);
        return QWidget::event(e);
    }

private:
    QString m_name;
    QStringList* m_log;
};

WindowInfo window(std::uint32_t id, QRect frame, std::int64_t pid, int layer = 0)
{
    WindowInfo w;
    w.windowID = id;
    w.frame = frame;
    w.windowLayer = layer;
    w.isOnScreen = true;
    if (pid) w.owningApplication = platform::OwningApplication{pid, "App"};
    return w;
}

class CaptureServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        service.setClock(clock);
        service.setEngine(&engine);
        service.setOverlay(&overlay);
        service.setCountdownStarter(
            [this](int seconds, std::function<void()> done, std::function<void()> cancel) {
                log.append(QString("countdown:%1").arg(seconds));
                countdowns.push_back({seconds, std::move(done), std::move(cancel)});
            });
        service.setAlertPresenter(
            [this](const CaptureAlert& alert, std::function<void(int)> answered) {
                log.append("alert");
                alerts.push_back(alert);
                answered(answer);
            });
        service.setClipboardWriter([this](const BaseImage& image) {
            log.append("route:clipboard");
            copied.push_back(image);
            return clipboardWorks;
        });
        ShareableContent c;
        c.displays = {test::display(primaryID(), QRect(0, 0, 1920, 1080), 1.0)};
        c.mainDisplayID = primaryID();
        engine.content = c;
        engine.displayImage = test::filled(QSize(1920, 1080), red);
        engine.rectImage = test::filled(QSize(300, 200), blue);
        engine.windowImage = BaseImage(test::filled(QSize(400, 300), blue));
        engine.snapshots = DisplaySnapshots{{primaryID(), test::filled(QSize(1920, 1080), red)}};
    }
    void TearDown() override
    {
        CaptureToast::dismiss();
        clock.settle();
    }

    // Runs the countdown the service started last to its end.
    void finishCountdown()
    {
        ASSERT_FALSE(countdowns.empty());
        auto done = std::move(countdowns.back().done);
        done();
        clock.settle();
    }
    void cancelCountdown()
    {
        ASSERT_FALSE(countdowns.empty());
        auto cancel = std::move(countdowns.back().cancel);
        if (cancel) cancel();
        clock.settle();
    }
    RegionSelection region(QRectF rect) const
    {
        return RegionSelection{QGuiApplication::primaryScreen(), rect, std::nullopt};
    }
    qsizetype at(const QString& entry) const { return log.indexOf(entry); }

    struct Countdown {
        int seconds;
        std::function<void()> done;
        std::function<void()> cancel;
    };

    QStringList log;
    FakeClock clock;
    test::RecordingSounds sounds{&log};
    test::RecordingHooks hooks{&log};
    test::FakeEngine engine{&log};
    test::FakeOverlay overlay{&log};
    CaptureService service{hooks.router, hooks.watcher, hooks.hooks()};
    std::vector<Countdown> countdowns;
    std::vector<CaptureAlert> alerts;
    std::vector<BaseImage> copied;
    int answer = 1;
    bool clipboardWorks = true;
};

} // namespace

// --- Roads -----------------------------------------------------------------------------------

TEST_F(CaptureServiceTest, FullScreenHidesOwnWindowsWaitsForThemAndPutsThemBackBeforeSoundAndEditor)
{
    OwnWindow back("Back", &log);
    OwnWindow front("Front", &log);
    OwnWindow tool("Tool", &log, Qt::Tool);
    OwnWindow frameless("Frameless", &log, Qt::Window | Qt::FramelessWindowHint);
    engine.stacking = {front.xid(), tool.xid(), back.xid()};
    engine.content->displays[0].scale = 2.0;
    settings().setValue(keys::captureSound, true);
    settings().setValue(keys::captureDelay, -2); // no countdown
    log.clear();

    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    clock.settle();
    // Hidden front-most first; nothing grabbed until the windows had the settle time.
    EXPECT_EQ(log, (QStringList{"probe", "hide:Front", "hide:Back"}));
    clock.advance(CaptureService::settleAfterHidingMs - 1);
    EXPECT_EQ(at("grab:display"), -1);
    clock.advance(1);

    EXPECT_EQ(log, (QStringList{"probe", "hide:Front", "hide:Back", "grab:display", "show:Back",
                                "show:Front", "sound:screen-capture", "route:editor:Untitled"}));
    ASSERT_EQ(engine.waitedFor.size(), 1u);
    EXPECT_EQ(engine.waitedFor[0], (std::vector<std::uint32_t>{front.xid(), back.xid()}));
    ASSERT_EQ(hooks.delivered.size(), 1u);
    EXPECT_EQ(hooks.delivered[0].pointSize(), QSizeF(960, 540)); // pixels over the display scale
    EXPECT_TRUE(tool.isVisible());
    EXPECT_TRUE(frameless.isVisible());
    EXPECT_FALSE(service.isCapturing());
}

// A countdown the menus don't offer, as a hand-edited settings file holds it, counts down every
// second of it on the badge before the picture is taken.
TEST_F(CaptureServiceTest, ACountdownOfOneOrSevenSecondsFromTheSettingsFileCountsDown)
{
    service.setCountdownStarter({});
    for (const int seconds : {1, 7}) {
        SCOPED_TRACE(seconds);
        QFile file(settings().filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("{\"captureDelay\": %1}").arg(seconds).toUtf8());
        file.close();
        settings().reload();
        log.clear();

        service.capture(CaptureMode::fullScreen, CaptureSink::editor);
        clock.settle();
        CaptureCountdown* countdown = CaptureCountdown::current();
        ASSERT_NE(countdown, nullptr);
        QList<int> shown{countdown->view()->number()};
        for (int elapsed = 1; elapsed < seconds; ++elapsed) {
            clock.advance(1000);
            ASSERT_EQ(CaptureCountdown::current(), countdown);
            shown.append(countdown->view()->number());
        }
        QList<int> expected;
        for (int n = seconds; n >= 1; --n)
            expected.append(n);
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(at("grab:display"), -1);

        clock.advance(1000);
        EXPECT_EQ(CaptureCountdown::current(), nullptr);
        clock.advance(CaptureService::settleAfterHidingMs + 100);
        EXPECT_NE(at("grab:display"), -1);
        EXPECT_EQ(log.last(), "route:editor:Untitled");
    }
}

// A timed capture asked for from our editor, focused on the second screen, while the pointer
// rests on the first: the editor is off the screen when the badge is placed, and the badge
// still comes up where the user was working.
TEST_F(CaptureServiceTest, TheCountdownComesUpOnTheScreenTheUserWorkedOnWhenTheRequestCame)
{
    service.setCountdownStarter({});
    OwnWindow editor("Editor", &log);
    const QRect first(0, 0, 1920, 1080);
    const QRect second(1920, 0, 1920, 1080);
    // Our focused window decides while it is shown; once it is hidden, the pointer does.
    engine.workScreen = [&]() -> std::optional<QRect> {
        return editor.isVisible() ? second : first;
    };
    settings().setValue(keys::captureDelay, 3);
    settings().setValue(keys::freezeScreenWhileSelecting, true);
    service.saveLastRegion(region(QRectF(10, 10, 100, 100)));

    const std::vector<std::pair<const char*, std::function<void()>>> requests{
        {"full screen", [&] { service.capture(CaptureMode::fullScreen, CaptureSink::editor); }},
        {"one display", [&] { service.captureFullScreen(primaryID()); }},
        {"region", [&] { service.capture(CaptureMode::region, CaptureSink::clipboard); }},
        {"last region", [&] { service.captureLastRegion(); }}};
    for (const auto& [name, request] : requests) {
        SCOPED_TRACE(name);
        request();
        clock.settle();
        CaptureCountdown* countdown = CaptureCountdown::current();
        ASSERT_NE(countdown, nullptr);
        ASSERT_FALSE(editor.isVisible());
        ASSERT_NE(countdown->view(), nullptr);
        const QPoint centre = countdown->view()->geometry().center();
        EXPECT_EQ(centre, second.center()) << centre.x() << "," << centre.y();
        countdown->cancel();
        clock.settle();
        ASSERT_TRUE(editor.isVisible());
    }
}

TEST_F(CaptureServiceTest, FullScreenOfAGoneDisplayTakesTheMainOneAndWithoutDisplaysFails)
{
    service.captureFullScreen(12345);
    clock.advance(200);
    EXPECT_EQ(engine.capturedDisplays, (std::vector<std::uint32_t>{primaryID()}));

    engine.content->displays.clear();
    OwnWindow editor("Editor", &log);
    log.clear();
    service.captureFullScreen();
    clock.advance(200);
    EXPECT_EQ(log, (QStringList{"probe", "hide:Editor", "show:Editor", "alert"}));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].informativeText.endsWith("Detail: No display was found."));
}

TEST_F(CaptureServiceTest, LiveRegionOpensTheOverlayAtOnceAndCountsDownAfterTheSelection)
{
    // The selected screen is a second display right of the main one, at twice the density.
    engine.content->displays = {test::display(9, QRect(0, 0, 1920, 1080), 1.0),
                                test::display(primaryID(), QRect(1920, 0, 3840, 2160), 2.0, false)};
    engine.content->mainDisplayID = 9;
    settings().setValue(keys::captureDelay, 3);
    settings().setValue(keys::showMagnifierWhileSelecting, true);

    service.capture(CaptureMode::region, CaptureSink::clipboard);
    clock.settle();
    EXPECT_EQ(log, (QStringList{"probe", "overlay:live", "snapshot"}));
    EXPECT_EQ(overlay.mode, OverlayMode::region);
    EXPECT_EQ(overlay.snapshotSessions, (std::vector<int>{1}));

    overlay.finish(OverlayResult::ofSelection(region(QRectF(10, 20, 300, 200))));
    clock.settle();
    EXPECT_EQ(log.last(), "countdown:3");
    finishCountdown();
    ASSERT_EQ(engine.grabbedRects.size(), 1u);
    EXPECT_EQ(engine.grabbedRects[0], QRect(1940, 40, 600, 400));
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].pointSize(), QSizeF(300, 200));
    ASSERT_NE(CaptureToast::current(), nullptr);
    EXPECT_EQ(CaptureToast::current()->message(), "Copied to clipboard");
    EXPECT_EQ(settings().get(keys::newsletterCaptureCount), 1);
    const auto stored = service.loadLastRegion();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->rect, QRectF(10, 20, 300, 200));
}

TEST_F(CaptureServiceTest, FrozenRegionCountsDownFirstThenCropsTheSnapshotWithoutGrabbing)
{
    settings().setValue(keys::freezeScreenWhileSelecting, true);
    settings().setValue(keys::captureDelay, 2);
    const qreal width = QGuiApplication::primaryScreen()->geometry().width();
    engine.snapshots =
        DisplaySnapshots{{primaryID(), test::filled(QSize(int(width * 2), 400), red)}};

    service.capture(CaptureMode::region, CaptureSink::editor);
    clock.settle();
    EXPECT_EQ(log, (QStringList{"probe", "countdown:2"}));
    finishCountdown();
    EXPECT_EQ(log.mid(2), (QStringList{"snapshot", "overlay:frozen"}));

    overlay.finish(OverlayResult::ofSelection(region(QRectF(10, 20, 30, 40))));
    clock.settle();
    EXPECT_EQ(countdowns.size(), 1u);
    EXPECT_TRUE(engine.grabbedRects.empty());
    ASSERT_EQ(hooks.delivered.size(), 1u);
    EXPECT_EQ(hooks.delivered[0].pixelSize(), QSize(60, 80));
    EXPECT_EQ(hooks.delivered[0].pointSize(), QSizeF(30, 40));
}

TEST_F(CaptureServiceTest, FrozenOverlayChoicesWindowsLiveFullScreenFromTheSnapshot)
{
    settings().setValue(keys::freezeScreenWhileSelecting, true);
    settings().setValue(keys::captureDelay, 2);

    // A picked window is captured live, and the countdown does not run twice.
    service.capture(CaptureMode::window, CaptureSink::editor);
    finishCountdown();
    RegionSelection picked = region(QRectF(0, 0, 400, 300));
    picked.window = window(42, QRect(0, 0, 400, 300), 999);
    overlay.finish(OverlayResult::ofSelection(picked));
    clock.settle();
    EXPECT_EQ(engine.capturedWindows, (std::vector<std::uint32_t>{42}));
    EXPECT_EQ(countdowns.size(), 1u);
    EXPECT_FALSE(settings().contains(keys::lastRegionRect));

    // Full screen on a display with a snapshot: that picture, at the screen's size.
    service.capture(CaptureMode::region, CaptureSink::editor);
    finishCountdown();
    overlay.finish(OverlayResult::ofFullScreen(QGuiApplication::primaryScreen()));
    clock.settle();
    ASSERT_EQ(hooks.delivered.size(), 2u);
    EXPECT_EQ(hooks.delivered[1].pointSize(),
              QSizeF(QGuiApplication::primaryScreen()->geometry().size()));
    EXPECT_TRUE(engine.capturedDisplays.empty());

    // Without snapshots the full-screen road runs, with its own countdown.
    engine.snapshots =
        std::unexpected(ScreenCaptureError{ScreenCaptureError::Kind::grabFailed, {}});
    service.capture(CaptureMode::region, CaptureSink::editor);
    finishCountdown();
    EXPECT_EQ(log.last(), "overlay:live");
    overlay.finish(OverlayResult::ofFullScreen(QGuiApplication::primaryScreen()));
    clock.settle();
    EXPECT_EQ(countdowns.size(), 4u);
    finishCountdown();
    clock.advance(200);
    EXPECT_EQ(engine.capturedDisplays.size(), 1u);
}

TEST_F(CaptureServiceTest, FrontWindowIsTheFirstForeignOrdinaryWindowAndHidesNothing)
{
    OwnWindow editor("Editor", &log);
    const std::int64_t own = QCoreApplication::applicationPid();
    engine.content->windows = {
        window(1, QRect(0, 0, 1920, 30), 500, 1), // a panel kept above
        window(2, QRect(10, 10, 500, 400), own),  // ours
        window(editor.xid(), QRect(10, 10, 300, 200), 0),
        window(3, QRect(10, 10, 1, 400), 501), // one point wide
        window(4, QRect(40, 40, 640, 480), 0), // no owner: may be picked
        window(5, QRect(50, 50, 640, 480), 502),
    };
    settings().setValue(keys::captureDelay, 1);
    log.clear();

    service.captureFrontWindow(CaptureSink::editor);
    clock.settle();
    EXPECT_EQ(log, (QStringList{"probe", "countdown:1"}));
    finishCountdown();
    EXPECT_EQ(engine.capturedWindows, (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(log.filter("hide:").size(), 0);

    // Cancelling its countdown ends the request with nothing to put back.
    service.captureFrontWindow(CaptureSink::editor);
    clock.settle();
    cancelCountdown();
    EXPECT_FALSE(service.isCapturing());

    engine.content->windows.resize(4);
    service.captureFrontWindow(CaptureSink::clipboard);
    finishCountdown();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts[0].informativeText.endsWith("Detail: No front window was found."));
}

TEST_F(CaptureServiceTest, LastRegionIsGrabbedAgainAndNothingStoredOnlyBeeps)
{
    service.captureLastRegion();
    clock.settle();
    EXPECT_EQ(log, QStringList{"beep"});
    EXPECT_EQ(engine.probes, 0);

    settings().setValue(keys::lastRegionRect,
                        QVariantList{double(primaryID()), 5.0, 6.0, 70.0, 80.0});
    OwnWindow editor("Editor", &log);
    log.clear();
    service.captureLastRegion();
    clock.advance(200);
    EXPECT_EQ(log, (QStringList{"probe", "hide:Editor", "grab:rect", "show:Editor",
                                "route:editor:Untitled"}));
    EXPECT_EQ(engine.grabbedRects, (std::vector<QRect>{QRect(5, 6, 70, 80)}));
}

// --- Failures --------------------------------------------------------------------------------

TEST_F(CaptureServiceTest, EveryFailureRestoresTheWindowsAndEndsInOneAlertWithItsDetail)
{
    OwnWindow editor("Editor", &log);
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::function<void()> run;
        QString detail;
    };
    const ScreenCaptureError refused{ScreenCaptureError::Kind::grabFailed, "BadMatch"};
    const std::vector<Case> cases = {
        {"content query fails", [&] { engine.content = std::unexpected(refused); },
         [&] { service.capture(CaptureMode::fullScreen, CaptureSink::editor); },
         refused.userMessage()},
        {"display grab fails", [&] { engine.displayImage = std::unexpected(refused); },
         [&] { service.capture(CaptureMode::fullScreen, CaptureSink::file); },
         refused.userMessage()},
        {"rectangle grab fails", [&] { engine.rectImage = std::unexpected(refused); },
         [&] {
             service.capture(CaptureMode::region, CaptureSink::editor);
             clock.settle();
             overlay.finish(OverlayResult::ofSelection(region(QRectF(0, 0, 50, 50))));
         },
         refused.userMessage()},
        {"frozen crop fails",
         [&] {
             settings().setValue(keys::freezeScreenWhileSelecting, true);
             engine.snapshots = DisplaySnapshots{{primaryID(), test::filled(QSize(20, 20), red)}};
         },
         [&] {
             service.capture(CaptureMode::region, CaptureSink::editor);
             clock.advance(200); // the snapshot waits for the hidden editor to leave
             // Beyond the screen's right edge: nothing of it is in the picture.
             const qreal w = QGuiApplication::primaryScreen()->geometry().width();
             overlay.finish(OverlayResult::ofSelection(region(QRectF(w + 5, 0, 50, 50))));
         },
         "Couldn't crop the selected region."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        alerts.clear();
        log.clear();
        c.arrange();
        c.run();
        clock.advance(500);
        ASSERT_EQ(alerts.size(), 1u) << log.join(' ').toStdString();
        EXPECT_EQ(alerts[0].message, "Couldn't capture the screen");
        EXPECT_TRUE(alerts[0].informativeText.endsWith("Detail: " + c.detail));
        EXPECT_TRUE(editor.isVisible());
        EXPECT_LT(at("show:Editor"), at("alert"));
        EXPECT_TRUE(hooks.delivered.empty());
        EXPECT_FALSE(service.isCapturing());
    }
}

TEST_F(CaptureServiceTest, TheAlertExplainsX11SessionsOnlyWithoutAnXServer)
{
    const auto crop = CaptureFailure::from(CaptureEngineError::cropFailed);
    const CaptureAlert withServer = CaptureService::failureAlert(crop, true);
    EXPECT_FALSE(withServer.informativeText.contains("X11 (Xorg) session"));
    EXPECT_TRUE(withServer.informativeText.startsWith("Can't capture here? Keep using your "
                                                      "desktop's screenshot tool (Print Screen)"));
    EXPECT_TRUE(withServer.informativeText.contains("paste a screenshot with Ctrl+Shift+N.\n\n"
                                                    "Detail: Couldn't crop the selected region."));
    EXPECT_EQ(withServer.buttons, (QStringList{"Use System Screenshots…", "Close"}));

    EXPECT_TRUE(CaptureService::failureAlert(crop, false)
                    .informativeText.startsWith("Screen capture needs an X11 (Xorg) session."));
    const auto noServer =
        CaptureFailure::from(ScreenCaptureError{ScreenCaptureError::Kind::noXServer, {}});
    EXPECT_TRUE(CaptureService::failureAlert(noServer, true)
                    .informativeText.startsWith("Screen capture needs an X11 (Xorg) session."));

    // The first button starts watching the desktop's screenshot folder; Close does nothing.
    answer = 0;
    service.handle(crop);
    EXPECT_EQ(log, (QStringList{"alert", "watcher"}));
    answer = 1;
    service.handle(crop);
    EXPECT_EQ(log.size(), 3);
}

TEST_F(CaptureServiceTest, RefusedAccessOpensOnboardingAndLeavesEveryWindowInPlace)
{
    OwnWindow editor("Editor", &log);
    engine.access = false;
    log.clear();
    service.capture(CaptureMode::region, CaptureSink::editor);
    clock.advance(500);
    EXPECT_EQ(log, (QStringList{"probe", "onboarding"}));
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(service.isCapturing());
}

// --- Cancelling and overlapping requests -----------------------------------------------------

TEST_F(CaptureServiceTest, CancellingPutsBackExactlyTheHiddenWindowsInTheirStackingOrder)
{
    OwnWindow a("A", &log);
    OwnWindow b("B", &log);
    OwnWindow c("C", &log);
    engine.stacking = {b.xid(), c.xid(), a.xid()};
    settings().setValue(keys::captureDelay, 3);
    settings().setValue(keys::showMagnifierWhileSelecting, false);

    log.clear();
    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    clock.settle();
    cancelCountdown();
    EXPECT_EQ(log, (QStringList{"probe", "hide:B", "hide:C", "hide:A", "countdown:3", "show:A",
                                "show:C", "show:B"}));

    log.clear();
    service.capture(CaptureMode::region, CaptureSink::editor);
    clock.settle();
    overlay.finish(std::nullopt);
    clock.settle();
    EXPECT_EQ(log, (QStringList{"probe", "hide:B", "hide:C", "hide:A", "overlay:live", "show:A",
                                "show:C", "show:B"}));
    EXPECT_TRUE(alerts.empty());
    EXPECT_FALSE(service.isCapturing());
}

TEST_F(CaptureServiceTest, SheetsTheirWindowsFloatingAndFullScreenWindowsStayOnTheScreen)
{
    OwnWindow plain("Plain", &log);
    OwnWindow withSheet("WithSheet", &log);
    auto* sheet = new QWidget(&withSheet, Qt::Dialog);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->show();
    OwnWindow full("Full", &log);
    full.showFullScreen();
    OwnWindow popup("Popup", &log, Qt::Popup);
    OwnWindow tooltip("Tip", &log, Qt::ToolTip);
    const QList<QWidget*> hidden = CaptureService::ownWindowsToHide(
        QApplication::topLevelWidgets(), {}, {withSheet.xid(), plain.xid()});
    EXPECT_EQ(hidden, QList<QWidget*>{&plain});
}

TEST_F(CaptureServiceTest, AQuickAccessPanelComesBackOnlyWhileItStillBelongsToAnItem)
{
    struct Panels : QuickAccessPanels {
        QList<QWidget*> list;
        bool owned = true;
        QList<QWidget*> panels() override { return list; }
        bool stillOwns(const QWidget*) override { return owned; }
    } panels;
    CaptureHooks withPanels = hooks.hooks();
    withPanels.quickAccess = &panels;
    service.setHooks(withPanels);
    // Floating and frameless, yet it leaves the screen with the titled windows.
    OwnWindow panel("Panel", &log, Qt::Tool | Qt::FramelessWindowHint);
    panels.list = {&panel};
    settings().setValue(keys::captureDelay, 1);

    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    clock.settle();
    EXPECT_FALSE(panel.isVisible());
    cancelCountdown();
    EXPECT_TRUE(panel.isVisible());

    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    clock.settle();
    panels.owned = false; // its item went away meanwhile
    cancelCountdown();
    EXPECT_FALSE(panel.isVisible());
}

TEST_F(CaptureServiceTest, ARequestWhileAnotherRunsIsIgnored)
{
    OwnWindow editor("Editor", &log);
    settings().setValue(keys::captureDelay, 3);
    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    clock.settle();
    ASSERT_TRUE(service.isCapturing());

    service.capture(CaptureMode::region, CaptureSink::clipboard);
    service.captureFrontWindow(CaptureSink::editor);
    service.captureLastRegion();
    clock.settle();
    EXPECT_EQ(engine.probes, 1);
    EXPECT_EQ(countdowns.size(), 1u);

    // The first one still ends as it should, and puts back what it hid.
    cancelCountdown();
    EXPECT_TRUE(editor.isVisible());
    service.capture(CaptureMode::fullScreen, CaptureSink::editor);
    clock.settle();
    EXPECT_EQ(engine.probes, 2);
}

TEST_F(CaptureServiceTest, AToastStillUpIsTakenDownAndGoneBeforeTheNextPicture)
{
    engine.content->windows = {window(4, QRect(40, 40, 640, 480), 0)};
    for (auto request : std::vector<std::function<void()>>{
             [&] { service.capture(CaptureMode::fullScreen, CaptureSink::editor); },
             [&] { service.captureFrontWindow(CaptureSink::editor); }}) {
        CaptureToast::show("Copied to clipboard", 1.3);
        ASSERT_NE(CaptureToast::current(), nullptr);
        const auto toastID = std::uint32_t(CaptureToast::current()->winId());
        log.clear();
        request();
        EXPECT_EQ(CaptureToast::current(), nullptr);
        // Its area repaints like that of a hidden window before anything is grabbed.
        clock.advance(CaptureService::settleAfterHidingMs - 1);
        EXPECT_EQ(log.filter("grab:").size(), 0);
        clock.advance(1);
        EXPECT_EQ(log.filter("grab:").size(), 1);
        ASSERT_FALSE(engine.waitedFor.empty());
        EXPECT_EQ(engine.waitedFor.back(), std::vector<std::uint32_t>{toastID});
    }
    EXPECT_EQ(hooks.delivered.size(), 2u);
}

// --- Delivery --------------------------------------------------------------------------------

// Whichever way a capture goes, the history files it under the application that was in front,
// or "Screenshot" when that is unknown or has no name.
TEST_F(CaptureServiceTest, EveryCaptureIsFiledUnderItsSourceApplicationOrScreenshot)
{
    settings().setValue(keys::captureDelay, -2); // no countdown
    for (const CaptureSink sink :
         {CaptureSink::editor, CaptureSink::clipboard, CaptureSink::file}) {
        SCOPED_TRACE(int(sink));
        hooks.historyTitles.clear();
        for (const std::optional<QString>& front :
             {std::optional<QString>("Text Editor"), std::optional<QString>(""),
              std::optional<QString>()}) {
            engine.frontApp = front;
            service.capture(CaptureMode::fullScreen, sink);
            clock.advance(CaptureService::settleAfterHidingMs);
            ASSERT_FALSE(service.isCapturing());
        }
        EXPECT_EQ(hooks.historyTitles, (QStringList{"Text Editor", "Screenshot", "Screenshot"}));
    }
}

TEST_F(CaptureServiceTest, DeliveryCountsCapturesExceptTextAndAsksTheNewsletterLater)
{
    const BaseImage image(test::filled(QSize(10, 10), red));
    service.route(image, CaptureSink::text);
    EXPECT_EQ(log, QStringList{"route:text"});
    EXPECT_EQ(settings().get(keys::newsletterCaptureCount), 0);

    service.route(image, CaptureSink::file);
    EXPECT_EQ(settings().get(keys::newsletterCaptureCount), 1);
    hooks.invitation.due = true; // due by the time the delay ends
    clock.advance(CaptureService::newsletterDelayMs - 1);
    EXPECT_EQ(at("newsletter"), -1);
    clock.advance(1);
    EXPECT_NE(at("newsletter"), -1);

    clipboardWorks = false;
    service.route(image, CaptureSink::clipboard);
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].message, "Couldn't copy the image");
    EXPECT_EQ(CaptureToast::current(), nullptr);
}

// Another instance counted captures meanwhile: this one adds to its count, never writes its own
// over it.
TEST_F(CaptureServiceTest, ACaptureAddsToTheCountAnotherInstanceWrote)
{
    const BaseImage image(test::filled(QSize(10, 10), red));
    service.route(image, CaptureSink::file);
    platform::Defaults(settings().filePath()).setValue(keys::newsletterCaptureCount, 50);
    service.route(image, CaptureSink::clipboard);
    EXPECT_EQ(settings().get(keys::newsletterCaptureCount), 51);
    EXPECT_EQ(platform::Defaults(settings().filePath()).get(keys::newsletterCaptureCount), 51);
}

TEST_F(CaptureServiceTest, AnEmptyClipboardGivesAToastAndOpensNothing)
{
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    service.openFromClipboard();
    ASSERT_NE(CaptureToast::current(), nullptr);
    EXPECT_EQ(CaptureToast::current()->message(), "No image on the clipboard");
}

// --- The stored last region ------------------------------------------------------------------

TEST_F(CaptureServiceTest, TheLastRegionIsStoredAsFiveNumbersAndReadBack)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    engine.screenID = 2;
    service.saveLastRegion(RegionSelection{screen, QRectF(12.5, 40, 300, 200), {}});
    EXPECT_EQ(settings().object(keys::lastRegionRect).toList(),
              (QVariantList{2.0, 12.5, 40.0, 300.0, 200.0}));
    const auto loaded = service.loadLastRegion();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->screen, screen);
    EXPECT_EQ(loaded->rect, QRectF(12.5, 40, 300, 200));
    EXPECT_FALSE(loaded->window);

    // A selection on a screen without an identifier leaves the stored one alone.
    service.saveLastRegion(RegionSelection{nullptr, QRectF(1, 1, 50, 50), {}});
    EXPECT_EQ(settings().object(keys::lastRegionRect).toList().at(1), 12.5);

    // A stored width of 1.5 is no region: recapturing beeps and does not probe.
    settings().setValue(keys::lastRegionRect, QVariantList{2.0, 12.5, 40.0, 1.5, 200.0});
    EXPECT_FALSE(service.loadLastRegion());
    service.captureLastRegion();
    EXPECT_EQ(log, QStringList{"beep"});
}

TEST(CaptureServiceLastRegion, MalformedValuesReadAsNoRegion)
{
    const std::vector<CaptureService::ScreenChoice> screens{{2u, QSizeF(1440, 900)}};
    const auto read = [&](const QVariant& v) {
        return CaptureService::resolveStoredRegion(v, screens, 0);
    };
    EXPECT_TRUE(read(QVariantList{2.0, 12.5, 40.0, 300.0, 200.0}));
    EXPECT_FALSE(read(QVariantList{2.0, 12.5, 40.0, 1.5, 200.0}));
    EXPECT_FALSE(read(QVariantList{2.0, 12.5, 40.0, 300.0}));
    EXPECT_FALSE(read(QVariantList{2.0, 12.5, 40.0, 300.0, 200.0, 1.0}));
    EXPECT_FALSE(read(QVariantList{2.0, 12.5, QString("40"), 300.0, 200.0}));
    EXPECT_FALSE(read(QVariantList{2.0, 12.5, 40.0, true, 200.0}));
    EXPECT_FALSE(read(QVariantList{-1.0, 12.5, 40.0, 300.0, 200.0}));
    EXPECT_FALSE(read(QVariantList{2.5, 12.5, 40.0, 300.0, 200.0}));
    EXPECT_FALSE(read(QString("2 12.5 40 300 200")));
    EXPECT_FALSE(read(QVariant()));
}

TEST(CaptureServiceLastRegion, ARegionOfAGoneDisplayIsClippedToTheMainScreen)
{
    const std::vector<CaptureService::ScreenChoice> screens{{5u, QSizeF(2560, 1440)},
                                                            {6u, QSizeF(1280, 800)}};
    // Its own display still there: kept as it is.
    auto found = CaptureService::resolveStoredRegion(QVariantList{6.0, 1000.0, 700.0, 200.0, 80.0},
                                                     screens, 0);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->screenIndex, 1u);
    EXPECT_EQ(found->rect, QRectF(1000, 700, 200, 80).intersected(QRectF(0, 0, 1280, 800)));

    // Gone: on the main screen, cut to it.
    found = CaptureService::resolveStoredRegion(QVariantList{9.0, 1200.0, 700.0, 200.0, 200.0},
                                                screens, 1);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->screenIndex, 1u);
    EXPECT_EQ(found->rect, QRectF(1200, 700, 80, 100));

    // What is left below 2 × 2 points is no region; nor is there one without any screen.
    EXPECT_FALSE(CaptureService::resolveStoredRegion(QVariantList{9.0, 1279.0, 100.0, 200.0, 200.0},
                                                     screens, 1));
    EXPECT_FALSE(CaptureService::resolveStoredRegion(QVariantList{9.0, 0.0, 0.0, 20.0, 20.0}, {},
                                                     std::nullopt));
}
