#include "SettingsTestSupport.h"

#include "capture/CaptureService.h"
#include "capture/hotkeys/HotkeyService.h"
#include "history/CaptureHistory.h"
#include "platform/Defaults.h"
#include "settings/EditorTab.h"
#include "settings/PreferencesWindow.h"
#include "settings/SettingsForm.h"
#include "ui/platform/Appearance.h"

#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

// The pixels a symbol drew and their mean lightness (0 black … 1 white).
struct Ink {
    int pixels = 0;
    double lightness = 0;
};

Ink inkOf(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.alpha() < 40) continue;
            ++ink.pixels;
            ink.lightness += colour.lightnessF();
        }
    }
    if (ink.pixels > 0) ink.lightness /= ink.pixels;
    return ink;
}

class PreferencesWindowTest : public ::testing::Test {
protected:
    void SetUp() override { settings().removeAllStored(); }
    void TearDown() override { settings().removeAllStored(); }
    platform::Defaults& settings() { return platform::Defaults::standard(); }

    CaptureHistory history{HistoryStore::defaultDirectory(), platform::Defaults::standard()};
    HotkeyService hotkeys;
    CaptureService capture{platform::Defaults::standard()};
};

TEST_F(PreferencesWindowTest, OpensOnGeneralThenOnTheTabLastChosenInAnyNewWindow)
{
    {
        PreferencesWindow window(settings(), history, hotkeys, capture);
        EXPECT_EQ(window.currentTag(), "general");
        EXPECT_EQ(window.size(), QSize(580, 560));
        ASSERT_EQ(window.tabs()->count(), 5);
        EXPECT_EQ(window.tabs()->tabText(4), "History");
        for (int i = 0; i < window.tabs()->count(); ++i)
            EXPECT_FALSE(window.tabs()->tabIcon(i).isNull()) << i;
        window.tabs()->setCurrentIndex(2);
        EXPECT_EQ(settings().stringForKey("settingsTab"), "shortcuts");
    }
    settings().reload(); // as after a restart
    PreferencesWindow reopened(settings(), history, hotkeys, capture);
    EXPECT_EQ(reopened.currentTag(), "shortcuts");
    EXPECT_EQ(reopened.size(), QSize(580, 560));

    settings().setValue("settingsTab", "bogus");
    PreferencesWindow unknown(settings(), history, hotkeys, capture);
    EXPECT_EQ(unknown.currentTag(), "general");
}

TEST_F(PreferencesWindowTest, TheFooterNamesTheVersionAndBuildAndCanBeSelected)
{
    EXPECT_EQ(VersionFooter::line("2.0", "45"), "Snapkin 2.0 (45)");
    EXPECT_EQ(VersionFooter::line("", ""), "Snapkin 1.0 (1)");
    PreferencesWindow window(settings(), history, hotkeys, capture);
    const auto footers = window.findChildren<VersionFooter*>();
    ASSERT_EQ(footers.size(), 1);
    EXPECT_TRUE(footers[0]->text().startsWith("Snapkin "));
    EXPECT_TRUE(footers[0]->textInteractionFlags() & Qt::TextSelectableByMouse);
}

TEST_F(PreferencesWindowTest, RowTitlesLineUpWhateverTheirSymbols)
{
    PreferencesWindow window(settings(), history, hotkeys, capture);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto labels = window.tabs()->widget(0)->findChildren<SettingsLabel*>();
    ASSERT_GE(labels.size(), 4);
    const int left = labels[0]->titleLabel()->mapTo(&window, QPoint()).x();
    for (SettingsLabel* label : labels) {
        if (!label->isVisible()) continue;
        EXPECT_EQ(label->titleLabel()->mapTo(&window, QPoint()).x(), left)
            << label->title().toStdString();
        EXPECT_EQ(label->iconLabel()->width(), 22);
    }
}

TEST_F(PreferencesWindowTest, EveryRowAndEveryStampShowsItsSymbolInLightAndDark)
{
    settings().setValue("exportFormat", "jpeg"); // so the quality row is there
    PreferencesWindow window(settings(), history, hotkeys, capture);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const QString look : {"light", "dark"}) {
        platform::Appearance::apply(look);
        QCoreApplication::processEvents();
        const bool dark = look == "dark";
        for (int i = 0; i < window.tabs()->count(); ++i) {
            const auto labels = window.tabs()->widget(i)->findChildren<SettingsLabel*>();
            ASSERT_FALSE(labels.isEmpty());
            for (SettingsLabel* label : labels) {
                const Ink ink = inkOf(label->iconLabel()->pixmap());
                EXPECT_GT(ink.pixels, 0)
                    << look.toStdString() << ": " << label->title().toStdString();
                if (ink.pixels > 0)
                    EXPECT_EQ(ink.lightness > 0.5, dark)
                        << look.toStdString() << ": " << label->title().toStdString();
            }
        }
        auto* editor = qobject_cast<EditorTab*>(window.tabs()->widget(3));
        ASSERT_NE(editor, nullptr);
        QComboBox* stamps = editor->stampPicker();
        ASSERT_EQ(stamps->count(), 7);
        for (int i = 0; i < stamps->count(); ++i) {
            const Ink ink = inkOf(stamps->itemIcon(i).pixmap(16));
            EXPECT_GT(ink.pixels, 0)
                << look.toStdString() << ": " << stamps->itemText(i).toStdString();
            if (ink.pixels > 0) EXPECT_EQ(ink.lightness > 0.5, dark);
        }
        // Pictures of the Capture and Editor tabs, every row of them.
        for (const int tab : {1, 3}) {
            window.tabs()->setCurrentIndex(tab);
            QTest::qWait(20);
            auto* form = qobject_cast<SettingsForm*>(window.tabs()->currentWidget());
            ASSERT_NE(form, nullptr);
            test::saveScreenshot(*form->widget(), "settings-" + PreferencesWindow::tags()[tab] +
                                                      "-rows-" + look + ".png");
        }
    }
    platform::Appearance::apply("system");
}

TEST_F(PreferencesWindowTest, WritesAPictureOfEveryTab)
{
    PreferencesWindow window(settings(), history, hotkeys, capture);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int i = 0; i < window.tabs()->count(); ++i) {
        window.tabs()->setCurrentIndex(i);
        QTest::qWait(20);
        test::saveScreenshot(window, "settings-" + PreferencesWindow::tags()[i] + ".png");
    }
    // The Capture tab scrolled to its end, where the watcher's section is.
    window.tabs()->setCurrentIndex(1);
    auto* form = qobject_cast<SettingsForm*>(window.tabs()->currentWidget());
    ASSERT_NE(form, nullptr);
    form->verticalScrollBar()->setValue(form->verticalScrollBar()->maximum());
    test::saveScreenshot(window, "settings-capture-end.png");
    window.tabs()->setCurrentIndex(0);
    platform::Appearance::apply("dark");
    QTest::qWait(20);
    test::saveScreenshot(window, "settings-general-dark.png");
    platform::Appearance::apply("system");
}

} // namespace
