#include "capture/SystemScreenshotFolderPanel.h"
#include "capture/SystemScreenshotWatcher.h"
#include "platform/Defaults.h"
#include "settings/CaptureTab.h"

#include "SettingsTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontMetricsF>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include <set>

using namespace snapkin;

namespace {

class AnsweringPanel : public SystemScreenshotFolderPanel {
public:
    std::optional<QString> run(const QString&) override
    {
        ++runs;
        return answer;
    }
    std::optional<QString> answer;
    int runs = 0;
};

void choose(QComboBox* picker, const QString& data)
{
    const int index = picker->findData(data);
    ASSERT_GE(index, 0);
    picker->setCurrentIndex(index);
    emit picker->activated(index);
}

class CaptureTabTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings().removeAllStored();
        watcher.setFolderPanel(&panel);
        services.chooseFolder = [this](const QString&) { return chosenFolder; };
        services.setDefaultSaveFolder = [this](const QString& folder) {
            settings().setValue("defaultSaveFolder", folder);
            settings().setValue("defaultSaveFolderBookmark", folder);
        };
        services.watcher = &watcher;
    }
    void TearDown() override { settings().removeAllStored(); }
    static platform::Defaults& settings() { return platform::Defaults::standard(); }

    SystemScreenshotWatcher watcher{settings()};
    AnsweringPanel panel;
    std::optional<QString> chosenFolder;
    CaptureTab::Services services;
};

TEST_F(CaptureTabTest, EmptySettingsShowTheDefaultsTheRestOfSnapkinAssumes)
{
    CaptureTab tab(settings(), services);
    EXPECT_TRUE(tab.toggle("afterCaptureShow")->isChecked());
    EXPECT_FALSE(tab.toggle("afterCaptureCopy")->isChecked());
    EXPECT_FALSE(tab.toggle("afterCaptureSaveToDisk")->isChecked());
    EXPECT_EQ(tab.toggle("afterCaptureQuickAccess"), nullptr);
    EXPECT_EQ(tab.formatPicker()->currentText(), "PNG");
    EXPECT_TRUE(tab.qualityRow()->isHidden());
    EXPECT_TRUE(tab.qualityNote()->isHidden());
    EXPECT_EQ(tab.folderText()->text(), "System default");
    EXPECT_TRUE(tab.folderResetButton()->isHidden());
    EXPECT_TRUE(tab.toggle("showMagnifierWhileSelecting")->isChecked());
    EXPECT_FALSE(tab.toggle("freezeScreenWhileSelecting")->isChecked());
    EXPECT_TRUE(tab.toggle("windowCaptureShadow")->isChecked());
    EXPECT_TRUE(tab.toggle("windowCaptureTransparentBackground")->isChecked());
    EXPECT_EQ(tab.countdownPicker()->currentText(), "Off");
    EXPECT_FALSE(tab.watcherToggle()->isChecked());
    EXPECT_TRUE(tab.watchedFolderRow()->isHidden());
    // Showing the tab writes nothing.
    EXPECT_TRUE(settings().storedValues().isEmpty());

    settings().setValue("captureDelay", 5);
    EXPECT_EQ(tab.countdownPicker()->currentText(), "5s");
    settings().setValue("captureDelay", 4);
    EXPECT_EQ(tab.countdownPicker()->currentIndex(), -1);
}

TEST_F(CaptureTabTest, JpegAndWebPEachShowAndKeepTheirOwnQualityInWholeSteps)
{
    CaptureTab tab(settings(), services);
    choose(tab.formatPicker(), "jpeg");
    EXPECT_EQ(settings().stringForKey("exportFormat"), "jpeg");
    EXPECT_FALSE(tab.qualityRow()->isHidden());
    EXPECT_EQ(tab.qualityText()->text(), "90%");
    EXPECT_EQ(tab.qualityNote()->text(),
              "Lower values produce smaller files but more compression artefacts.");

    // A stored value between the steps shows its nearest percentage, not one less.
    settings().setValue("jpegQuality", 0.57);
    EXPECT_EQ(tab.qualityText()->text(), "57%");
    tab.qualitySlider()->setValue(45);
    EXPECT_DOUBLE_EQ(settings().doubleForKey("jpegQuality"), 0.45);
    EXPECT_EQ(tab.qualityText()->text(), "45%");
    // Dragging passes 47: the step is stored.
    tab.qualitySlider()->setValue(47);
    EXPECT_DOUBLE_EQ(settings().doubleForKey("jpegQuality"), 0.45);
    EXPECT_EQ(tab.qualitySlider()->value(), 45);
    settings().setValue("jpegQuality", 0.1);
    EXPECT_EQ(tab.qualityText()->text(), "10%");

    choose(tab.formatPicker(), "webp");
    EXPECT_EQ(tab.qualityText()->text(), "90%");
    EXPECT_TRUE(tab.qualityNote()->text().endsWith("100% is lossless."));
    tab.qualitySlider()->setValue(70);
    EXPECT_DOUBLE_EQ(settings().doubleForKey("webpQuality"), 0.7);
    EXPECT_DOUBLE_EQ(settings().doubleForKey("jpegQuality"), 0.1);

    for (const char* lossless : {"png", "pdf", "tiff", "gif", "bmp"}) {
        choose(tab.formatPicker(), lossless);
        EXPECT_TRUE(tab.qualityRow()->isHidden()) << lossless;
        EXPECT_TRUE(tab.qualityNote()->isHidden()) << lossless;
    }
    settings().setValue("exportFormat", "heic");
    EXPECT_EQ(tab.formatPicker()->currentIndex(), -1);
    EXPECT_TRUE(tab.qualityRow()->isHidden());
}

