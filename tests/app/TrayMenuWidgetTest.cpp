#include "AppShell.h"
#include "AppTestSupport.h"

#include "app/MenuActions.h"
#include "app/PinnedScreenshotController.h"
#include "app/TrayMenu.h"
#include "capture/CaptureService.h"
#include "capture/hotkeys/CaptureAction.h"
#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::Defaults& settings()
{
    return platform::Defaults::standard();
}

// The menu's items as it shows them.
QStringList walk(const QMenu& menu)
{
    return apptest::menuItems(menu);
}

QAction* find(const QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions())
        if (action->text() == text) return action;
    return nullptr;
}

class TrayMenuTest : public ::testing::Test {
protected:
    void SetUp() override { settings().removeAllStored(); }
    void TearDown() override
    {
        shell.pins.closeAll();
        settings().removeAllStored();
    }

    // A menu as it is when it opens.
    std::unique_ptr<QMenu> opened()
    {
        auto menu = std::make_unique<QMenu>();
        TrayMenu::fill(menu.get(), shell.actions, shell.pins);
        return menu;
    }

    apptest::Shell shell;
};

} // namespace

TEST_F(TrayMenuTest, ListsTheCaptureItemsWithTheirFixedKeys)
{
    ASSERT_EQ(QGuiApplication::screens().size(), 1);
    const auto menu = opened();
    EXPECT_EQ(
        walk(*menu),
        (QStringList{"Open Snapkin", "Start Window", "---", "Capture Region\tCtrl+Alt+4",
                     "Capture Window\tCtrl+Alt+5", "Capture Front Window",
                     "Full Screen\tCtrl+Alt+3", "Recapture Last Region\tCtrl+Alt+Shift+4",
                     "Copy Text from Region\tCtrl+Alt+7", "Quick Capture >", "Capture Timer >",
                     "Open Image\u2026", "New from Clipboard", "---", "Quit Snapkin\tCtrl+Q"}));
    // Keys are shown, not bound: the global shortcuts do the work.
    for (QAction* action : menu->actions()) {
        if (action->shortcut().isEmpty()) continue;
        EXPECT_TRUE(action->isShortcutVisibleInContextMenu()) << action->text().toStdString();
        EXPECT_EQ(action->shortcutContext(), Qt::WidgetShortcut) << action->text().toStdString();
    }
    menu->popup(QPoint(0, 0));
    menu->grab().save(apptest::picturePath("tray-menu.png"));
    menu->hide();
    EXPECT_EQ(walk(*find(*menu, "Quick Capture")->menu()),
              (QStringList{"Region to Clipboard", "Region to File", "Full Screen to Clipboard",
                           "Full Screen to File"}));
}

TEST_F(TrayMenuTest, CaptureItemsRunTheirCaptureActions)
{
    QList<CaptureAction> ran;
    const auto previous = setCaptureActionRunner([&](CaptureAction a) { ran << a; });
    const auto menu = opened();
    for (const char* title : {"Capture Region", "Capture Window", "Capture Front Window",
                              "Full Screen", "Copy Text from Region"})
        find(*menu, title)->trigger();
    setCaptureActionRunner(previous);
    EXPECT_EQ(ran, (QList<CaptureAction>{CaptureAction::region, CaptureAction::window,
                                         CaptureAction::frontWindow, CaptureAction::fullScreen,
                                         CaptureAction::copyText}));
}

TEST_F(TrayMenuTest, RecaptureEnablesOnTheNextOpeningOnceARegionIsStored)
{
    TrayMenu tray(shell.actions, shell.pins);
    QMenu* menu = tray.menu();
    emit menu->aboutToShow();
    EXPECT_FALSE(find(*menu, "Recapture Last Region")->isEnabled());

    // [display, x, y, width, height]; an unknown display means the main one.
    settings().setValue("lastRegionRect", QVariantList{1.0, 10.0, 10.0, 200.0, 100.0});
    ASSERT_TRUE(shell.capture.loadLastRegion().has_value());
    emit menu->aboutToShow();
    EXPECT_TRUE(find(*menu, "Recapture Last Region")->isEnabled());
}

TEST_F(TrayMenuTest, TheTimerIsARadioGroupOverTheStoredDelay)
{
    auto menu = opened();
    QMenu* timer = find(*menu, "Capture Timer")->menu();
    ASSERT_NE(timer, nullptr);
    QStringList checked;
    for (QAction* a : timer->actions())
        if (a->isChecked()) checked << a->text();
    EXPECT_EQ(walk(*timer), (QStringList{"Off", "3s", "5s", "10s"}));
    EXPECT_EQ(checked, QStringList{"Off"});

    find(*timer, "5s")->trigger();
    EXPECT_EQ(settings().integerForKey("captureDelay"), 5);
    find(*timer, "5s")->trigger(); // choosing the marked item keeps it
    EXPECT_EQ(settings().integerForKey("captureDelay"), 5);
    menu = opened();
    EXPECT_TRUE(find(*find(*menu, "Capture Timer")->menu(), "5s")->isChecked());

    settings().setValue("captureDelay", 7); // not a choice: nothing marked
    menu = opened();
    for (QAction* a : find(*menu, "Capture Timer")->menu()->actions())
        EXPECT_FALSE(a->isChecked()) << a->text().toStdString();
}

