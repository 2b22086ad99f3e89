#pragma once

#include <QWindow>

namespace snapkin::platform {

// The whole keyboard for one of the application's own windows, over Qt's X connection, for
// overlays that the window manager never focuses (override-redirect windows): while the grab
// holds, every key goes to that window whichever window has the focus. GUI thread only;
// without X11 (the offscreen platform of tests) nothing is grabbed.
class KeyboardGrab {
public:
    enum class Status {
        grabbed,
        alreadyGrabbed, // another client holds the keyboard (a menu, a screen locker)
        frozen,         // another client froze it
        notViewable,    // the window is not on the screen yet
        failed,         // no answer, or no X11 at all
    };

    // Takes the keyboard for `window` (already created and shown), or moves this
    // application's grab to it.
    static Status grab(QWindow* window);
    // Gives the keyboard back. Harmless without a grab.
    static void release();

    // Waits until the X server has handled every request Qt has sent (a round trip); false
    // without X11. After hiding windows, they are off the screen when this returns.
    static bool syncWithServer();
    // Whether the application runs on X11.
    static bool available();
};

} // namespace snapkin::platform
