#pragma once

#include "capture/CaptureClock.h"
#include "capture/CaptureHooks.h"
#include "capture/CaptureMode.h"
#include "capture/CaptureSink.h"
#include "capture/overlay/OverlayTypes.h"
#include "grab/CaptureEngineError.h"
#include "platform/BaseImage.h"
#include "platform/ImageReader.h"
#include "platform/ScreenCapture.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace snapkin {

class SelectionOverlay;

namespace platform {
class Defaults;
}

class CaptureServiceEngine;
class PostCaptureRouter;
class SystemScreenshotWatcher;

// Why a capture produced no picture: the text shown after "Detail:" in the failure alert, and
// whether there was no X server at all (then the alert explains X11 sessions first).
struct CaptureFailure {
    QString description;
    bool noXServer = false;

    static CaptureFailure from(CaptureEngineError error);
    static CaptureFailure from(const platform::ScreenCaptureError& error);
    friend bool operator==(const CaptureFailure&, const CaptureFailure&) = default;
};

// The failure alert's content; the buttons from left to right as the user reads them, the first
// the default.
struct CaptureAlert {
    QString message;
    QString informativeText;
    QStringList buttons;
    // With the warning icon; otherwise the default style, which shows the application's icon.
    bool warning = false;
};

// Runs every screen capture, from the request to the delivered picture or the one failure
// alert. Capture surfaces (hot keys, menus, the tray, the editor's toolbar) call the entry
// points on the GUI thread; each returns at once and the capture goes on as continuations on the
// GUI thread (engine futures, clock calls), never in a nested event loop.
//
// A request notes the application in front, checks that the screen can be captured (when not,
// onboarding takes over), takes the application's own titled windows off the screen, counts
// down when keys::captureDelay asks, lets the user select with the overlay where the mode needs it,
// takes the picture, puts the windows back in their stacking order, plays the capture sound and
// delivers by sink: the router takes editor and file captures, the hooks' history records the
// others. Cancelling the countdown or the overlay puts the windows back silently.
//
// One capture at a time: a request that arrives while another runs (its access check,
// countdown, overlay or grab) is ignored, so nothing the first one hid can be left hidden.
// A toast or countdown badge still up when a capture starts is taken down first, so it is never
// in the picture.
//
// The engine, the overlay, the countdown and the failure alert can be replaced (tests script
// them); time comes from the service's CaptureClock, real time unless another is given.
class CaptureService : public QObject {
    Q_OBJECT
public:
    // The application's service over `settings`: it makes its own router and screenshot-folder
    // watcher; the watcher hands new screenshots to the router and reports what it refuses in
    // toasts.
    explicit CaptureService(platform::Defaults& settings, QObject* parent = nullptr);
    // A service over a router and a watcher made elsewhere (not owned): captures for the editor
    // or a file go to `router`; "Use System Screenshots…" in the failure alert turns `watcher`
    // on; the layers above are reached through `hooks`.
    CaptureService(PostCaptureRouter& router, SystemScreenshotWatcher& watcher,
                   CaptureHooks hooks = {}, QObject* parent = nullptr);
    ~CaptureService() override;
    void setHooks(const CaptureHooks& hooks) { m_hooks = hooks; }
    PostCaptureRouter& router() const { return m_router; }
    SystemScreenshotWatcher& watcher() const { return m_watcher; }

    // The title of a countdown choice, the same in every menu and picker: "Off" (translated)
    // for 0, else the seconds and "s" ("3s"), the same in every language.
    static QString captureDelayTitle(qint64 seconds);
    // The sound-theme event played for a capture.
    static constexpr const char* captureSoundEvent = "screen-capture";
    static constexpr const char* overlayWindowProperty = CaptureOverlay::windowProperty;
    // Time the window server gets to take hidden windows off the screen before a grab.
    static constexpr int settleAfterHidingMs = 150;
    // A clipboard capture's confirmation stays this long.
    static constexpr double toastSeconds = 1.3;
    // How long the toast that says the history is off stays.
    static constexpr double historyRefusalSeconds = 5.0;
    // The newsletter is asked this long after a delivery.
    static constexpr int newsletterDelayMs = 2000;

