#include "platform/Defaults.h"
#include "ui/output/SaveOptionsAccessory.h"
#include "ui/output/SavePanel.h"

#include "TestPaths.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::Defaults;

namespace {

class Accessory : public ::testing::Test {
protected:
    void SetUp() override { Defaults::standard().removeAllStored(); }
    void TearDown() override { Defaults::standard().removeAllStored(); }

    static void choose(SaveOptionsAccessory& a, ExportFormat format)
    {
        const int index = a.formatPopup()->findData(toRaw(format));
        a.formatPopup()->setCurrentIndex(index);
        emit a.formatPopup()->activated(index);
    }
};

} // namespace

TEST_F(Accessory, ShowsTheQualityRowForLossyFormatsWithTheirOwnTooltip)
{
    Defaults::standard().setValue(keys::jpegQuality, 0.75);
    SaveOptionsAccessory a(ExportFormat::webp, false);
    EXPECT_EQ(a.formatPopup()->currentText(), "WebP");
    EXPECT_TRUE(a.isQualityRowShown());
    EXPECT_TRUE(a.qualitySlider()->toolTip().endsWith("100% is lossless."));

    QList<ExportFormat> told;
    a.onFormatChange = [&](ExportFormat f) { told << f; };
    for (ExportFormat f : allExportFormats) {
        choose(a, f);
        EXPECT_EQ(a.isQualityRowShown(), f == ExportFormat::jpeg || f == ExportFormat::webp)
            << toRaw(f).toStdString();
    }
    EXPECT_EQ(told.size(), qsizetype(allExportFormats.size()));

    choose(a, ExportFormat::jpeg);
    EXPECT_EQ(a.qualitySlider()->toolTip(),
              "Lower values produce smaller files but more compression artefacts.");
    EXPECT_DOUBLE_EQ(a.quality(), 0.75);
    EXPECT_EQ(a.percentLabel()->text(), "75%");
}

TEST_F(Accessory, ChoosingAgainDropsAnUnsavedSliderPositionAndStillTells)
{
    Defaults::standard().setValue(keys::jpegQuality, 0.92);
    SaveOptionsAccessory a(ExportFormat::jpeg, false);
    // The label shows the stored quality until the slider moves, not the slider's 90 %.
    EXPECT_EQ(a.percentLabel()->text(), "92%");
    EXPECT_DOUBLE_EQ(a.quality(), 0.92);

    a.qualitySlider()->setValue(10);
    EXPECT_DOUBLE_EQ(a.quality(), 0.5);
    EXPECT_EQ(a.percentLabel()->text(), "50%");

    int told = 0;
    a.onFormatChange = [&](ExportFormat f) {
        EXPECT_EQ(f, ExportFormat::jpeg);
        ++told;
    };
    choose(a, ExportFormat::jpeg);
    EXPECT_EQ(told, 1);
    EXPECT_DOUBLE_EQ(a.quality(), 0.92);
    EXPECT_EQ(a.percentLabel()->text(), "92%");

    a.onFormatChange = nullptr;
    a.qualitySlider()->setValue(10);
    choose(a, ExportFormat::png);
    EXPECT_DOUBLE_EQ(a.quality(), 1.0);
    choose(a, ExportFormat::jpeg);
    EXPECT_DOUBLE_EQ(a.quality(), 0.92);
}

TEST_F(Accessory, SliderRunsFromThirtyToAHundredInFives)
{
    SaveOptionsAccessory a(ExportFormat::jpeg, false);
    QSlider* s = a.qualitySlider();
    QStringList shown;
    for (int v = s->minimum(); v <= s->maximum(); ++v) {
        s->setValue(v);
        shown << a.percentLabel()->text();
    }
    EXPECT_EQ(shown.first(), "30%");
    EXPECT_EQ(shown.value(1), "35%");
    EXPECT_EQ(shown.last(), "100%");
    EXPECT_EQ(shown.size(), 15);
    EXPECT_EQ(SaveOptionsAccessory::percentText(0.905), "91%");
}

TEST_F(Accessory, TheDocumentCheckboxIsStoredOnEveryToggle)
{
    {
        SaveOptionsAccessory a(ExportFormat::png, true);
        EXPECT_TRUE(a.isDocumentRowShown());
        EXPECT_FALSE(a.documentCheckbox()->isChecked());
        a.documentCheckbox()->click();
        // Stored at once: a cancelled dialog keeps it.
        EXPECT_TRUE(Defaults::standard().get(keys::alsoSaveSnapkinDocument));
        EXPECT_TRUE(a.savesDocument());
    }
    SaveOptionsAccessory again(ExportFormat::png, true);
    EXPECT_TRUE(again.documentCheckbox()->isChecked());
    again.documentCheckbox()->click();
    EXPECT_FALSE(Defaults::standard().get(keys::alsoSaveSnapkinDocument));

    Defaults::standard().setValue(keys::alsoSaveSnapkinDocument, true);
    SaveOptionsAccessory none(ExportFormat::png, false);
    EXPECT_FALSE(none.isDocumentRowShown());
    EXPECT_FALSE(none.savesDocument());
}

// The real dialog with its accessory, written as a picture for review.
TEST_F(Accessory, JoinsTheFileDialogsLayout)
{
    Defaults::standard().setValue(keys::alsoSaveSnapkinDocument, true);
    auto panel = makeFileDialogSavePanel(nullptr);
    auto* accessory = new SaveOptionsAccessory(ExportFormat::jpeg, true);
    panel->setAccessory(accessory);
    panel->setFormat(ExportFormat::jpeg);
    QTemporaryDir folder;
    for (const char* name : {"Meeting notes.jpg", "Screenshot 2026-03-05.jpg", "Mockup.jpg"}) {
        QImage sample(8, 8, QImage::Format_RGB32);
        sample.fill(Qt::gray);
        sample.save(folder.filePath(name));
    }
    QDir().mkdir(folder.filePath("Designs"));
    panel->setDirectory(folder.path());
    panel->setFileName("Screenshot.jpg");
    QImage shot;
    QString nameField;
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->resize(760, 520);
        nameField = panel->fileName();
        shot = dialog->grab().toImage();
        dialog->reject();
    });
    EXPECT_FALSE(panel->run().has_value());
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(nameField, "Screenshot.jpg");
    EXPECT_TRUE(accessory->isVisible() || accessory->parentWidget() != nullptr);
    shot.save(QStringLiteral(SNAPKIN_BUILD_DIR "/save-dialog.png"));
}
