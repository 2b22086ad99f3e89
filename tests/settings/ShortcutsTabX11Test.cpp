#include "capture/hotkeys/CaptureAction.h"
#include "capture/hotkeys/CaptureHotKey.h"
#include "capture/hotkeys/HotKeyRecorder.h"
#include "capture/hotkeys/HotkeyService.h"
#include "platform/Defaults.h"
#include "platform/GlobalHotKeys.h"
#include "settings/ShortcutsTab.h"

#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

class ShortcutsTabX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::Defaults::standard().removeAllStored();
        CaptureHotKey::registerDefaults();
        hotkeys.reload();
        m_previous = setCaptureActionRunner([this](CaptureAction action) { runs << action; });
    }
    void TearDown() override
    {
        setCaptureActionRunner(m_previous);
        platform::Defaults::standard().removeAllStored();
        hotkeys.reload();
    }

    HotkeyService hotkeys;
    QList<CaptureAction> runs;
    CaptureActionRunner m_previous;
};

TEST_F(ShortcutsTabX11Test, ACombinationRecordedInTheTabFiresAsAGlobalShortcut)
{
    ASSERT_TRUE(platform::GlobalHotKeys::isAvailable());
    ShortcutsTab tab(hotkeys);
    tab.resize(580, 500);
    tab.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tab));
    // Focused as a settings window is: the recording's keyboard grab then moves no focus, and
    // its release does not deactivate the window (which would end a recording early).
    tab.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tab, 15000));
    HotKeyRecorder* recorder = tab.recorder(CaptureAction::region);
    ASSERT_TRUE(recorder->isEnabled());
    QTest::mouseClick(recorder, Qt::LeftButton, {}, recorder->rect().topRight() + QPoint(-4, 4));
    ASSERT_TRUE(recorder->isRecording());

    ASSERT_TRUE(xdotool({"key", "ctrl+alt+k"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder->isRecording(); }, 15000));
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+K");
    EXPECT_FALSE(tab.resetButton(CaptureAction::region)->isHidden());
    EXPECT_TRUE(runs.isEmpty());

    // The new combination starts the capture from anywhere; the old one no longer does.
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4", "ctrl+alt+k"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !runs.isEmpty(); }, 15000));
    QTest::qWait(300);
    EXPECT_EQ(runs, QList{CaptureAction::region});

    // Reset brings the built-in combination back at once.
    tab.resetButton(CaptureAction::region)->click();
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+4"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return runs.size() == 2; }, 15000));
    EXPECT_EQ(runs.last(), CaptureAction::region);
}

} // namespace
