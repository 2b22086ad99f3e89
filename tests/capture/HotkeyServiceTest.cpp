#include "HotKeyTestSupport.h"

#include "capture/hotkeys/GlobalHotKey.h"
#include "capture/hotkeys/HotkeyService.h"
#include "platform/Defaults.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace snapkin;
using Kind = HotKeyStatus::Kind;

namespace {

class HotkeyServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Defaults::standard().removeAllStored();
        CaptureHotKey::registerDefaults();
    }
    void TearDown() override { platform::Defaults::standard().removeAllStored(); }

    CaptureHotKey builtIn(CaptureAction action) { return CaptureHotKey::builtIn(action); }

    test::FakeGrabber grabber;
    test::CaptureRecorder captures;
};

} // namespace

TEST_F(HotkeyServiceTest, ReloadingTwiceLeavesOneGrabPerCombinationAndPressesRunTheirActions)
{
    HotkeyService service(grabber);
    service.reload();
    service.reload();
    EXPECT_EQ(grabber.grabs.size(), 6u);
    for (CaptureAction action : allCases<CaptureAction>) {
        EXPECT_EQ(service.status(action).kind, Kind::registered);
        EXPECT_TRUE(service.status(action).userMessage().isEmpty());
    }
    ASSERT_TRUE(grabber.press(builtIn(CaptureAction::frontWindow)));
    ASSERT_TRUE(grabber.press(builtIn(CaptureAction::region)));
    EXPECT_EQ(captures.runs, (QList{CaptureAction::frontWindow, CaptureAction::region}));
}

TEST_F(HotkeyServiceTest, ACombinationStoredTwiceIsRegisteredForTheEarlierActionOnly)
{
    // The same key and modifiers as the window action under another label.
    CaptureHotKey{23, 0x900, "%"}.save(CaptureAction::copyText);
    HotkeyService service(grabber);
    service.reload();
    EXPECT_EQ(grabber.grabs.size(), 5u);
    EXPECT_EQ(service.status(CaptureAction::window).kind, Kind::registered);
    const HotKeyStatus copyText = service.status(CaptureAction::copyText);
    EXPECT_EQ(copyText.kind, Kind::duplicate);
    EXPECT_EQ(copyText.sameAs, CaptureAction::window);
    EXPECT_EQ(copyText.userMessage(), "Already used by Capture Window");
    grabber.press(builtIn(CaptureAction::window));
    EXPECT_EQ(captures.runs, QList{CaptureAction::window});
}

TEST_F(HotkeyServiceTest, ARefusedCombinationIsReportedAndTheOthersStillRegister)
{
    grabber.heldElsewhere = {builtIn(CaptureAction::window)};
    HotkeyService service(grabber);
    QSignalSpy changed(&service, &HotkeyService::statusChanged);
    service.reload();
    EXPECT_EQ(service.status(CaptureAction::window).kind, Kind::refused);
    EXPECT_EQ(service.status(CaptureAction::window).userMessage(),
              "Another application uses this shortcut.");
    EXPECT_EQ(grabber.grabs.size(), 5u);
    EXPECT_EQ(service.status(CaptureAction::frontWindow).kind, Kind::registered);
    EXPECT_EQ(changed.count(), 6);

    // Once the other application lets go, a reload takes it; only that status changes.
    grabber.heldElsewhere.clear();
    changed.clear();
    service.reload();
    EXPECT_EQ(service.status(CaptureAction::window).kind, Kind::registered);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<CaptureAction>(), CaptureAction::window);
}

TEST_F(HotkeyServiceTest, ShiftAloneOrAnUnknownKeyIsNotGrabbed)
{
    CaptureHotKey{0, CaptureHotKey::shiftMask, "A"}.save(CaptureAction::region);
    CaptureHotKey{500, 0x900, "Key 500"}.save(CaptureAction::window);
    CaptureHotKey{96, 0, "F5"}.save(CaptureAction::fullScreen);
    HotkeyService service(grabber);
    service.reload();
    EXPECT_EQ(service.status(CaptureAction::region).kind, Kind::unavailable);
    EXPECT_FALSE(service.status(CaptureAction::region).userMessage().isEmpty());
    EXPECT_EQ(service.status(CaptureAction::window).kind, Kind::unavailable);
    EXPECT_EQ(service.status(CaptureAction::fullScreen).kind, Kind::registered);
    EXPECT_EQ(grabber.grabs.size(), 4u);
}

TEST_F(HotkeyServiceTest, StaleZeroAndUnknownIdentifiersRunNothing)
{
    HotkeyService service(grabber);
    service.reload();
    const quint64 before = grabber.grabs.begin()->first;
    service.reload();
    EXPECT_FALSE(grabber.grabs.contains(before)); // identifiers are never reused
    GlobalHotKey::dispatch(before);
    GlobalHotKey::dispatch(0);
    GlobalHotKey::dispatch(grabber.grabs.rbegin()->first + 1000);
    EXPECT_TRUE(captures.runs.isEmpty());
}

TEST_F(HotkeyServiceTest, SuspendReleasesEveryGrabAndResumeRegistersTheStoredOnes)
{
    HotkeyService service(grabber);
    service.reload();
    service.suspend();
    service.suspend();
    EXPECT_TRUE(grabber.grabs.empty());
    EXPECT_FALSE(grabber.press(builtIn(CaptureAction::region)));
    // A change recorded meanwhile is picked up when the grabs come back, not before.
    const CaptureHotKey ctrlAltK{40, 0x900, "K"};
    ctrlAltK.save(CaptureAction::region);
    service.reload();
    EXPECT_TRUE(grabber.grabs.empty());
    // Statuses keep their last value while suspended.
    EXPECT_EQ(service.status(CaptureAction::region).kind, Kind::registered);
    service.resume();
    EXPECT_TRUE(grabber.grabs.empty());
    service.resume();
    EXPECT_EQ(grabber.grabs.size(), 6u);
    EXPECT_TRUE(grabber.isGrabbed(ctrlAltK));
    EXPECT_FALSE(grabber.isGrabbed(builtIn(CaptureAction::region)));
    service.resume(); // unmatched: nothing happens
    EXPECT_FALSE(service.isSuspended());
    EXPECT_EQ(grabber.grabs.size(), 6u);
}

TEST_F(HotkeyServiceTest, AnActionThatReloadsFromItsOwnPressIsSafe)
{
    HotkeyService service(grabber);
    setCaptureActionRunner([&](CaptureAction action) {
        captures.runs.append(action);
        service.reload();
    });
    service.reload();
    grabber.press(builtIn(CaptureAction::region));
    EXPECT_EQ(captures.runs, QList{CaptureAction::region});
    EXPECT_EQ(grabber.grabs.size(), 6u);
}

TEST_F(HotkeyServiceTest, DestroyingTheServiceReleasesItsGrabs)
{
    {
        HotkeyService service(grabber);
        service.reload();
    }
    EXPECT_TRUE(grabber.grabs.empty());
}

TEST_F(HotkeyServiceTest, WithoutAnXServerEveryActionSaysWhy)
{
    // Unit tests run offscreen, as under Wayland: nothing can be grabbed.
    HotkeyService application;
    application.reload();
    for (CaptureAction action : allCases<CaptureAction>) {
        EXPECT_EQ(application.status(action).kind, Kind::unavailable);
        EXPECT_EQ(application.status(action).userMessage(),
                  "Global shortcuts need an X11 session.");
    }
}
