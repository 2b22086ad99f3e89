#pragma once

// Inside the platform layer only: the drawable grab that ScreenCapture is built on, for the
// parts of the capture that live in files of their own.

#include "platform/ScreenCapture.h"

#include <xcb/xcb.h>

#include <optional>

namespace snapkin::platform::grab {

// The pixels of `r` (drawable coordinates) of a drawable of `depth` whose pixels follow
// `visual`, as premultiplied ARGB32 (opaque unless `keepAlpha` and it has an alpha channel).
CaptureResult<QImage> drawable(X11Connection& connection, xcb_drawable_t drawable, const QRect& r,
                               bool keepAlpha, int depth, xcb_visualid_t visual);

// The window's ancestor that is a child of the root (the window manager's frame, or the
// window itself); nothing when the window is gone.
std::optional<xcb_window_t> topLevelOf(X11Connection& connection, xcb_window_t window);

} // namespace snapkin::platform::grab
