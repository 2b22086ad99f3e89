#pragma once

#include <QFuture>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QScreen;

namespace snapkin::platform {

// What the window manager knows about the desktop's top-level windows, asked over Qt's own X11
// connection on the GUI thread (a single round trip each, no lock shared with captures).
// Outside X11 (the offscreen platform in tests, Wayland) every query answers "nothing".
class DesktopWindows {
public:
    DesktopWindows() = delete;

    // Top-level client windows, front-most first: the window manager's
    // _NET_CLIENT_LIST_STACKING, or without one the root window's children.
    static std::vector<std::uint32_t> stackingOrder();

    // The application the user works in: the class part of WM_CLASS ("Firefox") of the window
    // named by _NET_ACTIVE_WINDOW. Nothing without an active window, when it belongs to process
    // `ownPid` (its _NET_WM_PID), or when it names no class.
    static std::optional<QString> activeApplicationName(std::int64_t ownPid);

    // The screen the user works on, where badges and toasts belong: the screen of the focused
    // window (one of ours, else another application's through _NET_ACTIVE_WINDOW), else the
    // pointer's, else the primary screen. Nullptr only without any screen.
    static QScreen* workScreen();

    // True when a desktop window (_NET_WM_WINDOW_TYPE_DESKTOP, a file manager's icons) is
    // shown but the root publishes no background picture to paint in its place: then the
    // icons stay in captures whatever the settings say.
    static bool desktopIconsCannotBeHidden();

    // True when the window manager keeps `window` (a top-level window of ours) iconified: its
    // ICCCM WM_STATE is IconicState. Qt does not always learn of a minimise the window manager
    // did on its own (its title-bar button, a task bar), so its own state can say otherwise.
    static bool isIconified(std::uint32_t window);
    // Asks the window manager to show the iconified `window` again, as ICCCM has a client do
    // it: by mapping the window.
    static void deiconify(std::uint32_t window);

    // True when a compositing manager owns the _NET_WM_CM_S<screen> selection, so translucent
    // windows are blended; otherwise they show black where they are clear.
    static bool compositingManagerRunning();

    // Finishes once the X server shows none of the windows (their window-manager frames
    // included), or after `timeoutMs`. Polls on a worker thread over a private connection;
    // Qt's pending requests are flushed first so a window hidden just now is seen leaving.
    static QFuture<void> waitUntilOffScreen(std::vector<std::uint32_t> windowIDs,
                                            int timeoutMs = 1000);
};

} // namespace snapkin::platform
