#include "capture/hotkeys/CaptureHotKey.h"
#include "platform/Defaults.h"
#include "platform/KeyCodes.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::Defaults;

namespace {

constexpr std::uint32_t ctrlAlt = CaptureHotKey::ctrlMask | CaptureHotKey::altMask;

class CaptureHotKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Defaults::standard().removeAllStored();
        CaptureHotKey::registerDefaults();
    }
    void TearDown() override { Defaults::standard().removeAllStored(); }
};

std::optional<CaptureHotKey> press(int key, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
    return CaptureHotKey::from(event);
}

} // namespace

TEST_F(CaptureHotKeyTest, DefaultsAreTheBuiltInCombinationsShownAsTheDesktopWritesThem)
{
    const std::map<CaptureAction, QString> shown{
        {CaptureAction::region, "Ctrl+Alt+4"},
        {CaptureAction::window, "Ctrl+Alt+5"},
        {CaptureAction::frontWindow, "Ctrl+Alt+Shift+5"},
        {CaptureAction::fullScreen, "Ctrl+Alt+3"},
        {CaptureAction::lastRegion, "Ctrl+Alt+Shift+4"},
        {CaptureAction::copyText, "Ctrl+Alt+7"},
    };
    for (CaptureAction action : allCases<CaptureAction>) {
        const CaptureHotKey key = CaptureHotKey::load(action);
        EXPECT_EQ(key, CaptureHotKey::builtIn(action)) << toRaw(action).toStdString();
        EXPECT_EQ(key.displayString(), shown.at(action)) << toRaw(action).toStdString();
    }
    // Registered defaults are never written to the user's settings.
    EXPECT_TRUE(Defaults::standard().storedValues().isEmpty());
    // The stored model: virtual key code 21 with the Ctrl and Alt bits for region.
    EXPECT_EQ(Defaults::standard().integerForKey("captureHotKeyKeyCode"), 21);
    EXPECT_EQ(Defaults::standard().integerForKey("captureHotKeyModifiers"), 0x900);
    EXPECT_EQ(Defaults::standard().stringForKey("captureHotKeyFrontWindowKeyLabel"), "5");
    EXPECT_EQ(Defaults::standard().integerForKey("captureHotKeyFrontWindowModifiers"), 0xB00);
}

TEST_F(CaptureHotKeyTest, EachStoredFieldStandsOnItsOwn)
{
    Defaults& d = Defaults::standard();
    d.setValue("captureHotKeyWindowKeyCode", 40); // K; modifiers and label stay built in
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::window), (CaptureHotKey{40, ctrlAlt, "5"}));

    d.setValue("captureHotKeyCopyTextKeyLabel", "Seven");
    d.setValue("captureHotKeyCopyTextModifiers", 0x1100);
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::copyText), (CaptureHotKey{26, 0x1100, "Seven"}));
}

TEST_F(CaptureHotKeyTest, StoredValuesOfTheWrongTypeOrOutOfRangeFallBackToTheBuiltIn)
{
    Defaults& d = Defaults::standard();
    const CaptureHotKey builtIn = CaptureHotKey::builtIn(CaptureAction::region);
    for (const QVariant& bad : {QVariant(qint64(-1)), QVariant(qint64(4294967296LL)),
                                QVariant(QString("21")), QVariant(true), QVariant(2.5)}) {
        d.setValue("captureHotKeyKeyCode", bad);
        d.setValue("captureHotKeyModifiers", bad);
        d.setValue("captureHotKeyKeyLabel", 7);
        EXPECT_EQ(CaptureHotKey::load(CaptureAction::region), builtIn)
            << bad.toString().toStdString();
    }
    d.setValue("captureHotKeyKeyCode", qint64(4294967295LL));
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region).keyCode, 4294967295u);
}

TEST_F(CaptureHotKeyTest, SavedCombinationSurvivesARestart)
{
    const CaptureHotKey key{40, ctrlAlt, "K"};
    key.save(CaptureAction::region);
    Defaults::standard().reload();
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region), key);
    EXPECT_TRUE(Defaults::standard().isNumber("captureHotKeyKeyCode"));
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::window),
              CaptureHotKey::builtIn(CaptureAction::window));
}

TEST(CaptureHotKeyDisplay, GeneratedFromTheKeySequence)
{
    const CaptureHotKey superCtrlK{40, CaptureHotKey::superMask | CaptureHotKey::ctrlMask, "K"};
    EXPECT_EQ(superCtrlK.keySequence(),
              QKeySequence(Qt::MetaModifier | Qt::ControlModifier | Qt::Key_K));
    EXPECT_EQ(superCtrlK.displayString(),
              QKeySequence(Qt::MetaModifier | Qt::ControlModifier | Qt::Key_K)
                  .toString(QKeySequence::NativeText));
    EXPECT_TRUE(superCtrlK.displayString().endsWith("K"));
    EXPECT_EQ((CaptureHotKey{49, CaptureHotKey::ctrlMask, "Space"}).displayString(), "Ctrl+Space");
    EXPECT_EQ((CaptureHotKey{96, 0, "F5"}).displayString(), "F5");
    // A key the system does not know keeps its stored label after the modifiers.
    EXPECT_EQ((CaptureHotKey{300, ctrlAlt, "Key 300"}).displayString(), "Ctrl+Alt+Key 300");
}

