#include "HotKeyTestSupport.h"
#include "X11Support.h"

#include "capture/CaptureService.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/HotKeyRecorder.h"
#include "capture/hotkeys/HotkeyService.h"
#include "platform/Defaults.h"
#include "platform/X11Connection.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <X11/keysym.h>

using namespace snapkin;
using platform::X11Connection;
using Kind = HotKeyStatus::Kind;

namespace {

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// Waits until `count` actions ran, then a little longer so that a second, unwanted run would
// show up too.
QList<CaptureAction> runsAfter(const test::CaptureRecorder& captures, int count)
{
    test::waitUntil([&] { return captures.runs.size() >= count; }, 15000);
    test::waitUntil([] { return false; }, 300);
    return captures.runs;
}

class HotkeysX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Defaults::standard().removeAllStored();
        CaptureHotKey::registerDefaults();
    }
    void TearDown() override { platform::Defaults::standard().removeAllStored(); }

    HotkeyService& service() { return m_service; }
    test::CaptureRecorder captures;
    HotkeyService m_service;
};

// Another X client holding a key combination, as a desktop holds its own shortcuts.
class OtherClientGrab {
public:
    OtherClientGrab(xcb_keysym_t keysym, std::uint16_t modifiers)
        : m_connection(X11Connection::open()), m_modifiers(modifiers)
    {
        if (!m_connection) return;
        xcb_connection_t* c = m_connection->get();
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        if (codes) m_keycode = codes[0];
        std::free(codes);
        xcb_key_symbols_free(symbols);
        platform::XcbReply<xcb_generic_error_t> error(xcb_request_check(
            c, xcb_grab_key_checked(c, 1, m_connection->root(), modifiers, m_keycode,
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        m_grabbed = m_keycode != 0 && !error;
    }
    bool grabbed() const { return m_grabbed; }

private:
    std::shared_ptr<X11Connection> m_connection;
    std::uint16_t m_modifiers;
    xcb_keycode_t m_keycode = 0;
    bool m_grabbed = false;
};

constexpr std::uint16_t ctrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1; // Alt is Mod1 on Xvfb

// A window holding one recorder, shown and given the input focus as a settings window has it.
// Without that, the keyboard grab of each recording moves the focus to the window and its
// release takes it away again, and Qt deactivates the window a moment later: a recording
// started within that moment would end on its own, before any key is pressed.
class RecorderWindow {
public:
    RecorderWindow(CaptureAction action, HotkeyService& service)
    {
        auto* layout = new QVBoxLayout(&m_window);
        m_recorder = new HotKeyRecorder(action, service);
        layout->addWidget(m_recorder);
        m_window.show();
        m_active = QTest::qWaitForWindowExposed(&m_window);
        m_window.activateWindow();
        m_active = m_active && QTest::qWaitForWindowActive(&m_window, 15000);
    }
    bool active() const { return m_active; }
    HotKeyRecorder* recorder() const { return m_recorder; }
    // Clicks the field and says whether recording started.
    bool startRecording()
    {
        QTest::mouseClick(m_recorder, Qt::LeftButton, {}, m_recorder->rect().center());
        return m_recorder->isRecording();
    }
    // Whether the recording ended (on a press, a conflict or Escape) in time.
    bool recordingEnded()
    {
        return test::waitUntil([&] { return !m_recorder->isRecording(); }, 15000);
    }

private:
    QWidget m_window;
    HotKeyRecorder* m_recorder = nullptr;
    bool m_active = false;
};

} // namespace

TEST_F(HotkeysX11Test, ThePressedCombinationRunsItsActionOnceWhateverTheLockKeys)
{
    service().reload();
    for (CaptureAction action : allCases<CaptureAction>)
        ASSERT_EQ(service().status(action).kind, Kind::registered) << toRaw(action).toStdString();

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::region});

