#pragma once

#include <functional>

class QLabel;

namespace snapkin {

// What the settings window and the welcome window ask of the application shell, which sits
// above them. The shell hands its own to the windows it makes; an empty function stands for
// the default named below.
struct SettingsHooks {
    // Runs after keys::showInDock or keys::showInMenuBar changed (both Bools already stored, and
    // the tray turned back on when both were off): shows or hides the tray icon and the taskbar
    // window at once. Default: nothing more.
    std::function<void()> applyPresence = {};
    // Whether the desktop has a system tray. Default: QSystemTrayIcon's answer.
    std::function<bool()> trayAvailable = {};
    // Opens the start window, the history's browser. Default: none, and the links to it are
    // left out.
    std::function<void()> openStartWindow = {};

    void presenceChanged() const;
    bool hasTray() const;
};

// A link-styled label "Open the Start Window" that runs the hook; null without the hook.
QLabel* startWindowLink(const SettingsHooks& hooks);

} // namespace snapkin
