#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <vector>

namespace snapkin::platform {

// Qt's own connection to the X server, for requests made on the GUI thread; nullptr off that
// thread, before the application exists, or when Qt is not running on X11 (offscreen, Wayland).
xcb_connection_t* qtX11Connection();

// The number of the screen $DISPLAY names (":0.1" → 1), the one Qt's connection shows on; 0
// when it names none.
int defaultScreenNumber();
// The root window of that screen on `connection`, XCB_NONE when it has none.
xcb_window_t defaultRootWindow(xcb_connection_t* connection);

// The modifier bits (Mod1 … Mod5) that Alt, Super and NumLock set on this server, which differ
// between keyboard setups; 0 where no key carries the modifier.
struct ModifierBits {
    std::uint16_t alt = 0;
    std::uint16_t super = 0;
    std::uint16_t numLock = 0;
};
ModifierBits modifierBits(xcb_connection_t* connection, xcb_key_symbols_t* symbols);

// The lock states a passive key grab is taken in as well, so that CapsLock and NumLock do not
// get in the way: none, CapsLock, and with `numLock` (its bit) both again.
std::vector<std::uint16_t> lockVariants(std::uint16_t numLock);

} // namespace snapkin::platform
