#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

namespace snapkin {

class ExportDialogs;
class CaptureHistory;
class CaptureService;
class EditorWindowController;
class MainMenuBuilder;
class MenuActions;
class StartWindow;

// The one start window of the application. "Start Window" in the Window menu and the tray
// menu opens it (made on first use) or brings it forward; it opens at launch for a taskbar
// presence. Its size and position are remembered under keys::startWindowFrame whenever it closes
// or hides and when the run ends with it open; the first time, it is centred on the screen under
// the pointer. Any editor that opens closes it, as the user has
// moved on to editing.
class StartWindowController final : public QObject {
    Q_OBJECT
public:
    // What the window's owner adds to a window once it is made: its menus and its buttons'
    // commands.
    using Decorator = std::function<void(StartWindow& window)>;

    // The history, export service and capture service must outlive the controller.
    StartWindowController(EditorWindowController& editors, CaptureHistory& history,
                          ExportDialogs& exports, CaptureService& capture, Decorator decorate);
    // The window goes with its controller.
    ~StartWindowController() override;

    // The window once made; null before.
    StartWindow* window() const;
    bool isVisible() const;
    // Makes the window when needed and brings it forward (restored when it was minimised).
    void show();

signals:
    // The window's link to the history's settings: the settings window opens on that tab.
    void settingsRequested();

private:
    void place();
    void rememberFrame();

    EditorWindowController& m_editors;
    CaptureHistory& m_history;
    ExportDialogs& m_exports;
    CaptureService& m_capture;
    Decorator m_decorate;
    QPointer<StartWindow> m_window;
    bool m_placed = false;
};

// Gives a start window the main menu and runs its buttons' commands on `actions`.
void connectStartWindow(StartWindow& window, MainMenuBuilder& menus, MenuActions& actions);

} // namespace snapkin
