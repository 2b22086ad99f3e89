#pragma once

#include "capture/hotkeys/CaptureAction.h"
#include "settings/SettingsForm.h"

#include <map>

class QPushButton;

namespace snapkin {

class HotKeyRecorder;
class HotkeyService;

// The global shortcuts of the six capture actions. Each row shows the action, a "Reset"
// button while its combination differs from the built-in one, and the recorder field, under
// which stands in red why the shortcut is not registered (refused by the desktop, already
// taken by an earlier action) or that another action has the combination. A recorded or reset
// combination is stored and every shortcut registered again at once.
//
// Reset checks, as recording does, that no other action has the built-in combination; when
// one has, the row says so and nothing is stored. Without an X11 session the rows are
// disabled and a note says why.
class ShortcutsTab : public SettingsForm {
    Q_OBJECT
public:
    ShortcutsTab(HotkeyService& service, bool globalShortcutsAvailable, QWidget* parent = nullptr);
    // Rows enabled on an X11 session.
    explicit ShortcutsTab(HotkeyService& service, QWidget* parent = nullptr);

    HotKeyRecorder* recorder(CaptureAction action) const { return m_rows.at(action).recorder; }
    QPushButton* resetButton(CaptureAction action) const { return m_rows.at(action).reset; }
    QLabel* unavailableNote() const { return m_unavailable; }

private:
    struct Row {
        HotKeyRecorder* recorder = nullptr;
        QPushButton* reset = nullptr;
    };
    void reset(CaptureAction action);
    void refreshReset(CaptureAction action);

    HotkeyService& m_service;
    std::map<CaptureAction, Row> m_rows;
    QLabel* m_unavailable = nullptr;
};

} // namespace snapkin
