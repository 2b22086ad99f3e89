#include "SettingsTestSupport.h"

#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/HotKeyRecorder.h"
#include "capture/hotkeys/HotkeyService.h"
#include "platform/Defaults.h"
#include "settings/ShortcutsTab.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;

class ShortcutsTabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        CaptureHotKey::registerDefaults();
        service.reload();
    }
    void TearDown() override { settings().removeAllStored(); }
    static platform::Defaults& settings() { return platform::Defaults::standard(); }

    void record(ShortcutsTab& tab, CaptureAction action, Qt::Key key)
    {
        HotKeyRecorder* recorder = tab.recorder(action);
        QTest::mouseClick(recorder, Qt::LeftButton, {},
                          recorder->rect().topRight() + QPoint(-4, 4));
        ASSERT_TRUE(recorder->isRecording());
        QTest::keyClick(recorder, key, ctrlAlt);
        ASSERT_FALSE(recorder->isRecording());
    }
    bool resetShown(ShortcutsTab& tab, CaptureAction action)
    {
        return !tab.resetButton(action)->isHidden();
    }

    test::FakeGrabber grabber;
    HotkeyService service{grabber};
};

TEST_F(ShortcutsTabTest, ResetShowsOnlyOffTheBuiltInCombinationAndRestoresIt)
{
    ShortcutsTab tab(service, true);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    for (const CaptureAction action : allCases<CaptureAction>)
        EXPECT_FALSE(resetShown(tab, action));

    record(tab, CaptureAction::region, Qt::Key_K);
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region).displayString(), "Ctrl+Alt+K");
    EXPECT_TRUE(grabber.isGrabbed(CaptureHotKey::load(CaptureAction::region)));
    EXPECT_TRUE(resetShown(tab, CaptureAction::region));
    EXPECT_FALSE(resetShown(tab, CaptureAction::window));
    // Rows with and without Reset are one height, their recorders in one column.
    QApplication::processEvents();
    QWidget* withReset = tab.recorder(CaptureAction::region)->parentWidget();
    QWidget* without = tab.recorder(CaptureAction::window)->parentWidget();
    EXPECT_EQ(withReset->height(), without->height());
    EXPECT_EQ(tab.recorder(CaptureAction::region)->x(), tab.recorder(CaptureAction::window)->x());

    tab.resetButton(CaptureAction::region)->click();
    EXPECT_FALSE(resetShown(tab, CaptureAction::region));
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region),
              CaptureHotKey::builtIn(CaptureAction::region));
    EXPECT_TRUE(grabber.isGrabbed(CaptureHotKey::builtIn(CaptureAction::region)));
    EXPECT_EQ(tab.recorder(CaptureAction::region)->text(), "Ctrl+Alt+4");
}

TEST_F(ShortcutsTabTest, AnotherActionsCombinationIsRefusedWhenRecordedAndWhenReset)
{
    ShortcutsTab tab(service, true);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    record(tab, CaptureAction::window, Qt::Key_4);
    EXPECT_EQ(tab.recorder(CaptureAction::window)->message(), "Already used by Capture Region");
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::window),
              CaptureHotKey::builtIn(CaptureAction::window));

    // Region moves away, window takes region's old combination, then region is reset.
    record(tab, CaptureAction::region, Qt::Key_K);
    record(tab, CaptureAction::window, Qt::Key_4);
    EXPECT_EQ(tab.recorder(CaptureAction::window)->message(), "");
    tab.resetButton(CaptureAction::region)->click();
    EXPECT_EQ(tab.recorder(CaptureAction::region)->message(), "Already used by Capture Window");
    EXPECT_EQ(CaptureHotKey::load(CaptureAction::region).displayString(), "Ctrl+Alt+K");
    EXPECT_TRUE(resetShown(tab, CaptureAction::region));
    EXPECT_TRUE(grabber.isGrabbed(CaptureHotKey::load(CaptureAction::region)));
}

TEST_F(ShortcutsTabTest, ARowSaysWhenTheDesktopRefusedItsShortcut)
{
    grabber.heldElsewhere << CaptureHotKey::builtIn(CaptureAction::fullScreen);
    service.reload();
    ShortcutsTab tab(service, true);
    EXPECT_EQ(tab.recorder(CaptureAction::fullScreen)->message(),
              "Another application uses this shortcut.");
    EXPECT_EQ(tab.recorder(CaptureAction::region)->message(), "");
    EXPECT_TRUE(tab.unavailableNote()->isHidden());
}

TEST_F(ShortcutsTabTest, WithoutX11TheRowsAreDisabledWithTheReason)
{
    ShortcutsTab tab(service, false);
    EXPECT_FALSE(tab.unavailableNote()->isHidden());
    EXPECT_EQ(tab.unavailableNote()->text(), "Global shortcuts need an X11 session.");
    for (const CaptureAction action : allCases<CaptureAction>)
        EXPECT_FALSE(tab.recorder(action)->isEnabled());
}

} // namespace