TEST_F(CaptureTabTest, TheQualityKeepsItsWidthAndItsDigitsTheirPlacesAsItChanges)
{
    CaptureTab tab(settings(), services);
    choose(tab.formatPicker(), "jpeg");
    const std::optional<QFont> proportional = test::proportionalDigitsFont();
    ASSERT_TRUE(proportional) << "no installed font with proportional digits to test against";
    QLabel* text = tab.qualityText();
    for (const QFont& font : test::tabularDigitsFonts(tab, *proportional)) {
        text->setFont(font);
        // Every step of the slider: the label, and so the slider beside it, stays put.
        std::set<int> widths;
        for (int percent = 30; percent <= 100; percent += 5) {
            tab.qualitySlider()->setValue(percent);
            widths.insert(text->sizeHint().width());
        }
        EXPECT_EQ(widths.size(), 1u) << font.family().toStdString();

        // Whatever the second digit (a stored value may lie between the steps), the first
        // stays on the same pixels.
        const QFontMetricsF metrics(font);
        const int firstDigitEnd = int(text->sizeHint().width() - metrics.horizontalAdvance(u'%') -
                                      metrics.horizontalAdvance(u'8')) -
                                  1;
        const auto leading = [&] {
            const QImage shown = test::drawn(text, text->text());
            return shown.copy(0, 0, firstDigitEnd, shown.height());
        };
        for (int tens = 3; tens <= 9; ++tens) {
            settings().setValue("jpegQuality", tens / 10.0);
            const QImage first = leading();
            for (int percent = tens * 10 + 1; percent < tens * 10 + 10; ++percent) {
                settings().setValue("jpegQuality", percent / 100.0);
                ASSERT_EQ(text->text(), QStringLiteral("%1%").arg(percent));
                EXPECT_EQ(leading(), first) << font.family().toStdString() << " " << percent;
            }
        }
    }
}

TEST_F(CaptureTabTest, AChosenSaveFolderIsShownUntilReset)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("Shots");
    CaptureTab tab(settings(), services);
    tab.chooseFolderButton()->click(); // cancelled
    EXPECT_FALSE(settings().hasStoredValue("defaultSaveFolder"));

    chosenFolder = dir.path() + "/Shots";
    tab.chooseFolderButton()->click();
    EXPECT_EQ(tab.folderText()->text(), "Shots");
    EXPECT_FALSE(tab.folderResetButton()->isHidden());

    tab.folderResetButton()->click();
    EXPECT_EQ(settings().stringForKey("defaultSaveFolder"), "");
    EXPECT_FALSE(settings().hasStoredValue("defaultSaveFolderBookmark"));
    EXPECT_EQ(tab.folderText()->text(), "System default");
    EXPECT_TRUE(tab.folderResetButton()->isHidden());
}

TEST_F(CaptureTabTest, TheWatcherAsksForAFolderAndACancelledPanelTurnsTheToggleBackOff)
{
    CaptureTab tab(settings(), services);
    tab.watcherToggle()->click();
    EXPECT_EQ(panel.runs, 1);
    EXPECT_FALSE(tab.watcherToggle()->isChecked());
    EXPECT_FALSE(settings().boolForKey("watchSystemScreenshots"));
    EXPECT_FALSE(watcher.isWatching());
    EXPECT_TRUE(tab.watchedFolderRow()->isHidden());

    QTemporaryDir dir;
    QDir(dir.path()).mkdir("Screenshots");
    panel.answer = dir.path() + "/Screenshots";
    tab.watcherToggle()->click();
    EXPECT_TRUE(tab.watcherToggle()->isChecked());
    EXPECT_TRUE(watcher.isWatching());
    EXPECT_FALSE(tab.watchedFolderRow()->isHidden());
    EXPECT_EQ(tab.watchedFolderText()->text(), "Screenshots");

    // Off stops it and keeps the folder; on again needs no panel.
    tab.watcherToggle()->click();
    EXPECT_FALSE(watcher.isWatching());
    tab.watcherToggle()->click();
    EXPECT_EQ(panel.runs, 2);
    EXPECT_TRUE(watcher.isWatching());

    // A folder that went away reads "Not set" until another is chosen.
    QDir(dir.path()).rename("Screenshots", "Gone");
    tab.refreshWatchedFolder();
    EXPECT_EQ(tab.watchedFolderText()->text(), "Not set");
    panel.answer = dir.path() + "/Gone";
    tab.changeWatchedFolderButton()->click();
    EXPECT_EQ(tab.watchedFolderText()->text(), "Gone");
    EXPECT_EQ(watcher.watchedFolder(), dir.path() + "/Gone");
    watcher.stop();
}

} // namespace