TEST_F(TrayMenuTest, PinItemsAppearWithPinsAndUnlockOnlyWithLockedOnes)
{
    auto& pins = shell.pins;
    EXPECT_EQ(find(*opened(), "Close Pinned Screenshots"), nullptr);

    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::blue);
    PinnedScreenshotWindow* pin = pins.pin(image);
    auto menu = opened();
    EXPECT_NE(find(*menu, "Close Pinned Screenshots"), nullptr);
    EXPECT_EQ(find(*menu, "Unlock Pinned Screenshots"), nullptr);

    pin->lock();
    menu = opened();
    ASSERT_NE(find(*menu, "Unlock Pinned Screenshots"), nullptr);
    find(*menu, "Unlock Pinned Screenshots")->trigger();
    EXPECT_EQ(pins.lockedCount(), 0);
    EXPECT_EQ(find(*opened(), "Unlock Pinned Screenshots"), nullptr);

    find(*opened(), "Close Pinned Screenshots")->trigger();
    EXPECT_EQ(pins.count(), 0);
    EXPECT_EQ(find(*opened(), "Close Pinned Screenshots"), nullptr);
}

TEST_F(TrayMenuTest, ItemsOfWindowsNotInstalledStayHiddenUntilTheirHandlerArrives)
{
    auto& actions = shell.actions;
    int newsletterAnswers = 0;
    actions.setHandler(MenuActions::Handler::settings, [] { return true; });
    actions.setHandler(MenuActions::Handler::about, [] { return true; });
    actions.setHandler(MenuActions::Handler::newsletter, [&] {
        ++newsletterAnswers;
        return false; // may not interrupt now: a beep
    });
    actions.setHandler(MenuActions::Handler::welcome, [] { return true; });
    actions.setHandler(MenuActions::Handler::collageSideBySide, [] { return true; });
    actions.setHandler(MenuActions::Handler::collageStacked, [] { return true; });
    const auto menu = opened();
    const QStringList items = walk(*menu);
    const QStringList tail = items.mid(items.indexOf("New from Clipboard"));
    EXPECT_EQ(tail,
              (QStringList{"New from Clipboard", "New Collage\u2026 >", "---",
                           "Settings\u2026\tCtrl+,", "About Snapkin", "---", "Snapkin news\u2026",
                           "Welcome\u2026", "---", "Quit Snapkin\tCtrl+Q"}));
    EXPECT_EQ(walk(*find(*menu, "New Collage\u2026")->menu()),
              (QStringList{"Side by side", "Stacked"}));
    find(*menu, "Snapkin news\u2026")->trigger();
    EXPECT_EQ(newsletterAnswers, 1);
}

TEST(TrayMenuDisplays, ADisplayIsTitledWithItsNumberAndItsSizeInPixels)
{
    EXPECT_EQ(TrayMenu::displayLabel(1, QSize(1440, 900), 2.0),
              QString::fromUtf8("Display 2 — 2880×1800"));
    // A scaled size that is not whole loses its fraction.
    EXPECT_EQ(TrayMenu::displayLabel(0, QSize(1366, 769), 1.25),
              QString::fromUtf8("Display 1 — 1707×961"));
}

// The timer's seconds and the display titles keep their own form in every language: only the
// word "Display" and "Off" are translated.
TEST_F(TrayMenuTest, TimerAndDisplayTitlesKeepTheirFormInEveryLanguage)
{
    using platform::L10n;
    const struct {
        const char* language;
        const char* display;
    } cases[] = {{"de", "Bildschirm"}, {"ja", "ディスプレイ"}, {"es", "Pantalla"}, {"fr", "Écran"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        L10n::setLanguage(QString::fromLatin1(c.language));
        ASSERT_EQ(L10n::language(), QString::fromLatin1(c.language));
        const auto menu = opened();
        QMenu* timer = find(*menu, L10n::text("Capture Timer"))->menu();
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(walk(*timer), (QStringList{L10n::text("Off"), "3s", "5s", "10s"}));
        EXPECT_EQ(TrayMenu::displayLabel(11, QSize(6000, 3375), 2.0),
                  QString::fromUtf8(c.display) + QString::fromUtf8(" 12 — 12000×6750"));
    }
    L10n::setLanguage(QStringLiteral("en"));
}
