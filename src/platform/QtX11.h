#pragma once

#include <xcb/xcb.h>

namespace snapkin::platform {

// Qt's own connection to the X server, for requests made on the GUI thread; nullptr off that
// thread, before the application exists, or when Qt is not running on X11 (offscreen, Wayland).
xcb_connection_t* qtX11Connection();

// The root window of the connection's first screen, XCB_NONE when it has none.
xcb_window_t firstRootWindow(xcb_connection_t* connection);

} // namespace snapkin::platform
