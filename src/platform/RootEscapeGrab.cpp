#include "platform/RootEscapeGrab.h"

#include "platform/QtX11.h"
#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QTimer>

#include <X11/keysym.h>

#include <memory>

namespace snapkin::platform {

RootEscapeGrab::RootEscapeGrab(std::function<void()> onEscape) : m_onEscape(std::move(onEscape))
{
    xcb_connection_t* c = qtX11Connection();
    if (!c) return;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    if (!symbols) return;
    std::unique_ptr<xcb_keycode_t, FreeDeleter> codes(
        xcb_key_symbols_get_keycode(symbols, XK_Escape));
    if (codes && codes.get()[0] != XCB_NO_SYMBOL) m_keycode = codes.get()[0];
    m_numLock = modifierBits(c, symbols).numLock;
    xcb_key_symbols_free(symbols);
    if (m_keycode == 0) return;

    const xcb_window_t root = defaultRootWindow(c);
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t mods : lockVariants(m_numLock)) {
        cookies.push_back(xcb_grab_key_checked(c, 1, root, mods, m_keycode, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC));
    }
    for (size_t i = 0; i < cookies.size(); ++i) {
        XcbReply<xcb_generic_error_t> error(xcb_request_check(c, cookies[i]));
        if (i == 0) m_grabbed = !error;
    }
    if (m_grabbed) QCoreApplication::instance()->installNativeEventFilter(this);
}

RootEscapeGrab::~RootEscapeGrab()
{
    if (!m_grabbed) return;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    xcb_connection_t* c = qtX11Connection();
    if (!c) return;
    const xcb_window_t root = defaultRootWindow(c);
    for (std::uint16_t mods : lockVariants(m_numLock))
        xcb_ungrab_key(c, m_keycode, root, mods);
    xcb_flush(c);
}

bool RootEscapeGrab::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    const std::uint16_t ignored = std::uint16_t(XCB_MOD_MASK_LOCK | m_numLock);
    if (key->detail != m_keycode || (key->state & ~ignored & 0xff) != 0) return false;
    if (type == XCB_KEY_PRESS && m_onEscape) {
        // Later, not from inside Qt's event dispatch: the handler usually deletes this grab.
        QTimer::singleShot(0, QCoreApplication::instance(), m_onEscape);
    }
    return true;
}

} // namespace snapkin::platform
