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
// Letters, digits, F1 to F20, the arrows, the editing and navigation keys and the punctuation
// of a US layout are listed; every other key (modifiers, lock keys, Escape, the keypad, media
// keys) has no entry and cannot become a shortcut.
class KeyCodes {
public:
    struct Entry {
        std::uint32_t virtualKey;
        std::uint32_t keysym; // letters as their lower-case keysym
        int qtKey;            // a Qt::Key
    };

    static std::span<const Entry> entries();

    static std::optional<Entry> forVirtualKey(std::uint32_t virtualKey);
    // Upper- and lower-case letter keysyms both find the letter's entry.
    static std::optional<Entry> forKeysym(std::uint32_t keysym);
    static std::optional<Entry> forQtKey(int qtKey);

    static bool isFunctionKey(std::uint32_t virtualKey);

    // The listed keysym of an X keycode as the keyboard layout has it unshifted (level 0), else
    // the shifted one (level 1), so that layouts that put digits on the shifted level (AZERTY)
    // still give the digit. Read on Qt's own X connection; nothing without one (offscreen,
    // Wayland) or when neither level holds a listed key.
    static std::optional<Entry> forX11Keycode(quint32 keycode);
    // Whether the application runs on an X connection whose keycodes can be read.
    static bool canReadX11Keycodes();
};

} // namespace snapkin::platform
