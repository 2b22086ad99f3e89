#pragma once

#include <QtGlobal>

#include <cstdint>
#include <optional>
#include <span>

namespace snapkin::platform {

// The keys a global shortcut may use, and their names in three vocabularies: the stored
// virtual key code (the codes of the ANSI keyboard that settings files keep, for example 21 for
// the digit 4), the X keysym of the key's unshifted symbol on a US layout, and Qt's key.
//
// Letters, digits, F1 to F20, the arrows, the editing and navigation keys, the punctuation of a
// US layout and the keypad's digits, operators and Enter are listed (a keypad key's Qt key
// carries Qt::KeypadModifier, as Qt reports it). Any other key of an X keyboard that is not a
// modifier or a lock (Print, Pause, a letter of another language) is known by its keysym: its
// virtual key code is `otherKeyBit` over the keysym, which no ANSI key code uses.
class KeyCodes {
public:
    struct Entry {
        std::uint32_t virtualKey;
        std::uint32_t keysym; // letters as their lower-case keysym
        int qtKey;            // a Qt::Key
    };

    static constexpr std::uint32_t otherKeyBit = 0x80000000;

    // The listed keys.
    static std::span<const Entry> entries();

    // A listed key, or another key (qtKey 0) for a code with `otherKeyBit` over its keysym.
    static std::optional<Entry> forVirtualKey(std::uint32_t virtualKey);
    // Upper- and lower-case letter keysyms both find the letter's entry. Listed keys only.
    static std::optional<Entry> forKeysym(std::uint32_t keysym);
    // A Qt key, with Qt::KeypadModifier or'ed in for a keypad key. Listed keys only.
    static std::optional<Entry> forQtKey(int qtKey);
    // Whether a keysym may name another key: not a modifier, a lock or a group switch.
    static bool isOtherKey(std::uint32_t keysym);

    static bool isFunctionKey(std::uint32_t virtualKey);

    // The listed keysym of an X keycode as the keyboard layout has it unshifted (level 0), else
    // the shifted one (level 1), so that layouts that put digits on the shifted level (AZERTY)
    // still give the digit. Read on Qt's own X connection; nothing without one (offscreen,
    // Wayland) or when neither level holds a listed key.
    // A keycode whose levels hold no listed key gives its unshifted keysym as another key.
    static std::optional<Entry> forX11Keycode(quint32 keycode);
    // The physical key of a press: under X11 its keycode decides (so Shift and the layout do
    // not change which key it is); without one (offscreen) Qt's key and its keypad flag.
    static std::optional<Entry> forKeyPress(int qtKey, Qt::KeyboardModifiers modifiers,
                                            quint32 x11Keycode);
    // Whether the application runs on an X connection whose keycodes can be read.
    static bool canReadX11Keycodes();
};

} // namespace snapkin::platform