    // Entry points.
    // A region, window or full-screen capture to `sink`.
    void capture(CaptureMode mode, CaptureSink sink);
    // The front window of another application, without selecting; nothing is hidden.
    void captureFrontWindow(CaptureSink sink);
    // One display (by identifier; the main display when absent or gone) to the editor.
    void captureFullScreen(std::optional<std::uint32_t> displayID = std::nullopt);
    // The stored last region again, to the editor; a beep when none is stored.
    void captureLastRegion();

    // True from a request's start to its end (delivered, reported, cancelled or refused).
    bool isCapturing() const { return m_busy; }

    // The application that was in front when the latest request arrived; the router titles
    // history entries with it. Absent when unknown or when it was this application.
    static std::optional<QString> sourceAppName();

    // Delivery and reporting.
    // Hands a picture to its sink (after the windows are back and the sound played).
    void route(const platform::BaseImage& image, CaptureSink sink);
    // Shows the failure alert and acts on the chosen button.
    void handle(const CaptureFailure& failure);
    // The failure alert's content for `failure`; the X11 advice only when `hasXServer` is false
    // or the failure says there was none.
    static CaptureAlert failureAlert(const CaptureFailure& failure, bool hasXServer);
    void playCaptureSoundIfEnabled();

    // The last selected region, kept as [display identifier, x, y, width, height].
    void saveLastRegion(const RegionSelection& selection);
    std::optional<RegionSelection> loadLastRegion();

    // A screen a stored region may land on.
    struct ScreenChoice {
        std::optional<std::uint32_t> displayID;
        QSizeF size; // points
    };
    struct StoredRegion {
        size_t screenIndex = 0;
        QRectF rect;
    };
    // Reads a stored region against the screens there are: the screen with the stored display
    // identifier, else the main one (`mainIndex`); the rectangle is clipped to the chosen
    // screen and must stay at least 2 × 2 points. Nothing for a malformed value.
    static std::optional<StoredRegion> resolveStoredRegion(const QVariant& stored,
                                                           const std::vector<ScreenChoice>& screens,
                                                           std::optional<size_t> mainIndex);

    // New from Clipboard: the clipboard's image (an image, PNG bytes, or one image file) in a new
    // editor titled "Pasted image"; a toast when there is none. On X11 the clipboard is read off
    // the GUI thread and the editor opens when it has answered; an owner that does not answer
    // within `pasteTimeoutMs` gets a toast saying so. A request while one is under way is
    // ignored.
    void openFromClipboard();
    static constexpr int pasteTimeoutMs = 2000;
    bool isPasting() const { return m_pasting; }
    // Open…: an image or a document package in a new editor.
    void openImage();

    // The application's own windows a capture takes off the screen, front-most first: visible
    // top-levels with a title bar (not tools, tooltips, pop-ups, frameless or full-screen
    // windows, not window-modal dialogs nor the windows they belong to), plus the quick-access
    // `panels` that are shown, ordered by `stacking` (front-most first; unknown ones last).
    static QList<QWidget*> ownWindowsToHide(const QList<QWidget*>& topLevels,
                                            const QList<QWidget*>& panels,
                                            const std::vector<std::uint32_t>& stacking);

