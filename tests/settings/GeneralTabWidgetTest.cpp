#include "platform/Defaults.h"
#include "platform/LoginItem.h"
#include "settings/AppearanceTile.h"
#include "settings/GeneralTab.h"
#include "settings/SettingsHooks.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

class GeneralTabTest : public ::testing::Test {
protected:
    void SetUp() override { settings().removeAllStored(); }
    void TearDown() override { settings().removeAllStored(); }
    // The shell's side, as the application hands it to the tab.
    SettingsHooks shell()
    {
        return {.applyPresence = [this] { ++presenceSteps; },
                .trayAvailable = [this] { return tray; }};
    }
    platform::Defaults& settings() { return platform::Defaults::standard(); }

    AppearanceTile* tile(GeneralTab& tab, const QString& value)
    {
        for (AppearanceTile* t : tab.appearanceTiles())
            if (t->value() == value) return t;
        return nullptr;
    }

    int presenceSteps = 0;
    bool tray = true;
};

TEST_F(GeneralTabTest, TheDarkTileDarkensTheApplicationAtOnceAndSystemBringsItsLookBack)
{
    const QColor before = QApplication::palette().color(QPalette::Window);
    GeneralTab tab(settings(), shell());
    ASSERT_TRUE(tile(tab, "system")->isChecked());

    QTest::mouseClick(tile(tab, "dark"), Qt::LeftButton);
    EXPECT_EQ(settings().stringForKey("appearance"), "dark");
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 80);
    EXPECT_TRUE(tile(tab, "dark")->isChecked());
    EXPECT_FALSE(tile(tab, "system")->isChecked());
    // Notes stay readable: light text on the dark window.
    EXPECT_GT(tab.noTrayNote()->palette().color(QPalette::WindowText).lightness(), 150);
    // The chosen tile wears the wide accent border, the others a faint one.
    const QImage dark = tile(tab, "dark")->preview();
    const QImage light = tile(tab, "light")->preview();
    const QColor accent = QApplication::palette().color(QPalette::Highlight);
    EXPECT_LE(std::abs(dark.pixelColor(34, 1).hue() - accent.hue()), 12);
    EXPECT_GT(light.pixelColor(34, 1).lightness(), 150);

    QTest::mouseClick(tile(tab, "system"), Qt::LeftButton);
    EXPECT_EQ(settings().stringForKey("appearance"), "system");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), before);
}

TEST_F(GeneralTabTest, TheOnlyWayLeftToReachSnapkinCannotBeTurnedOff)
{
    settings().setValue("showInDock", true);
    settings().setValue("showInMenuBar", false);
    GeneralTab tab(settings(), shell());
    EXPECT_FALSE(tab.taskbarToggle()->isEnabled());
    EXPECT_TRUE(tab.trayToggle()->isEnabled());
    EXPECT_TRUE(tab.noTrayNote()->isHidden());

    tab.trayToggle()->click();
    EXPECT_TRUE(settings().boolForKey("showInMenuBar"));
    EXPECT_TRUE(tab.taskbarToggle()->isEnabled());
    EXPECT_EQ(presenceSteps, 1);

    tab.taskbarToggle()->click();
    EXPECT_FALSE(settings().boolForKey("showInDock"));
    EXPECT_FALSE(tab.trayToggle()->isEnabled());
    EXPECT_EQ(presenceSteps, 2);
}

TEST_F(GeneralTabTest, WithoutATrayTheTrayToggleIsDisabledAndTheTaskbarHoldsOn)
{
    tray = false;
    settings().setValue("showInDock", true);
    GeneralTab tab(settings(), shell());
    EXPECT_FALSE(tab.trayToggle()->isEnabled());
    EXPECT_FALSE(tab.taskbarToggle()->isEnabled());
    EXPECT_FALSE(tab.noTrayNote()->isHidden());
    EXPECT_EQ(tab.noTrayNote()->text(), "No system tray was found on this desktop.");
}

