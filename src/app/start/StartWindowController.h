#pragma once

#include <QObject>
#include <QPointer>

namespace snapkin {

class StartWindow;

// The one start window of the application. "Start Window" in the Window menu and the tray
// menu opens it (made on first use) or brings it forward; it opens at launch for a taskbar
// presence. Its size and position are remembered under "startWindowFrame"; the first time, it
// is centred on the screen under the pointer. Any editor that opens closes it, as the user has
// moved on to editing.
class StartWindowController final : public QObject {
    Q_OBJECT
public:
    static constexpr const char* frameKey = "startWindowFrame";

    static StartWindowController& shared();

    // The window once made; null before.
    StartWindow* window() const;
    bool isVisible() const;
    // Makes the window when needed and brings it forward (restored when it was minimised).
    void show();

signals:
    // The user closed the window (not when it is hidden for an editor).
    void closed();
    // The window's link to the history's settings: the settings window opens on that tab.
    void settingsRequested();

private:
    StartWindowController();
    void place();
    void rememberFrame();

    QPointer<StartWindow> m_window;
    bool m_placed = false;
};

} // namespace snapkin