    // Replaceable parts. Not owned; nullptr restores the default.
    void setEngine(CaptureServiceEngine* engine) { m_engine = engine; }
    // The selection overlay for region and window captures; by default the application's
    // SelectionOverlay, which the service owns.
    void setOverlay(CaptureOverlay* overlay) { m_overlay = overlay; }
    CaptureOverlay* overlay() const;
    // Starts a countdown of `seconds`; runs `done` at its end or `cancel` when the user stops it.
    using CountdownStarter =
        std::function<void(int seconds, std::function<void()> done, std::function<void()> cancel)>;
    void setCountdownStarter(CountdownStarter starter) { m_countdownStarter = std::move(starter); }
    // The clock requests, countdowns and the service's toasts run on (not owned; it must
    // outlive the service's work).
    void setClock(CaptureClock& clock) { m_clock = &clock; }
    // Shows an alert and calls back with the index of the chosen button (-1: dismissed).
    using AlertPresenter =
        std::function<void(const CaptureAlert& alert, std::function<void(int button)> answered)>;
    void setAlertPresenter(AlertPresenter presenter) { m_alertPresenter = std::move(presenter); }
    // Puts a picture on the clipboard; true when it is there.
    using ClipboardWriter = std::function<bool(const platform::BaseImage& image)>;
    void setClipboardWriter(ClipboardWriter writer) { m_clipboardWriter = std::move(writer); }
    // Shows the open dialog for Open…; answers the chosen path, empty when cancelled.
    using OpenPanel = std::function<QString()>;
    void setOpenPanel(OpenPanel panel) { m_openPanel = std::move(panel); }

signals:
    // A request ended, whatever the outcome.
    void captureEnded();

private:
    using Outcome = std::expected<platform::BaseImage, CaptureFailure>;
    using Next = std::function<void()>;

    CaptureServiceEngine& engine() const;
    bool beginRequest();
    void endRequest();
    void noteSourceApp();
    void withScreenCaptureAccess(Next body);

    void hideOwnWindows();
    void restoreOwnWindows();
    void waitForHiddenWindowsToLeave(Next next);
    QSet<std::uint32_t> visibleOwnWindowIDs() const;

    void countdownStep(qint64 delay, Next cancel, Next next);
    Next restoreAndEnd();

    void captureWithOverlay(OverlayMode mode, CaptureSink sink);
    void openOverlay(OverlayMode mode, CaptureSink sink, std::optional<DisplaySnapshots> frozen,
                     std::function<void(int session)> opened = {});
    void overlayFinished(std::optional<OverlayResult> result, CaptureSink sink,
                         const std::optional<DisplaySnapshots>& frozen);
    void captureCropped(const RegionSelection& selection, std::function<void(Outcome)> done);
    void captureFullScreenRoad(std::optional<std::uint32_t> displayID, CaptureSink sink);
    void deliverFullScreen(std::optional<std::uint32_t> displayID, CaptureSink sink);
    void deliverFrontWindow(CaptureSink sink);
    void finish(Outcome outcome, CaptureSink sink);

    bool copyToClipboard(const platform::BaseImage& image);
    void openInEditor(const platform::BaseImage& image, const QString& title);
    void openPasted(const std::expected<platform::BaseImage, platform::ImageReadError>& image);
    void showAlert(const CaptureAlert& alert, std::function<void(int)> answered);
    // The first capture of a run says why the history keeps nothing, if it refused its folder.
    void tellHistoryRefusalOnce();

    struct HiddenWindow {
        QPointer<QWidget> widget;
        QPoint position;
        bool quickAccessPanel = false;
    };

    // Made by the service itself, or none (then the ones given are used).
    std::unique_ptr<PostCaptureRouter> m_ownRouter;
    std::unique_ptr<SystemScreenshotWatcher> m_ownWatcher;
    PostCaptureRouter& m_router;
    SystemScreenshotWatcher& m_watcher;
    CaptureHooks m_hooks;
    CaptureServiceEngine* m_engine = nullptr;
    CaptureOverlay* m_overlay = nullptr;
    SelectionOverlay* m_defaultOverlay = nullptr;
    CountdownStarter m_countdownStarter;
    RealCaptureClock m_realClock;
    CaptureClock* m_clock = &m_realClock;
    AlertPresenter m_alertPresenter;
    ClipboardWriter m_clipboardWriter;
    OpenPanel m_openPanel;

    QList<HiddenWindow> m_hiddenWindows; // front-most first
    std::optional<qint64> m_hiddenAt;
    // The screen the user worked on when the request arrived, where its countdown belongs: by
    // the time the badge is placed our windows are hidden and the focus may have gone anywhere.
    std::optional<QRect> m_workScreen;
    // Toasts and badges taken down for this capture: waited for like hidden windows.
    std::vector<std::uint32_t> m_leavingWindows;
    bool m_busy = false;
    bool m_pasting = false;
    bool m_toldHistoryRefusal = false;
};

} // namespace snapkin
