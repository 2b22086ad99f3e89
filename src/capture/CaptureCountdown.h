#pragma once

#include "capture/CountdownView.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

namespace snapkin {

class CaptureClock;

namespace platform {
class RootEscapeGrab;
}

// The countdown of a timed capture: a badge in the middle of the user's screen shows the
// seconds left and ticks once a second. At zero it takes the badge off the screen, waits until
// the X server has unmapped it and 0.06 s more, and runs the completion. Escape (grabbed for
// the whole display, since a hot key leaves another application in front) or a click on the
// badge cancels: the badge goes, `onCancel` runs and the completion never does.
//
// At most one countdown runs; `current()` is it. A countdown is used once: after firing or
// cancelling it is torn down (no badge, no timer, no grab, no closures) and deletes itself.
// Time comes from the CaptureClock it is begun on, so tests drive it without waiting.
class CaptureCountdown : public QObject {
    Q_OBJECT
public:
    // The countdown that is running, or nullptr.
    static CaptureCountdown* current();

    // Tears down the running countdown, if any, makes a new one current and starts it. The
    // torn-down one's closures are dropped without running. The badge is centred on `screen`
    // (global device-independent pixels), else on the work screen as it starts.
    // `clock` must outlive the countdown and its completion.
    static CaptureCountdown* begin(CaptureClock& clock, int seconds, std::function<void()> onDone,
                                   std::function<void()> onCancel,
                                   std::optional<QRect> screen = std::nullopt);

    // Counts `seconds` (at least 1) down and then runs `then`. Set `onCancel` first.
    void start(int seconds, std::function<void()> then, std::optional<QRect> screen = std::nullopt);
    // What Escape and a click do: tear down, then run the cancel action.
    void cancel();
    // Stops everything and releases the countdown; harmless when already torn down.
    void teardown();

    std::function<void()> onCancel;

    CountdownView* view() const { return m_view; }
    // Whether Escape is grabbed on the root window (only under X11).
    bool escapeGrabbed() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CaptureCountdown(CaptureClock& clock);
    ~CaptureCountdown() override;

    void buildWindow(std::optional<QRect> screen);
    void scheduleTick();
    void tick();
    void fire();

    std::function<void()> m_onDone;
    QPointer<CountdownView> m_view;
    std::unique_ptr<platform::RootEscapeGrab> m_grab;
    int m_remaining = 0;
    int m_ticks = 0;
    CaptureClock& m_clock;
    qint64 m_startedAt = 0;
    bool m_running = false;
};

} // namespace snapkin