    ASSERT_TRUE(xdotool({"key", "Num_Lock"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    EXPECT_EQ(runsAfter(captures, 2), (QList{CaptureAction::region, CaptureAction::region}));
    ASSERT_TRUE(xdotool({"key", "Num_Lock", "Caps_Lock"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    EXPECT_EQ(runsAfter(captures, 3), QList<CaptureAction>(3, CaptureAction::region));
    ASSERT_TRUE(xdotool({"key", "Caps_Lock"}));

    // Shift makes the other action of the same key; Shift alone with the key does nothing.
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+shift+5", "shift+5", "5"}));
    EXPECT_EQ(runsAfter(captures, 4).mid(3), QList{CaptureAction::frontWindow});
}

TEST_F(HotkeysX11Test, HoldingTheCombinationRunsItOnce)
{
    service().reload();
    ASSERT_TRUE(xdotool({"keydown", "ctrl+alt+3"}));
    test::waitUntil([] { return false; }, 1200); // long enough for the keyboard to repeat
    ASSERT_TRUE(xdotool({"keyup", "ctrl+alt+3"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::fullScreen});
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+3"}));
    EXPECT_EQ(runsAfter(captures, 2),
              (QList{CaptureAction::fullScreen, CaptureAction::fullScreen}));
}

TEST_F(HotkeysX11Test, WorksWhileAWindowManagerGivesAnotherWindowTheFocus)
{
    test::WindowManager manager;
    ASSERT_TRUE(manager.running());
    test::ColorWindow window("Focused", Qt::darkCyan, QRect(100, 100, 300, 200), false);
    ASSERT_TRUE(xdotool({"windowactivate", "--sync", QString::number(window.xid())}));
    service().reload();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+7"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::copyText});
}

TEST_F(HotkeysX11Test, AfterRecordingAnotherCombinationOnlyTheNewOneFires)
{
    service().reload();
    CaptureHotKey{40, CaptureHotKey::ctrlMask | CaptureHotKey::altMask, "K"}.save(
        CaptureAction::region);
    service().reload();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4", "ctrl+alt+k"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::region});
    // The old combination reached the focused window instead: nothing else ran.
    EXPECT_EQ(captures.runs.size(), 1);
}

TEST_F(HotkeysX11Test, ACombinationAnotherClientHoldsIsReportedAndReleasedEntirely)
{
    // The other client holds only the Caps Lock variant, so some of ours succeed before one
    // is refused: those must be let go again.
    OtherClientGrab other(XK_5, ctrlAlt | XCB_MOD_MASK_LOCK);
    ASSERT_TRUE(other.grabbed());
    service().reload();
    EXPECT_EQ(service().status(CaptureAction::window).kind, Kind::refused);
    EXPECT_EQ(service().status(CaptureAction::window).userMessage(),
              "Another application uses this shortcut.");
    for (CaptureAction action :
         {CaptureAction::region, CaptureAction::frontWindow, CaptureAction::fullScreen,
          CaptureAction::lastRegion, CaptureAction::copyText})
        EXPECT_EQ(service().status(action).kind, Kind::registered) << toRaw(action).toStdString();

    // A third client can take the plain variant: nothing of ours was left behind.
    OtherClientGrab third(XK_5, ctrlAlt);
    EXPECT_TRUE(third.grabbed());

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+5", "ctrl+alt+3"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::fullScreen});
}

TEST_F(HotkeysX11Test, SuspendedShortcutsReachTheFocusedWindowAndComeBackOnResume)
{
    service().reload();
    service().suspend();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    test::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(captures.runs.isEmpty());
    service().resume();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::region});
}

TEST_F(HotkeysX11Test, AChangedModifierMappingIsFollowed)
{
    service().reload();
    // Alt moves from Mod1 to Mod3, as some keyboard setups have it.
    ASSERT_EQ(QProcess::execute("xmodmap", {"-e", "clear mod1", "-e", "add mod3 = Alt_L Alt_R"}),
              0);
    test::waitUntil([] { return false; }, 300);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::region});
}

TEST_F(HotkeysX11Test, ARecorderGetsAnotherActionsCombinationInsteadOfACapture)
{
    service().reload();
    RecorderWindow window(CaptureAction::region, service());
    ASSERT_TRUE(window.active());
    HotKeyRecorder* recorder = window.recorder();
    ASSERT_TRUE(window.startRecording());

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+5"}));
    ASSERT_TRUE(window.recordingEnded());
    EXPECT_EQ(recorder->message(), "Already used by Capture Window");
    // Shift does not change the key read from the keyboard: this is 5, not %.
    ASSERT_TRUE(window.startRecording());
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+shift+5"}));
    ASSERT_TRUE(window.recordingEnded());
    EXPECT_EQ(recorder->message(), "Already used by Capture Front Window");
    test::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(captures.runs.isEmpty());

    // A free combination is taken, and the global shortcuts are back with it.
    recorder->setOnChange([&](const CaptureHotKey&) { service().reload(); });
    ASSERT_TRUE(window.startRecording());
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+k"}));
    ASSERT_TRUE(window.recordingEnded());
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+K");
    EXPECT_EQ(service().status(CaptureAction::region).kind, Kind::registered);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+k", "ctrl+alt+5"}));
    EXPECT_EQ(runsAfter(captures, 2), (QList{CaptureAction::region, CaptureAction::window}));
}

TEST_F(HotkeysX11Test, DigitsOnTheShiftedLevelOfALayoutStillServe)
{
    // On a French layout the digit keys give punctuation unless shifted.
    ASSERT_EQ(QProcess::execute("setxkbmap", {"fr"}), 0);
    service().reload();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+parenleft"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::window});

    RecorderWindow window(CaptureAction::region, service());
    ASSERT_TRUE(window.active());
    ASSERT_TRUE(window.startRecording());
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+parenleft"}));
    ASSERT_TRUE(window.recordingEnded());
    EXPECT_EQ(window.recorder()->message(), "Already used by Capture Window");
}

TEST_F(HotkeysX11Test, KeypadKeysAndKeysWithoutANameAreRecordedAndServe)
{
    service().reload();
    RecorderWindow window(CaptureAction::region, service());
    ASSERT_TRUE(window.active());
    HotKeyRecorder* recorder = window.recorder();
    recorder->setOnChange([&](const CaptureHotKey&) { service().reload(); });

    // The keypad's Enter is a key of its own, apart from Return.
    ASSERT_TRUE(window.startRecording());
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+KP_Enter"}));
    ASSERT_TRUE(window.recordingEnded());
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region).keyCode, 76u);
    EXPECT_EQ(recorder->text(), QKeySequence(Qt::ControlModifier | Qt::AltModifier |
                                             Qt::KeypadModifier | Qt::Key_Enter)
                                    .toString(QKeySequence::NativeText));
    EXPECT_EQ(service().status(CaptureAction::region).kind, Kind::registered);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+Return", "ctrl+alt+KP_Enter"}));
    EXPECT_EQ(runsAfter(captures, 1), QList{CaptureAction::region});

    // A keypad digit, with Num Lock on as when typing numbers.
    ASSERT_TRUE(xdotool({"key", "Num_Lock"}));
    ASSERT_TRUE(window.startRecording());
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+KP_7"}));
    ASSERT_TRUE(window.recordingEnded());
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region).keyCode, 89u);
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region).modifiers,
              CaptureHotKey::ctrlMask | CaptureHotKey::altMask);
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+KP_7"}));
    EXPECT_EQ(runsAfter(captures, 2), (QList{CaptureAction::region, CaptureAction::region}));

    // Print has no code in the stored model: it is known by its number. Alone it is refused,
    // and the recorder keeps waiting.
    ASSERT_TRUE(window.startRecording());
    ASSERT_TRUE(xdotool({"key", "Print"}));
    test::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(recorder->isRecording());
    ASSERT_TRUE(xdotool({"key", "ctrl+Print"}));
    ASSERT_TRUE(window.recordingEnded());
    const CaptureHotKey print = CaptureHotKey::load(CaptureAction::region);
    EXPECT_TRUE(print.keyLabel.startsWith("Key ")) << print.keyLabel.toStdString();
    EXPECT_EQ(recorder->text(), "Ctrl+" + print.keyLabel);
    EXPECT_EQ(service().status(CaptureAction::region).kind, Kind::registered);
    ASSERT_TRUE(xdotool({"key", "ctrl+Print"}));
    EXPECT_EQ(runsAfter(captures, 3),
              (QList{CaptureAction::region, CaptureAction::region, CaptureAction::region}));
}

