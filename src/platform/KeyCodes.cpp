#include "platform/KeyCodes.h"

#include "platform/QtX11.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/keysymdef.h>

#include <algorithm>
#include <iterator>

namespace snapkin::platform {

namespace {

using Entry = KeyCodes::Entry;

constexpr int keypad(Qt::Key key)
{
    return int(Qt::KeypadModifier) | int(key);
}

constexpr Entry table[] = {
    // Letters.
    {0, XK_a, Qt::Key_A},
    {11, XK_b, Qt::Key_B},
    {8, XK_c, Qt::Key_C},
    {2, XK_d, Qt::Key_D},
    {14, XK_e, Qt::Key_E},
    {3, XK_f, Qt::Key_F},
    {5, XK_g, Qt::Key_G},
    {4, XK_h, Qt::Key_H},
    {34, XK_i, Qt::Key_I},
    {38, XK_j, Qt::Key_J},
    {40, XK_k, Qt::Key_K},
    {37, XK_l, Qt::Key_L},
    {46, XK_m, Qt::Key_M},
    {45, XK_n, Qt::Key_N},
    {31, XK_o, Qt::Key_O},
    {35, XK_p, Qt::Key_P},
    {12, XK_q, Qt::Key_Q},
    {15, XK_r, Qt::Key_R},
    {1, XK_s, Qt::Key_S},
    {17, XK_t, Qt::Key_T},
    {32, XK_u, Qt::Key_U},
    {9, XK_v, Qt::Key_V},
    {13, XK_w, Qt::Key_W},
    {7, XK_x, Qt::Key_X},
    {16, XK_y, Qt::Key_Y},
    {6, XK_z, Qt::Key_Z},
    // Digits of the main block.
    {29, XK_0, Qt::Key_0},
    {18, XK_1, Qt::Key_1},
    {19, XK_2, Qt::Key_2},
    {20, XK_3, Qt::Key_3},
    {21, XK_4, Qt::Key_4},
    {23, XK_5, Qt::Key_5},
    {22, XK_6, Qt::Key_6},
    {26, XK_7, Qt::Key_7},
    {28, XK_8, Qt::Key_8},
    {25, XK_9, Qt::Key_9},
    // Punctuation of a US layout.
    {24, XK_equal, Qt::Key_Equal},
    {27, XK_minus, Qt::Key_Minus},
    {30, XK_bracketright, Qt::Key_BracketRight},
    {33, XK_bracketleft, Qt::Key_BracketLeft},
    {39, XK_apostrophe, Qt::Key_Apostrophe},
    {41, XK_semicolon, Qt::Key_Semicolon},
    {42, XK_backslash, Qt::Key_Backslash},
    {43, XK_comma, Qt::Key_Comma},
    {44, XK_slash, Qt::Key_Slash},
    {47, XK_period, Qt::Key_Period},
    {50, XK_grave, Qt::Key_QuoteLeft},
    // Editing keys.
    {36, XK_Return, Qt::Key_Return},
    {48, XK_Tab, Qt::Key_Tab},
    {49, XK_space, Qt::Key_Space},
    {51, XK_BackSpace, Qt::Key_Backspace},
    {117, XK_Delete, Qt::Key_Delete},
    {114, XK_Insert, Qt::Key_Insert},
    // Navigation.
    {115, XK_Home, Qt::Key_Home},
    {119, XK_End, Qt::Key_End},
    {116, XK_Prior, Qt::Key_PageUp},
    {121, XK_Next, Qt::Key_PageDown},
    {123, XK_Left, Qt::Key_Left},
    {124, XK_Right, Qt::Key_Right},
    {125, XK_Down, Qt::Key_Down},
    {126, XK_Up, Qt::Key_Up},
    // Function keys.
    {122, XK_F1, Qt::Key_F1},
    {120, XK_F2, Qt::Key_F2},
    {99, XK_F3, Qt::Key_F3},
    {118, XK_F4, Qt::Key_F4},
    {96, XK_F5, Qt::Key_F5},
    {97, XK_F6, Qt::Key_F6},
    {98, XK_F7, Qt::Key_F7},
    {100, XK_F8, Qt::Key_F8},
    {101, XK_F9, Qt::Key_F9},
    {109, XK_F10, Qt::Key_F10},
    {103, XK_F11, Qt::Key_F11},
    {111, XK_F12, Qt::Key_F12},
    {105, XK_F13, Qt::Key_F13},
    {107, XK_F14, Qt::Key_F14},
    {113, XK_F15, Qt::Key_F15},
    {106, XK_F16, Qt::Key_F16},
    {64, XK_F17, Qt::Key_F17},
    {79, XK_F18, Qt::Key_F18},
    {80, XK_F19, Qt::Key_F19},
    {90, XK_F20, Qt::Key_F20},
    // The keypad.
    {82, XK_KP_0, keypad(Qt::Key_0)},
    {83, XK_KP_1, keypad(Qt::Key_1)},
    {84, XK_KP_2, keypad(Qt::Key_2)},
    {85, XK_KP_3, keypad(Qt::Key_3)},
    {86, XK_KP_4, keypad(Qt::Key_4)},
    {87, XK_KP_5, keypad(Qt::Key_5)},
    {88, XK_KP_6, keypad(Qt::Key_6)},
    {89, XK_KP_7, keypad(Qt::Key_7)},
    {91, XK_KP_8, keypad(Qt::Key_8)},
    {92, XK_KP_9, keypad(Qt::Key_9)},
    {65, XK_KP_Decimal, keypad(Qt::Key_Period)},
    {67, XK_KP_Multiply, keypad(Qt::Key_Asterisk)},
    {69, XK_KP_Add, keypad(Qt::Key_Plus)},
    {75, XK_KP_Divide, keypad(Qt::Key_Slash)},
    {76, XK_KP_Enter, keypad(Qt::Key_Enter)},
    {78, XK_KP_Subtract, keypad(Qt::Key_Minus)},
    {81, XK_KP_Equal, keypad(Qt::Key_Equal)},
};

template <typename Pred> std::optional<Entry> find(Pred pred)
{
    const auto it = std::find_if(std::begin(table), std::end(table), pred);
    if (it == std::end(table)) return std::nullopt;
    return *it;
}

} // namespace

std::span<const Entry> KeyCodes::entries()
{
    return table;
}

std::optional<Entry> KeyCodes::forVirtualKey(std::uint32_t virtualKey)
{
    if (virtualKey & otherKeyBit) {
        const std::uint32_t keysym = virtualKey & ~otherKeyBit;
        // A listed key has its own code; the other form of it is no key.
        if (!isOtherKey(keysym) || forKeysym(keysym)) return std::nullopt;
        return Entry{virtualKey, keysym, 0};
    }
    return find([&](const Entry& e) { return e.virtualKey == virtualKey; });
}

bool KeyCodes::isOtherKey(std::uint32_t keysym)
{
    if (keysym == XCB_NO_SYMBOL || keysym == XK_VoidSymbol) return false;
    if (keysym >= XK_Shift_L && keysym <= XK_Hyper_R) return false; // modifiers, Caps/Shift Lock
    if (keysym >= 0xfe01 && keysym <= 0xfe0f) return false;         // ISO level and group keys
    if (keysym == XK_Mode_switch || keysym == XK_Num_Lock) return false;
    // Keysyms are 29-bit values.
    return keysym < otherKeyBit >> 2;
}

std::optional<Entry> KeyCodes::forKeysym(std::uint32_t keysym)
{
    if (keysym >= XK_A && keysym <= XK_Z) keysym += XK_a - XK_A;
    return find([&](const Entry& e) { return e.keysym == keysym; });
}

std::optional<Entry> KeyCodes::forQtKey(int qtKey)
{
    // Shift+Tab reaches widgets as Backtab; the key is still Tab.
    if (qtKey == Qt::Key_Backtab) qtKey = Qt::Key_Tab;
    if (qtKey == Qt::Key_Enter) qtKey = Qt::Key_Return;
    // A keypad key is listed with its flag; any other modifier bit names no key.
    if (qtKey & ~int(Qt::KeypadModifier) & int(Qt::KeyboardModifierMask)) return std::nullopt;
    return find([&](const Entry& e) { return e.qtKey == qtKey; });
}

bool KeyCodes::isFunctionKey(std::uint32_t virtualKey)
{
    const auto entry = forVirtualKey(virtualKey);
    return entry && entry->qtKey >= Qt::Key_F1 && entry->qtKey <= Qt::Key_F35;
}

bool KeyCodes::canReadX11Keycodes()
{
    return qtX11Connection() != nullptr;
}

std::optional<Entry> KeyCodes::forX11Keycode(quint32 keycode)
{
    if (keycode == 0 || keycode > 255) return std::nullopt;
    xcb_connection_t* connection = qtX11Connection();
    if (!connection) return std::nullopt;
    // A fresh table each time: presses are rare, and it never outlives a keyboard remapping.
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (!symbols) return std::nullopt;
    std::optional<Entry> entry;
    for (int level : {0, 1}) {
        const xcb_keysym_t keysym =
            xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), level);
        if (keysym != XCB_NO_SYMBOL) entry = forKeysym(keysym);
        if (entry) break;
    }
    if (!entry) {
        const xcb_keysym_t unshifted =
            xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), 0);
        if (isOtherKey(unshifted)) entry = Entry{otherKeyBit | unshifted, unshifted, 0};
    }
    xcb_key_symbols_free(symbols);
    return entry;
}

std::optional<Entry> KeyCodes::forKeyPress(int qtKey, Qt::KeyboardModifiers modifiers,
                                           quint32 x11Keycode)
{
    if (x11Keycode != 0 && canReadX11Keycodes()) return forX11Keycode(x11Keycode);
    if (modifiers & Qt::KeypadModifier) {
        if (auto keypad = forQtKey(int(Qt::KeypadModifier) | qtKey)) return keypad;
    }
    return forQtKey(qtKey);
}

} // namespace snapkin::platform
