#pragma once

#include "capture/CaptureClock.h"
#include "capture/CaptureHooks.h"
#include "capture/CaptureService.h"
#include "capture/CaptureServiceEngine.h"
#include "capture/PostCaptureRouter.h"
#include "capture/SystemScreenshotFolderPanel.h"
#include "capture/SystemScreenshotWatcher.h"
#include "capture/overlay/OverlayTypes.h"
#include "support/RecordingAnnouncer.h"
#include "ui/platform/Announcer.h"
#include "ui/platform/Sounds.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include <ostream>

// Readable strings in test failures.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace snapkin::test {

// A clock that stands still until `advance` moves it; due calls run in time order, with Qt's
// events processed in between so continuations scheduled by them run too.
class FakeClock final : public CaptureClock {
public:
    qint64 nowMs() const override { return m_now; }
    void callAfter(qint64 ms, QObject* guard, std::function<void()> action) override;
    void advance(qint64 ms);
    // Runs what is due now and the pending events.
    void settle() { advance(0); }
    size_t pending() const { return m_items.size(); }

private:
    struct Item {
        qint64 at = 0;
        quint64 order = 0;
        QPointer<QObject> guard;
        std::function<void()> action;
    };
    qint64 m_now = 0;
    quint64 m_order = 0;
    std::vector<Item> m_items;
};

// Records what was played and beeped, in order, into a shared log.
class RecordingSounds final : public platform::Sounds {
public:
    explicit RecordingSounds(QStringList* log);
    ~RecordingSounds() override;
    void playEvent(const QString& id) override { m_log->append("sound:" + id); }
    void beep() override { m_log->append("beep"); }

private:
    QStringList* m_log;
    platform::Sounds* m_previous = nullptr;
};

// An engine answering from scripted values, at once.
class FakeEngine final : public CaptureServiceEngine {
public:
    explicit FakeEngine(QStringList* log) : m_log(log) {}

    bool access = true;
    bool xServer = true;
    platform::CaptureResult<platform::ShareableContent> content;
    platform::CaptureResult<QImage> displayImage;
    platform::CaptureResult<QImage> rectImage;
    platform::CaptureResult<platform::BaseImage> windowImage;
    platform::CaptureResult<DisplaySnapshots> snapshots;
    std::vector<std::uint32_t> stacking;
    std::optional<QString> frontApp;

    int probes = 0;
    std::vector<QRect> grabbedRects;
    std::vector<std::uint32_t> capturedDisplays;
    std::vector<std::uint32_t> capturedWindows;
    std::vector<std::vector<std::uint32_t>> waitedFor;

    QFuture<bool> probeAccess() override;
    bool hasXServer() override { return xServer; }
    QFuture<platform::CaptureResult<platform::ShareableContent>> shareableContent() override;
    QFuture<platform::CaptureResult<QImage>>
    captureDisplay(const platform::DisplayInfo& display,
                   const std::vector<platform::WindowInfo>& excluding) override;
    QFuture<platform::CaptureResult<QImage>> grabScreenRect(const QRect& pixels) override;
    QFuture<platform::CaptureResult<platform::BaseImage>>
    captureWindow(const platform::WindowInfo& window) override;
    QFuture<platform::CaptureResult<DisplaySnapshots>>
    snapshotDisplays(const QSet<std::uint32_t>& keeping) override;
    QFuture<void> waitUntilOffScreen(const std::vector<std::uint32_t>& ids) override;
    std::vector<std::uint32_t> stackingOrder() override { return stacking; }
    std::optional<QString> frontmostApplicationName() override { return frontApp; }
    // Every screen shows the display `screenID`.
    std::uint32_t screenID = 77;
    std::optional<std::uint32_t> displayID(const QScreen* screen) override
    {
        return screen ? std::optional<std::uint32_t>(screenID) : std::nullopt;
    }
    // The screen the user works on; by default the primary screen.
    std::function<std::optional<QRect>()> workScreen;
    std::optional<QRect> workScreenGeometry() override;

private:
    QStringList* m_log;
};

// An overlay the test finishes by hand.
class FakeOverlay final : public CaptureOverlay {
public:
    explicit FakeOverlay(QStringList* log) : m_log(log) {}
    int begin(OverlayMode mode, std::optional<DisplaySnapshots> frozen,
              OverlayCompletion completion) override;
    void setSnapshots(const DisplaySnapshots& snapshots, int session) override;
    // Ends the open session with `result` (nothing: cancelled).
    void finish(std::optional<OverlayResult> result);

    int session = 0;
    std::optional<OverlayMode> mode;
    std::optional<DisplaySnapshots> frozen;
    std::vector<int> snapshotSessions;
    OverlayCompletion completion;

private:
    QStringList* m_log;
};

// Every hook the service calls, recording into the log, and a router and a watcher that
// record what reaches them. A service made with `makeService` uses them all.
class RecordingHooks final : public EditorOpening,
                             public CaptureHistoryTracking,
                             public TextCopying,
                             public SystemScreenshotFolderPanel {
public:
    explicit RecordingHooks(QStringList* log);
    ~RecordingHooks() override;
    void openCapture(const platform::BaseImage& image, const QString& title,
                     const QString& historyTitle) override;
    void openFile(const QString&) override {}
    void record(const platform::BaseImage&, const QString& title) override
    {
        historyTitles.append(title);
    }
    QString unavailableReason() const override { return {}; }
    void copyText(const platform::BaseImage& image) override;
    // The watcher's folder dialog: noted, and cancelled.
    std::optional<QString> run(const QString&) override;

    struct Invitation final : NewsletterInvitation {
        QStringList* log = nullptr;
        bool due = false;
        bool isDue() override { return due; }
        bool canInterrupt() override { return true; }
        void show() override { log->append("newsletter"); }
    };
    struct Onboarding final : CaptureOnboarding {
        QStringList* log = nullptr;
        void show() override { log->append("onboarding"); }
    };
    Invitation invitation;
    Onboarding onboarding;
    std::vector<platform::BaseImage> delivered;
    // The titles the history was given, for editors it follows and pictures it records.
    QStringList historyTitles;

    CaptureHooks hooks();
    // A file capture reaches the router's save dialog, as no save folder is chosen.
    PostCaptureRouter router;
    SystemScreenshotWatcher watcher;

private:
    QStringList* m_log;
};

// A display of `frame` pixels at `scale`.
platform::DisplayInfo display(std::uint32_t id, QRect frame, double scale = 1.0,
                              bool primary = true);
// A solid image.
QImage filled(QSize size, QColor color);

} // namespace snapkin::test
