#pragma once

#include "capture/hotkeys/CaptureAction.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/GlobalHotKey.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace snapkin {

class HotKeyGrabber;

// Where an action's global shortcut stands after the last reload.
struct HotKeyStatus {
    enum class Kind {
        registered,  // pressing it anywhere runs the action
        refused,     // another application holds the combination
        duplicate,   // an earlier action has the same combination and got it
        unavailable, // no global shortcuts here (not X11), or the combination cannot be one
    };
    Kind kind = Kind::unavailable;
    std::optional<CaptureAction> sameAs; // duplicate: the earlier action
    QString reason;                      // unavailable: why, for the user

    bool operator==(const HotKeyStatus&) const = default;
    // Empty while registered (or before the first reload).
    QString userMessage() const;
};

// Owns the global shortcuts of the capture actions and rebuilds them from the settings: at
// start-up and whenever a shortcut is recorded or reset. Every action gets a status, so a
// shortcut the desktop refused is shown next to it instead of failing silently.
//
// While a shortcut is being recorded the grabs are suspended (a press of another action's
// combination must reach the recorder, not start a capture) and rebuilt when it ends.
//
// GUI thread only.
class HotkeyService : public QObject {
    Q_OBJECT
public:
    // The application's service, grabbing on the X server; it grabs afresh when the keyboard
    // is remapped.
    explicit HotkeyService(QObject* parent = nullptr);
    // A service over another grabber (tests); the grabber outlives the service.
    explicit HotkeyService(HotKeyGrabber& grabber, QObject* parent = nullptr);
    ~HotkeyService() override;

    // Releases every shortcut, then registers each action's stored combination in declaration
    // order. A combination equal (key and modifiers) to an earlier action's is skipped. While
    // suspended, waits for resume().
    void reload();

    HotKeyStatus status(CaptureAction action) const;

    // Releases every shortcut until the matching resume(); suspensions nest.
    void suspend();
    // Registers the shortcuts again from the settings once the last suspension ends.
    void resume();
    bool isSuspended() const { return m_suspensions > 0; }

signals:
    void statusChanged(snapkin::CaptureAction action);

private:
    void setStatus(CaptureAction action, HotKeyStatus status);

    std::unique_ptr<HotKeyGrabber> m_ownGrabber;
    HotKeyGrabber& m_grabber;
    std::vector<std::unique_ptr<GlobalHotKey>> m_hotKeys;
    std::map<CaptureAction, HotKeyStatus> m_status;
    int m_suspensions = 0;
    bool m_followsKeyboard = false;
};

} // namespace snapkin
