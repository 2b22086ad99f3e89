#pragma once

#include "capture/overlay/OverlayTypes.h"
#include "capture/overlay/SelectionView.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

namespace snapkin {

class WindowPicker;

// The selection overlay: one session at a time in which the user drags a region, picks a
// window or takes a whole display, ended exactly once through the completion.
//
// A session covers every screen with a frameless, override-redirect window that stays on top
// (so it covers panels exactly and no window manager moves it), each holding a SelectionView.
// The overlay keeps the screens consistent (one mode for all, one selection at a time), puts
// the mode bar on the screen under the pointer (the first screen when the pointer is on none),
// queries the window picker in window mode, and takes the keyboard so keys reach it although
// the window manager never focuses it.
//
// The windows are translucent only while a compositing manager runs and the screen is live.
// Without one, a window cannot show what lies below it, so it paints a picture of its display:
// the frozen picture when the caller passed one, else a picture `begin` takes before the
// windows appear (which also feeds the loupe).
//
// The completion runs after the X server has taken every overlay window off the screen (and,
// with a compositor, two frames later), so a capture made from it never shows the overlay.
// GUI thread only.
class SelectionOverlay : public QObject, public CaptureOverlay {
public:
    // `picker` answers the window mode's queries; by default the screen's real windows.
    explicit SelectionOverlay(QObject* parent = nullptr, WindowPicker* picker = nullptr);
    ~SelectionOverlay() override;

    // Opens a session, or, while one is open, leaves it alone and completes the new request
    // with no result at once (returning 0, a number no session has).
    int begin(OverlayMode mode, std::optional<DisplaySnapshots> frozen,
              OverlayCompletion completion) override;
    void setSnapshots(const DisplaySnapshots& snapshots, int session) override;
    // On X11: `begin` takes pictures of the displays before its windows map.
    bool takesOwnSnapshots() const override;

    bool isOpen() const { return bool(m_completion); }
    int session() const { return m_session; }
    // The views of the open session, in the order of the screen list.
    const QList<QPointer<SelectionView>>& views() const { return m_views; }
    SelectionView* barView() const { return m_barView; }
    // The view that holds the keyboard (none without X11, or while another program holds it).
    SelectionView* keyboardView() const { return m_grabbedView; }
    bool hasKeyboard() const { return m_grabbedView != nullptr; }

protected:
    // While a session is open, keys that Qt would hand to another of the application's windows
    // (one that kept Qt's focus) go to the overlay instead.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finish(std::optional<OverlayResult> result);
    void setMode(OverlayMode mode);
    void confirm();
    void beginSelectionOn(SelectionView* view);
    void refreshCaptureButton();
    void takeKeyboard(SelectionView* view);
    void retryKeyboard();

    // The top-level window that holds a view on `screen`, made or reused.
    QWidget* shellFor(QScreen* screen, bool translucent);
    void releaseShells();

    // One override-redirect window per screen. They outlive a session for a while, hidden,
    // so that the next capture soon after finds them (and their backing stores) ready: making
    // and first filling a screen-sized backing store is most of the time to the first frame.
    struct Shell {
        QPointer<QScreen> screen;
        QPointer<QWidget> window;
        bool translucent = false;
    };
    QList<Shell> m_shells;
    QTimer m_shellRelease;

    QList<QPointer<SelectionView>> m_views;
    OverlayCompletion m_completion;
    QPointer<SelectionView> m_barView;
    int m_session = 0;
    WindowPicker* m_picker = nullptr;
    bool m_composited = false;

    // The keyboard: the view that holds it, or the one still waiting for it.
    QPointer<SelectionView> m_grabbedView;
    QPointer<SelectionView> m_wantedView;
    QTimer m_grabRetry;
    int m_grabAttempts = 0;
};

} // namespace snapkin
