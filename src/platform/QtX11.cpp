#include "platform/QtX11.h"

#include "platform/X11Connection.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>

#define XK_MISCELLANY
#include <X11/keysymdef.h>

namespace snapkin::platform {

xcb_connection_t* qtX11Connection()
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread()) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

int defaultScreenNumber()
{
    char* host = nullptr;
    int display = 0;
    int screen = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen)) screen = 0;
    std::free(host);
    return screen;
}

xcb_window_t defaultRootWindow(xcb_connection_t* connection)
{
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = defaultScreenNumber(); it.rem && i > 0; --i)
        xcb_screen_next(&it);
    return it.rem > 0 ? it.data->root : XCB_NONE;
}

ModifierBits modifierBits(xcb_connection_t* connection, xcb_key_symbols_t* symbols)
{
    ModifierBits bits;
    XcbReply<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!reply || !symbols) return bits;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    // Mod1 … Mod5; Shift, Lock and Control have fixed bits.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const std::uint16_t bit = std::uint16_t(1u << modifier);
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t code = codes[modifier * perModifier + i];
            if (code == 0) continue;
            for (int column = 0; column < 4; ++column) {
                switch (xcb_key_symbols_get_keysym(symbols, code, column)) {
                case XK_Alt_L:
                case XK_Alt_R:
                    bits.alt |= bit;
                    break;
                case XK_Super_L:
                case XK_Super_R:
                    bits.super |= bit;
                    break;
                case XK_Num_Lock:
                    bits.numLock |= bit;
                    break;
                default:
                    break;
                }
            }
        }
    }
    return bits;
}

std::vector<std::uint16_t> lockVariants(std::uint16_t numLock)
{
    std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
    if (numLock) {
        variants.push_back(numLock);
        variants.push_back(std::uint16_t(numLock | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

} // namespace snapkin::platform
