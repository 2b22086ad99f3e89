#include "capture/CaptureService.h"

#include "capture/CaptureCountdown.h"
#include "capture/CaptureServiceEngine.h"
#include "capture/CaptureToast.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/overlay/SelectionOverlay.h"
#include "capture/overlay/WindowPicker.h"
#include "platform/Defaults.h"
#include "ui/platform/Sounds.h"

#include <QCoreApplication>
#include <QScreen>

#include <cmath>

namespace snapkin {

using platform::BaseImage;
using platform::CaptureResult;
using platform::DisplayInfo;
using platform::ScreenCapture;
using platform::ShareableContent;
using platform::WindowInfo;

namespace {

std::optional<QString> g_sourceAppName;

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

std::optional<DisplayInfo> displayWithID(const ShareableContent& content,
                                         std::optional<std::uint32_t> id)
{
    if (id) {
        for (const DisplayInfo& d : content.displays) {
            if (d.displayID == *id) return d;
        }
    }
    return CaptureEngine::mainDisplay(content);
}

std::vector<WindowInfo> iconWindowsToLeaveOut(const ShareableContent& content)
{
    if (!settings().get(keys::hideDesktopIconsWhileCapturing)) return {};
    return CaptureEngine::desktopIconWindows(content);
}

template <typename Error> std::unexpected<CaptureFailure> failed(const Error& error)
{
    return std::unexpected(CaptureFailure::from(error));
}

std::expected<BaseImage, CaptureFailure> outcomeOf(CaptureResult<BaseImage> image)
{
    if (!image) return failed(image.error());
    return *image;
}

// A region cut from a display's picture; nothing left of it fails the capture.
std::expected<BaseImage, CaptureFailure> outcomeOf(std::optional<BaseImage> cropped)
{
    if (!cropped) return failed(CaptureEngineError::cropFailed);
    return *cropped;
}

} // namespace

CaptureFailure CaptureFailure::from(CaptureEngineError error)
{
    return CaptureFailure{userMessage(error), false};
}

CaptureFailure CaptureFailure::from(const platform::ScreenCaptureError& error)
{
    return CaptureFailure{error.userMessage(),
                          error.kind == platform::ScreenCaptureError::Kind::noXServer};
}

CaptureService::CaptureService(platform::Defaults& settings, QObject* parent)
    : QObject(parent), m_ownRouter(std::make_unique<PostCaptureRouter>(settings)),
      m_ownWatcher(std::make_unique<SystemScreenshotWatcher>(settings)), m_router(*m_ownRouter),
      m_watcher(*m_ownWatcher), m_defaultOverlay(new SelectionOverlay(this))
{
    m_watcher.setHandler([this](const BaseImage& image, const QString& fileName) {
        m_router.handleSystemScreenshot(image, fileName);
    });
    m_watcher.reportInToasts();
}

CaptureService::CaptureService(PostCaptureRouter& router, SystemScreenshotWatcher& watcher,
                               CaptureHooks hooks, QObject* parent)
    : QObject(parent), m_router(router), m_watcher(watcher), m_hooks(hooks),
      m_defaultOverlay(new SelectionOverlay(this))
{
}

CaptureService::~CaptureService() = default;

CaptureServiceEngine& CaptureService::engine() const
{
    return m_engine ? *m_engine : CaptureServiceEngine::x11();
}

CaptureOverlay* CaptureService::overlay() const
{
    return m_overlay ? m_overlay : m_defaultOverlay;
}

std::optional<QString> CaptureService::sourceAppName()
{
    return g_sourceAppName;
}

// --- Requests ---------------------------------------------------------------------------------

bool CaptureService::beginRequest()
{
    if (m_busy) return false;
    m_busy = true;
    m_workScreen = engine().workScreenGeometry();
    // Nothing of ours that is only passing through may end up in the picture: it leaves like a
    // hidden window, and what was under it gets the same time to repaint.
    if (auto toast = CaptureToast::dismiss()) {
        m_leavingWindows.push_back(*toast);
        m_hiddenAt = m_clock->nowMs();
    }
    if (CaptureCountdown* countdown = CaptureCountdown::current()) countdown->teardown();
    return true;
}

void CaptureService::endRequest()
{
    m_busy = false;
    m_leavingWindows.clear();
    if (m_hiddenWindows.isEmpty()) m_hiddenAt.reset();
    emit captureEnded();
}

void CaptureService::noteSourceApp()
{
    g_sourceAppName = engine().frontmostApplicationName();
}

void CaptureService::withScreenCaptureAccess(Next body)
{
    engine().probeAccess().then(this, [this, body = std::move(body)](bool granted) {
        if (granted) {
            body();
            return;
        }
        // Nothing was hidden yet; onboarding explains what to do.
        endRequest();
        if (m_hooks.onboarding)
            m_hooks.onboarding->show();
        else
            showX11SessionAlert();
    });
}

void CaptureService::capture(CaptureMode mode, CaptureSink sink)
{
    if (!beginRequest()) return;
    // Text recognition titles nothing after the source application.
    if (sink != CaptureSink::text) noteSourceApp();
    withScreenCaptureAccess([this, mode, sink] {
        hideOwnWindows();
        switch (mode) {
        case CaptureMode::fullScreen:
            captureFullScreenRoad(std::nullopt, sink);
            break;
        case CaptureMode::region:
            captureWithOverlay(OverlayMode::region, sink);
            break;
        case CaptureMode::window:
            captureWithOverlay(OverlayMode::window, sink);
            break;
        }
    });
}

void CaptureService::captureFrontWindow(CaptureSink sink)
{
    if (!beginRequest()) return;
    noteSourceApp();
    withScreenCaptureAccess([this, sink] {
        countdownStep(
            settings().get(keys::captureDelay), [this] { endRequest(); },
            [this, sink] { deliverFrontWindow(sink); });
    });
}

void CaptureService::captureFullScreen(std::optional<std::uint32_t> displayID)
{
    if (!beginRequest()) return;
    noteSourceApp();
    withScreenCaptureAccess([this, displayID] {
        hideOwnWindows();
        captureFullScreenRoad(displayID, CaptureSink::editor);
    });
}

void CaptureService::captureLastRegion()
{
    if (m_busy) return;
    const std::optional<RegionSelection> region = loadLastRegion();
    if (!region) {
        platform::Sounds::shared().beep();
        return;
    }
    beginRequest();
    noteSourceApp();
    withScreenCaptureAccess([this, selection = *region] {
        hideOwnWindows();
        countdownStep(settings().get(keys::captureDelay), restoreAndEnd(), [this, selection] {
            waitForHiddenWindowsToLeave([this, selection] {
                captureCropped(selection, [this](Outcome outcome) {
                    finish(std::move(outcome), CaptureSink::editor);
                });
            });
        });
    });
}

// --- Steps ------------------------------------------------------------------------------------

CaptureService::Next CaptureService::restoreAndEnd()
{
    return [this] {
        restoreOwnWindows();
        endRequest();
    };
}

void CaptureService::countdownStep(qint64 delay, Next cancel, Next next)
{
    if (CaptureCountdown* running = CaptureCountdown::current()) running->teardown();
    if (delay < 1) {
        next();
        return;
    }
    const int seconds = int(std::min<qint64>(delay, 24 * 3600));
    if (m_countdownStarter) {
        m_countdownStarter(seconds, std::move(next), std::move(cancel));
        return;
    }
    CaptureCountdown::begin(*m_clock, seconds, std::move(next), std::move(cancel), m_workScreen);
}

void CaptureService::waitForHiddenWindowsToLeave(Next next)
{
    std::vector<std::uint32_t> ids = m_leavingWindows;
    for (const HiddenWindow& w : m_hiddenWindows) {
        if (w.widget && w.widget->windowHandle()) ids.push_back(std::uint32_t(w.widget->winId()));
    }
    if (ids.empty() && !m_hiddenAt) {
        next();
        return;
    }
    // Both: the server has unmapped them, and the desktop had the settle time to repaint.
    engine().waitUntilOffScreen(ids).then(this, [this, next = std::move(next)] {
        CaptureClock& clock = *m_clock;
        const qint64 remaining =
            m_hiddenAt ? settleAfterHidingMs - (clock.nowMs() - *m_hiddenAt) : 0;
        if (remaining > 0) {
            clock.callAfter(remaining, this, next);
        } else {
            next();
        }
    });
}

void CaptureService::finish(Outcome outcome, CaptureSink sink)
{
    restoreOwnWindows();
    if (!outcome) {
        endRequest();
        handle(outcome.error());
        return;
    }
    playCaptureSoundIfEnabled();
    route(*outcome, sink);
    endRequest();
}

// Region and window: the overlay selects. Frozen, the countdown runs first and the overlay shows
// still pictures; live, the overlay opens as soon as our windows are off the screen and the
// countdown runs after the selection.
void CaptureService::captureWithOverlay(OverlayMode mode, CaptureSink sink)
{
    const bool frozen = settings().get(keys::freezeScreenWhileSelecting);
    if (frozen) {
        countdownStep(settings().get(keys::captureDelay), restoreAndEnd(), [this, mode, sink] {
            waitForHiddenWindowsToLeave([this, mode, sink] {
                engine()
                    .snapshotDisplays(visibleOwnWindowIDs())
                    .then(this, [this, mode, sink](CaptureResult<DisplaySnapshots> snapshots) {
                        std::optional<DisplaySnapshots> frozenSet;
                        if (snapshots && !snapshots->empty()) frozenSet = std::move(*snapshots);
                        openOverlay(mode, sink, std::move(frozenSet));
                    });
            });
        });
        return;
    }
    const auto open = [this, mode, sink] {
        openOverlay(mode, sink, std::nullopt, [this](int session) {
            if (overlay()->takesOwnSnapshots() ||
                !settings().get(keys::showMagnifierWhileSelecting))
                return;
            engine()
                .snapshotDisplays(visibleOwnWindowIDs())
                .then(this, [this, session](CaptureResult<DisplaySnapshots> snapshots) {
                    // Without pictures the magnifier works from the live screen.
                    if (snapshots) overlay()->setSnapshots(*snapshots, session);
                });
        });
    };
    // An overlay that takes its own pictures takes them as it opens: our windows must be gone.
    if (overlay()->takesOwnSnapshots()) {
        waitForHiddenWindowsToLeave(open);
    } else {
        open();
    }
}

void CaptureService::openOverlay(OverlayMode mode, CaptureSink sink,
                                 std::optional<DisplaySnapshots> frozen,
                                 std::function<void(int)> opened)
{
    QPointer<CaptureService> self(this);
    const std::optional<DisplaySnapshots> kept = frozen;
    // The overlay may call back from inside its own event handling: go on afterwards (never,
    // should the service be gone by then).
    const auto done = [self, sink, kept](std::optional<OverlayResult> result) {
        if (!self) return;
        QMetaObject::invokeMethod(
            self.data(), [self, result, sink, kept] { self->overlayFinished(result, sink, kept); },
            Qt::QueuedConnection);
    };
    const int session = overlay()->begin(mode, std::move(frozen), done);
    if (opened) opened(session);
}

void CaptureService::overlayFinished(std::optional<OverlayResult> result, CaptureSink sink,
                                     const std::optional<DisplaySnapshots>& frozen)
{
    if (!result) {
        restoreAndEnd()();
        return;
    }
    const auto frozenImage = [&](QScreen* screen) -> std::optional<QImage> {
        if (!frozen || !screen) return std::nullopt;
        const auto id = engine().displayID(screen);
        if (!id) return std::nullopt;
        const auto it = frozen->find(*id);
        if (it == frozen->end()) return std::nullopt;
        return it->second;
    };

    if (result->kind == OverlayResult::Kind::fullScreen) {
        if (auto image = frozenImage(result->screen)) {
            finish(BaseImage(*image, QSizeF(result->screen->geometry().size())), sink);
            return;
        }
        captureFullScreenRoad(engine().displayID(result->screen), sink);
        return;
    }

    const RegionSelection selection = result->selection;
    if (!selection.window) {
        saveLastRegion(selection);
        if (auto image = frozenImage(selection.screen)) {
            finish(outcomeOf(CaptureEngine::crop(*image, selection.rect, selection.screen)), sink);
            return;
        }
    }
    // A picked window is always captured live; the countdown ran already when frozen.
    const qint64 delay = frozen ? 0 : settings().get(keys::captureDelay);
    countdownStep(delay, restoreAndEnd(), [this, selection, sink] {
        waitForHiddenWindowsToLeave([this, selection, sink] {
            captureCropped(selection,
                           [this, sink](Outcome outcome) { finish(std::move(outcome), sink); });
        });
    });
}

void CaptureService::captureCropped(const RegionSelection& selection,
                                    std::function<void(Outcome)> done)
{
    if (selection.window) {
        engine()
            .captureWindow(*selection.window)
            .then(this, [done](CaptureResult<BaseImage> image) { done(outcomeOf(image)); });
        return;
    }
    const std::optional<std::uint32_t> screenID = engine().displayID(selection.screen);
    const QRectF rect = selection.rect.normalized();
    engine().shareableContent().then(this, [this, done, screenID,
                                            rect](CaptureResult<ShareableContent> content) {
        if (!content) return done(failed(content.error()));
        const std::optional<DisplayInfo> display = displayWithID(*content, screenID);
        if (!display) return done(failed(CaptureEngineError::noDisplay));
        const std::vector<WindowInfo> icons = iconWindowsToLeaveOut(*content);
        if (!icons.empty()) {
            // The desktop's icons can only be left out of a whole display: grab it, crop.
            engine()
                .captureDisplay(*display, icons)
                .then(this, [done, rect, display](CaptureResult<QImage> image) {
                    if (!image) return done(failed(image.error()));
                    done(
                        outcomeOf(CaptureEngine::crop(*image, rect, display->pointSize().width())));
                });
            return;
        }
        // Just the rectangle: the display's origin plus the selection in its pixels.
        const double s = display->scale;
        const QRect pixels(display->frame.x() + int(std::lround(rect.x() * s)),
                           display->frame.y() + int(std::lround(rect.y() * s)),
                           int(std::lround(rect.width() * s)), int(std::lround(rect.height() * s)));
        engine().grabScreenRect(pixels).then(this, [done, rect](CaptureResult<QImage> image) {
            if (!image) return done(failed(image.error()));
            done(BaseImage(*image, rect.size()));
        });
    });
}

void CaptureService::captureFullScreenRoad(std::optional<std::uint32_t> displayID, CaptureSink sink)
{
    countdownStep(settings().get(keys::captureDelay), restoreAndEnd(),
                  [this, displayID, sink] { deliverFullScreen(displayID, sink); });
}

void CaptureService::deliverFullScreen(std::optional<std::uint32_t> displayID, CaptureSink sink)
{
    engine().shareableContent().then(
        this, [this, displayID, sink](CaptureResult<ShareableContent> content) {
            if (!content) return finish(failed(content.error()), sink);
            const std::optional<DisplayInfo> display = displayWithID(*content, displayID);
            if (!display) return finish(failed(CaptureEngineError::noDisplay), sink);
            const std::vector<WindowInfo> icons = iconWindowsToLeaveOut(*content);
            waitForHiddenWindowsToLeave([this, display = *display, icons, sink] {
                engine()
                    .captureDisplay(display, icons)
                    .then(this, [this, display, sink](CaptureResult<QImage> image) {
                        if (!image) return finish(failed(image.error()), sink);
                        // Points from the display's Qt screen (scale 1 when it has none).
                        const double scale = display.scale > 0 ? display.scale : 1.0;
                        const QSizeF points(image->width() / scale, image->height() / scale);
                        finish(BaseImage(*image, points), sink);
                    });
            });
        });
}

void CaptureService::deliverFrontWindow(CaptureSink sink)
{
    engine().shareableContent().then(this, [this, sink](CaptureResult<ShareableContent> content) {
        if (!content) return finish(failed(content.error()), sink);
        const qint64 ownPid = QCoreApplication::applicationPid();
        const QSet<std::uint32_t> own = WindowPicker::ownWindowIds();
        std::optional<WindowInfo> front;
        for (const WindowInfo& w : content->windows) {
            if (w.windowLayer != 0 || !w.isOnScreen || own.contains(w.windowID)) continue;
            if (w.owningApplication && w.owningApplication->processID == ownPid) continue;
            const double scale = CaptureEngine::scaleForFrame(content->displays, w.frame);
            if (w.frame.width() / scale <= 1.0 || w.frame.height() / scale <= 1.0) continue;
            front = w;
            break;
        }
        if (!front) return finish(failed(CaptureEngineError::noFrontWindow), sink);
        // Nothing was hidden, but a toast taken down may still be leaving.
        waitForHiddenWindowsToLeave([this, sink, window = *front] {
            engine().captureWindow(window).then(this, [this, sink](CaptureResult<BaseImage> image) {
                finish(outcomeOf(image), sink);
            });
        });
    });
}

} // namespace snapkin