TEST_F(GeneralTabTest, WithoutATrayTheTaskbarShowsTickedWhateverIsStoredAndKeepsTheStoredChoice)
{
    tray = false;
    settings().setValue("showInDock", false);
    settings().setValue("showInMenuBar", true);
    GeneralTab tab(settings(), shell());
    // Snapkin lives in the taskbar without a tray: the box says so and cannot be unticked;
    // nor does the tray's box claim a tray icon that isn't there.
    EXPECT_TRUE(tab.taskbarToggle()->isChecked());
    EXPECT_FALSE(tab.taskbarToggle()->isEnabled());
    EXPECT_FALSE(tab.trayToggle()->isChecked());
    EXPECT_FALSE(tab.trayToggle()->isEnabled());
    // Showing it wrote nothing: with a tray again, the choice made then holds.
    EXPECT_FALSE(settings().boolForKey("showInDock"));
    EXPECT_TRUE(settings().boolForKey("showInMenuBar"));
    EXPECT_EQ(presenceSteps, 0);

    // A change from elsewhere (another window, a second instance) leaves the box ticked.
    settings().setValue("showInMenuBar", false);
    settings().setValue("showInMenuBar", true);
    EXPECT_TRUE(tab.taskbarToggle()->isChecked());
    EXPECT_FALSE(tab.trayToggle()->isChecked());
    EXPECT_FALSE(settings().boolForKey("showInDock"));

    // With a tray, the stored choice shows again.
    tray = true;
    GeneralTab withTray(settings(), shell());
    EXPECT_FALSE(withTray.taskbarToggle()->isChecked());
    EXPECT_TRUE(withTray.taskbarToggle()->isEnabled());
    EXPECT_TRUE(withTray.trayToggle()->isChecked());
}

TEST_F(GeneralTabTest, ALanguageChoiceIsStoredAndAsksForARestart)
{
    GeneralTab tab(settings(), shell());
    EXPECT_EQ(tab.languagePicker()->currentData().toString(), "system");
    EXPECT_TRUE(tab.restartNote()->isHidden());
    const int german = tab.languagePicker()->findData("de");
    tab.languagePicker()->setCurrentIndex(german);
    emit tab.languagePicker()->activated(german);
    EXPECT_EQ(settings().stringForKey("appLanguage"), "de");
    EXPECT_FALSE(tab.restartNote()->isHidden());

    settings().setValue("appLanguage", "tlh");
    GeneralTab unknown(settings(), shell());
    EXPECT_EQ(unknown.languagePicker()->currentIndex(), -1);
}

TEST_F(GeneralTabTest, OpenAtLoginFollowsTheAutostartEntryAndGoesBackWhenWritingFails)
{
    QTemporaryDir config;
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    {
        GeneralTab tab(settings(), shell());
        EXPECT_FALSE(tab.loginToggle()->isChecked());
        tab.loginToggle()->click();
        EXPECT_TRUE(platform::LoginItem::isEnabled());
        tab.loginToggle()->click();
        EXPECT_FALSE(QFile::exists(platform::LoginItem::entryPath()));

        // A file where the autostart folder goes: the toggle shows the truth again.
        ASSERT_TRUE(QDir(config.path() + "/autostart").removeRecursively());
        QFile blocker(config.path() + "/autostart");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        tab.loginToggle()->click();
        EXPECT_FALSE(tab.loginToggle()->isChecked());
    }
    qputenv("XDG_CONFIG_HOME", previous);
}

TEST_F(GeneralTabTest, WelcomeOnLaunchDefaultsOnAndIsStored)
{
    GeneralTab tab(settings(), shell());
    EXPECT_TRUE(tab.welcomeToggle()->isChecked());
    tab.welcomeToggle()->click();
    EXPECT_EQ(settings().object("showOnboardingOnLaunch"), QVariant(false));
}

} // namespace
