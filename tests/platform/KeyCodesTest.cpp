#include "platform/KeyCodes.h"

#include <QSet>
#include <gtest/gtest.h>

#include <X11/keysym.h>

using snapkin::platform::KeyCodes;

TEST(KeyCodes, EveryEntryIsFoundUnderEachOfItsThreeNames)
{
    QSet<std::uint32_t> virtualKeys, keysyms;
    QSet<int> qtKeys;
    for (const KeyCodes::Entry& entry : KeyCodes::entries()) {
        const auto byVirtualKey = KeyCodes::forVirtualKey(entry.virtualKey);
        const auto byKeysym = KeyCodes::forKeysym(entry.keysym);
        const auto byQtKey = KeyCodes::forQtKey(entry.qtKey);
        ASSERT_TRUE(byVirtualKey && byKeysym && byQtKey) << entry.virtualKey;
        EXPECT_EQ(byVirtualKey->virtualKey, entry.virtualKey);
        EXPECT_EQ(byKeysym->virtualKey, entry.virtualKey) << entry.virtualKey;
        EXPECT_EQ(byQtKey->virtualKey, entry.virtualKey) << entry.virtualKey;
        virtualKeys.insert(entry.virtualKey);
        keysyms.insert(entry.keysym);
        qtKeys.insert(entry.qtKey);
    }
    // No name is used twice.
    EXPECT_EQ(virtualKeys.size(), qsizetype(KeyCodes::entries().size()));
    EXPECT_EQ(keysyms.size(), qsizetype(KeyCodes::entries().size()));
    EXPECT_EQ(qtKeys.size(), qsizetype(KeyCodes::entries().size()));
}

TEST(KeyCodes, CapitalKeysymsAndShiftTabFindTheirKeys)
{
    EXPECT_EQ(KeyCodes::forKeysym(XK_K)->virtualKey, 40u);
    EXPECT_EQ(KeyCodes::forQtKey(Qt::Key_Backtab)->virtualKey, 48u);
    EXPECT_EQ(KeyCodes::forQtKey(Qt::Key_Enter)->virtualKey, 36u);
}

TEST(KeyCodes, ModifiersLocksEscapeAndForeignLettersAreNotListed)
{
    for (int key : {int(Qt::Key_Control), int(Qt::Key_Shift), int(Qt::Key_Alt), int(Qt::Key_Meta),
                    int(Qt::Key_Super_L), int(Qt::Key_CapsLock), int(Qt::Key_NumLock),
                    int(Qt::Key_Escape), int(Qt::Key_Percent), int(Qt::Key_Adiaeresis),
                    int(Qt::Key_VolumeUp), int(Qt::Key_unknown)}) {
        EXPECT_FALSE(KeyCodes::forQtKey(key)) << key;
    }
    for (std::uint32_t keysym :
         {XK_Caps_Lock, XK_Escape, XK_KP_Begin, XK_percent, XK_eacute, XK_Control_L, XK_Num_Lock}) {
        EXPECT_FALSE(KeyCodes::forKeysym(keysym)) << keysym;
    }
    EXPECT_FALSE(KeyCodes::forVirtualKey(53)); // Escape
    EXPECT_FALSE(KeyCodes::forVirtualKey(1000));
}

TEST(KeyCodes, NoX11KeycodesWithoutAnXServer)
{
    // Unit tests run offscreen.
    EXPECT_FALSE(KeyCodes::canReadX11Keycodes());
    EXPECT_FALSE(KeyCodes::forX11Keycode(13));
}

TEST(KeyCodes, TheKeypadHasTheStoredModelsCodes)
{
    EXPECT_EQ(KeyCodes::forKeysym(XK_KP_0)->virtualKey, 82u);
    EXPECT_EQ(KeyCodes::forKeysym(XK_KP_7)->virtualKey, 89u);
    EXPECT_EQ(KeyCodes::forKeysym(XK_KP_8)->virtualKey, 91u);
    EXPECT_EQ(KeyCodes::forKeysym(XK_KP_Enter)->virtualKey, 76u);
    EXPECT_EQ(KeyCodes::forKeysym(XK_KP_Subtract)->virtualKey, 78u);
    EXPECT_EQ(KeyCodes::forQtKey((Qt::KeypadModifier | Qt::Key_5).toCombined())->virtualKey, 87u);
    EXPECT_EQ(KeyCodes::forKeyPress(Qt::Key_5, Qt::KeypadModifier, 0)->virtualKey, 87u);
    EXPECT_EQ(KeyCodes::forKeyPress(Qt::Key_5, Qt::NoModifier, 0)->virtualKey, 23u);
    // Any other modifier bit in a Qt key names no key.
    EXPECT_FALSE(KeyCodes::forQtKey((Qt::ControlModifier | Qt::Key_5).toCombined()));
}

TEST(KeyCodes, OtherKeysAreKnownByTheirKeysymButNeverModifiersOrLocks)
{
    const auto print = KeyCodes::forVirtualKey(KeyCodes::otherKeyBit | XK_Print);
    ASSERT_TRUE(print);
    EXPECT_EQ(print->keysym, std::uint32_t(XK_Print));
    EXPECT_EQ(print->qtKey, 0);
    EXPECT_TRUE(KeyCodes::forVirtualKey(KeyCodes::otherKeyBit | XK_Pause));
    EXPECT_TRUE(KeyCodes::forVirtualKey(KeyCodes::otherKeyBit | XK_eacute));
    for (std::uint32_t keysym : {XK_Shift_L, XK_Control_R, XK_Alt_L, XK_Super_L, XK_Caps_Lock,
                                 XK_Num_Lock, XK_ISO_Level3_Shift, XK_Mode_switch}) {
        EXPECT_FALSE(KeyCodes::isOtherKey(keysym)) << keysym;
        EXPECT_FALSE(KeyCodes::forVirtualKey(KeyCodes::otherKeyBit | keysym)) << keysym;
    }
    // A listed key has one code only.
    EXPECT_FALSE(KeyCodes::forVirtualKey(KeyCodes::otherKeyBit | XK_a));
}
