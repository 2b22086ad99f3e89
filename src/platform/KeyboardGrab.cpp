#include "platform/KeyboardGrab.h"

#include "platform/QtX11.h"
#include "platform/X11Connection.h"

namespace snapkin::platform {

bool KeyboardGrab::available()
{
    return qtX11Connection() != nullptr;
}

KeyboardGrab::Status KeyboardGrab::grab(QWindow* window)
{
    xcb_connection_t* c = qtX11Connection();
    if (!c || !window || !window->handle()) return Status::failed;
    // Asynchronous for both devices: the pointer keeps working as usual, and keys queue up for
    // us instead of freezing the keyboard.
    XcbReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(
        c,
        xcb_grab_keyboard(c, 0, xcb_window_t(window->winId()), XCB_CURRENT_TIME,
                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr));
    if (!reply) return Status::failed;
    switch (reply->status) {
    case XCB_GRAB_STATUS_SUCCESS:
        return Status::grabbed;
    case XCB_GRAB_STATUS_ALREADY_GRABBED:
        return Status::alreadyGrabbed;
    case XCB_GRAB_STATUS_FROZEN:
        return Status::frozen;
    case XCB_GRAB_STATUS_NOT_VIEWABLE:
        return Status::notViewable;
    default:
        return Status::failed;
    }
}

void KeyboardGrab::release()
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return;
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
}

bool KeyboardGrab::syncWithServer()
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return false;
    XcbReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return reply != nullptr;
}

} // namespace snapkin::platform
