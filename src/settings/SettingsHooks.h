#pragma once

#include <functional>

class QLabel;

namespace snapkin {

// What the settings window asks of the application shell, which sits above it. The shell
// installs its own at start-up; without it the defaults below stand in.
struct SettingsHooks {
    // Runs after "showInDock" or "showInMenuBar" changed (both Bools already stored, and the
    // tray turned back on when both were off): shows or hides the tray icon and the taskbar
    // window at once. Default: nothing more.
    std::function<void()> applyPresence;
    // Whether the desktop has a system tray. Default: QSystemTrayIcon's answer.
    std::function<bool()> trayAvailable;
    // Opens the start window, the history's browser. Default: none, and the links to it are
    // left out.
    std::function<void()> openStartWindow;
};

// A link-styled label "Open the Start Window" that runs the hook; null without the hook.
QLabel* startWindowLink();

// The hooks in force (the defaults until the shell installs its own).
const SettingsHooks& settingsHooks();
// Installs hooks; an empty function keeps its default.
void setSettingsHooks(SettingsHooks hooks);

} // namespace snapkin
