#pragma once

#include <QString>

namespace snapkin {

// Where the application shows itself. keys::showInDock means "Show in taskbar": an editor window
// opens at launch and the application behaves as an ordinary window application.
// keys::showInMenuBar means "Show in system tray". Without a tray host neither setting can hide the
// application: it then behaves as if "Show in taskbar" were on, so it is never out of reach.
namespace AppPresence {

// The stored Bool, false when absent or not a Bool.
bool showInDock();
// The stored Bool, true when absent or not a Bool.
bool showInMenuBar();

// Whether a tray icon can be shown at all; the desktop's answer unless a test says otherwise.
bool trayAvailable();
void setTrayAvailableForTesting(int available); // -1: ask the desktop again

// True when the tray icon is to be shown.
bool showsTrayIcon();
// True when the application keeps a window: "Show in taskbar", or no tray icon to fall back on.
bool behavesAsTaskbarApp();

// When both ways of reaching the application are off, turns the tray back on.
void keepReachable();

} // namespace AppPresence

// Light, dark or the desktop's own look, for the whole application. "light" and "dark" use the
// Fusion style with a palette of our own; anything else ("system") puts back the style and
// palette the application started with.
namespace AppAppearance {

void apply(const QString& appearance);

} // namespace AppAppearance

} // namespace snapkin