TEST_F(HotkeysX11Test, AFunctionKeyServesAloneAndSuperNeedsAKeyThatGivesIt)
{
    CaptureHotKey{96, 0, "F5"}.save(CaptureAction::fullScreen);
    CaptureHotKey{40, CaptureHotKey::superMask | CaptureHotKey::ctrlMask, "K"}.save(
        CaptureAction::copyText);
    service().reload();
    EXPECT_EQ(service().status(CaptureAction::copyText).kind, Kind::registered);
    ASSERT_TRUE(xdotool({"key", "F5", "super+ctrl+k"}));
    EXPECT_EQ(runsAfter(captures, 2), (QList{CaptureAction::fullScreen, CaptureAction::copyText}));

    // Without a Super key in the modifier map, the combination cannot be had.
    ASSERT_EQ(QProcess::execute("xmodmap", {"-e", "clear mod4"}), 0);
    EXPECT_TRUE(test::waitUntil(
        [&] { return service().status(CaptureAction::copyText).kind == Kind::unavailable; }));
    EXPECT_EQ(service().status(CaptureAction::copyText).userMessage(),
              "This key is not on the keyboard.");
    EXPECT_EQ(service().status(CaptureAction::region).kind, Kind::registered);
}

TEST_F(HotkeysX11Test, InAWaylandSessionNothingIsGrabbedAndEachActionSaysWhy)
{
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    service().reload();
    qunsetenv("WAYLAND_DISPLAY");
    for (CaptureAction action : allCases<CaptureAction>) {
        EXPECT_EQ(service().status(action).userMessage(), "Global shortcuts need an X11 session.");
    }
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    test::waitUntil([] { return false; }, 300);
    EXPECT_TRUE(captures.runs.isEmpty());
}

TEST(HotkeysToCaptureX11Test, TheFullScreenShortcutTakesAPictureThroughTheCaptureService)
{
    platform::Defaults::standard().removeAllStored();
    CaptureHotKey::registerDefaults();
    // The capture service and its runner as the application installs them.
    CaptureService capture(platform::Defaults::standard());
    const CaptureActionRunner previous =
        setCaptureActionRunner([&capture](CaptureAction action) { runOn(capture, action); });
    QSignalSpy ended(&capture, &CaptureService::captureEnded);
    HotkeyService hotkeys;
    hotkeys.reload();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+3"}));
    EXPECT_TRUE(test::waitUntil([&] { return ended.count() == 1; }, 20000));
    setCaptureActionRunner(previous);
}
