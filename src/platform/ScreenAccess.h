#pragma once

#include <QFuture>

#include <functional>

namespace snapkin::platform {

// Whether this process can read the screen. X11 asks for no permission: capture works when Qt
// talks to an X server (the xcb platform), the session is not a Wayland one (whose X server
// only shows X clients' windows, never the desktop) and a real 2 × 2 grab of the main display
// succeeds. The grab is the capture engine's probe, passed in, since it sits above this layer.
class ScreenAccess {
public:
    ScreenAccess() = delete;

    // The session part alone: the xcb platform and not a Wayland session. Cheap; no X request.
    static bool sessionAllowsCapture();
    // XDG_SESSION_TYPE=wayland or WAYLAND_DISPLAY set: an X server there serves only X clients
    // and shows nothing of the desktop. Needs no application object (command-line tools ask).
    static bool isWaylandSession();

    using Probe = std::function<QFuture<bool>()>;
    // The whole check: false at once (no grab tried) when the session does not allow it,
    // otherwise what the probe answers.
    static QFuture<bool> check(const Probe& grabProbe);
};

} // namespace snapkin::platform