TEST(CaptureHotKeyFromPress, NeedsCtrlAltOrSuperExceptForFunctionKeys)
{
    EXPECT_FALSE(press(Qt::Key_CapsLock, Qt::NoModifier));
    EXPECT_FALSE(press(Qt::Key_A, Qt::NoModifier));
    EXPECT_FALSE(press(Qt::Key_A, Qt::ShiftModifier));
    EXPECT_FALSE(press(Qt::Key_A, Qt::KeypadModifier));
    EXPECT_FALSE(press(Qt::Key_Control, Qt::ControlModifier));
    EXPECT_FALSE(press(Qt::Key_Escape, Qt::ControlModifier));
    EXPECT_EQ(press(Qt::Key_F5, Qt::NoModifier), (CaptureHotKey{96, 0, "F5"}));
    EXPECT_EQ(press(Qt::Key_F5, Qt::ShiftModifier),
              (CaptureHotKey{96, CaptureHotKey::shiftMask, "F5"}));
    EXPECT_EQ(press(Qt::Key_K, Qt::MetaModifier),
              (CaptureHotKey{40, CaptureHotKey::superMask, "K"}));
}

TEST(CaptureHotKeyFromPress, ReadsTheKeyAndOnlyTheFourModifiers)
{
    EXPECT_EQ(press(Qt::Key_5, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier),
              CaptureHotKey::builtIn(CaptureAction::frontWindow));
    EXPECT_EQ(press(Qt::Key_Return, Qt::ControlModifier)->keyLabel, "Return");
    EXPECT_EQ(press(Qt::Key_Backspace, Qt::AltModifier)->keyLabel, "Backspace");
    EXPECT_EQ(press(Qt::Key_Tab, Qt::AltModifier)->keyLabel, "Tab");
    EXPECT_EQ(press(Qt::Key_Space, Qt::ControlModifier)->keyLabel, "Space");
    EXPECT_EQ(press(Qt::Key_Left, Qt::ControlModifier)->keyLabel, "←");
    EXPECT_EQ(press(Qt::Key_K, Qt::ControlModifier | Qt::AltModifier)->displayString(),
              "Ctrl+Alt+K");
}

TEST_F(CaptureHotKeyTest, ConflictComparesKeyAndModifiersOnlyAndSkipsTheExcludedAction)
{
    // Same key and modifiers as the window action, another label.
    const CaptureHotKey relabelled{23, ctrlAlt, "%"};
    EXPECT_EQ(CaptureHotKey::conflict(relabelled, CaptureAction::region), CaptureAction::window);
    EXPECT_EQ(CaptureHotKey::conflict(relabelled, CaptureAction::window), std::nullopt);

    // With two actions on one combination, the first other one in order is reported, and the
    // excluded one never.
    CaptureHotKey::builtIn(CaptureAction::window).save(CaptureAction::copyText);
    EXPECT_EQ(CaptureHotKey::conflict(relabelled, CaptureAction::window), CaptureAction::copyText);
    EXPECT_EQ(CaptureHotKey::conflict(relabelled, CaptureAction::region), CaptureAction::window);

    EXPECT_EQ(CaptureHotKey::conflict({40, ctrlAlt, "K"}, std::nullopt), std::nullopt);
    // Shift makes another combination.
    EXPECT_EQ(CaptureHotKey::conflict({21, ctrlAlt | CaptureHotKey::shiftMask, "4"},
                                      CaptureAction::lastRegion),
              std::nullopt);
}

TEST(CaptureHotKeyFromPress, KeypadKeysAreKeysOfTheirOwn)
{
    constexpr std::uint32_t ctrlAltShift = ctrlAlt | CaptureHotKey::shiftMask;
    const auto five = press(Qt::Key_5, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                           Qt::KeypadModifier);
    ASSERT_TRUE(five);
    EXPECT_EQ(five->keyCode, 87u);
    EXPECT_EQ(five->modifiers, ctrlAltShift);
    EXPECT_FALSE(five->sameCombination(CaptureHotKey::builtIn(CaptureAction::frontWindow)));
    EXPECT_EQ(five->keySequence(),
              QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                           Qt::KeypadModifier | Qt::Key_5));
    EXPECT_EQ(press(Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier)->keyCode, 76u);
    EXPECT_EQ(press(Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier)->keyCode, 69u);
    EXPECT_EQ(press(Qt::Key_Asterisk, Qt::ControlModifier | Qt::KeypadModifier)->keyCode, 67u);
    // Enter of the main block is Return.
    EXPECT_EQ(press(Qt::Key_Enter, Qt::AltModifier)->keyCode, 36u);
    EXPECT_FALSE(press(Qt::Key_5, Qt::KeypadModifier)); // a modifier is still needed
}

TEST(CaptureHotKeyDisplay, AKeyWithoutANameShowsItsLabel)
{
    const std::uint32_t print = platform::KeyCodes::otherKeyBit | 0xff61; // XK_Print
    const CaptureHotKey ctrlPrint{print, CaptureHotKey::ctrlMask, "Key 107"};
    EXPECT_TRUE(ctrlPrint.keySequence().isEmpty());
    EXPECT_EQ(ctrlPrint.displayString(), "Ctrl+Key 107");
    EXPECT_TRUE(ctrlPrint.isUsableGlobally());
    // Alone it would take the key from every program, as any other key without a modifier.
    EXPECT_FALSE((CaptureHotKey{print, 0, "Key 107"}).isUsableGlobally());
    EXPECT_FALSE((CaptureHotKey{print, CaptureHotKey::shiftMask, "Key 107"}).isUsableGlobally());
}
