#include "OptionsTestSupport.h"
#include "TestPaths.h"
#include "editor/options/ContextualToolbar.h"
#include "editor/options/FrameOptionsBar.h"
#include "editor/options/OptionSlider.h"
#include "editor/options/OptionSwitch.h"
#include "editor/options/WatermarkOptions.h"
#include "output/FrameSettings.h"

#include <QApplication>
#include <QBuffer>
#include <QFileDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

class WatermarkOptionsTest : public OptionsTest {
protected:
    void SetUp() override
    {
        OptionsTest::SetUp();
        if (const auto path = FrameSettings::logoPath()) QFile::remove(*path);
    }

    static QByteArray logoBytes()
    {
        QImage image(40, 20, QImage::Format_ARGB32);
        image.fill(Qt::darkGreen);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }

    // What the user's click on a field sends.
    static void focusByClick(QWidget* widget)
    {
        QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(widget, &focus);
    }
};

} // namespace

TEST_F(WatermarkOptionsTest, SwitchedOnWithNothingRememberedGivesAnEmptyTextWatermark)
{
    auto store = plainStore();
    WatermarkOptions options(*store, nullptr);
    EXPECT_FALSE(options.watermarkSwitch()->isChecked());
    EXPECT_FALSE(options.body()->isEnabled());
    options.watermarkSwitch()->click();
    ASSERT_TRUE(store->watermark());
    const Watermark& watermark = *store->watermark();
    EXPECT_EQ(watermark, Watermark{});
    EXPECT_EQ(watermark.colorHex, "#FFFFFF");
    EXPECT_FALSE(watermark.isVisible()); // on, yet nothing drawn until text is typed
    EXPECT_TRUE(options.watermarkSwitch()->isChecked());
    EXPECT_TRUE(options.body()->isEnabled());
    EXPECT_EQ(store->undoCount(), 1);
    options.watermarkSwitch()->click();
    EXPECT_FALSE(store->watermark());
    EXPECT_EQ(store->undoCount(), 2);
}

TEST_F(WatermarkOptionsTest, SwitchingKindKeepsBothContents)
{
    auto store = plainStore();
    store->setWatermark(Watermark{.text = "Me"}, false);
    WatermarkOptions options(*store, nullptr);
    options.kindButton(WatermarkKind::image)->click();
    EXPECT_EQ(store->watermark()->kind, WatermarkKind::image);
    EXPECT_FALSE(options.showsLogo()); // no logo yet: the photo symbol
    EXPECT_TRUE(store->watermark()->imageData == std::nullopt);
    Watermark withLogo = *store->watermark();
    withLogo.imageData = logoBytes();
    store->setWatermark(withLogo, true);
    EXPECT_TRUE(options.showsLogo());
    options.kindButton(WatermarkKind::text)->click();
    EXPECT_EQ(options.textField()->text(), "Me");
    EXPECT_TRUE(options.kindButton(WatermarkKind::text)->isChecked());
    EXPECT_FALSE(options.kindButton(WatermarkKind::image)->isChecked());
    options.kindButton(WatermarkKind::image)->click();
    EXPECT_EQ(store->watermark()->text, "Me");
    EXPECT_EQ(store->watermark()->imageData, logoBytes());
    // Clicking the current kind is no step and keeps it checked.
    const int steps = store->undoCount();
    options.kindButton(WatermarkKind::image)->click();
    EXPECT_EQ(store->undoCount(), steps);
    EXPECT_TRUE(options.kindButton(WatermarkKind::image)->isChecked());
}

TEST_F(WatermarkOptionsTest, TypingAfterFocusingIsOneStep)
{
    auto store = plainStore();
    store->setWatermark(Watermark{}, false);
    WatermarkOptions options(*store, nullptr);
    options.show();
    focusByClick(options.textField());
    QTest::keyClicks(options.textField(), "abc");
    EXPECT_EQ(store->watermark()->text, "abc");
    EXPECT_EQ(store->undoCount(), 1);
    store->undo();
    EXPECT_EQ(store->watermark()->text, "");
    EXPECT_EQ(options.textField()->text(), "");
}

TEST_F(WatermarkOptionsTest, SliderDragIsOneStep)
{
    auto store = plainStore();
    store->setWatermark(Watermark{}, false);
    WatermarkOptions options(*store, nullptr);
    OptionSlider* opacity = options.opacitySlider();
    EXPECT_NEAR(opacity->doubleValue(), 0.6, 1e-3);
    opacity->setSliderDown(true);
    for (int value = 500; value >= 222; value -= 40)
        opacity->setValue(value);
    opacity->setSliderDown(false);
    EXPECT_NEAR(store->watermark()->opacity, 0.1 + 0.9 * 0.26, 1e-9);
    EXPECT_EQ(store->undoCount(), 1);
    store->undo();
    EXPECT_EQ(store->watermark()->opacity, 0.6);
    EXPECT_NEAR(opacity->doubleValue(), 0.6, 1e-3);
}

TEST_F(WatermarkOptionsTest, SelectionMarksFollowTheDocument)
{
    auto store = plainStore();
    Watermark watermark;
    watermark.colorHex = "#ff3366";
    store->setWatermark(watermark, false);
    WatermarkOptions options(*store, nullptr);
    const auto& colors = options.colorSwatches();
    ASSERT_EQ(colors.size(), 3);
    EXPECT_FALSE(colors[0]->isChecked());
    EXPECT_FALSE(colors[1]->isChecked());
    EXPECT_TRUE(colors[2]->isChecked());
    EXPECT_TRUE(options.positionCells()[8]->isChecked()); // bottom right
    options.tileButton()->click();
    EXPECT_EQ(store->watermark()->position, WatermarkPosition::tile);
    EXPECT_TRUE(options.tileButton()->isChecked());
    for (QAbstractButton* cell : options.positionCells())
        EXPECT_FALSE(cell->isChecked());
    options.positionCells()[4]->click();
    EXPECT_EQ(store->watermark()->position, WatermarkPosition::center);
    EXPECT_FALSE(options.tileButton()->isChecked());
    const int steps = store->undoCount();
    options.positionCells()[4]->click();
    colors[2]->click(); // same colour, other case: the text is rewritten, as one step
    EXPECT_EQ(store->undoCount(), steps + 1);
    EXPECT_EQ(store->watermark()->colorHex, "#FF3366");
}

TEST_F(WatermarkOptionsTest, OffShowsTheRememberedWatermarkAndIgnoresClicks)
{
    Watermark remembered;
    remembered.text = "Kept";
    remembered.position = WatermarkPosition::topLeft;
    remembered.opacity = 0.9;
    FrameSettings::remember(std::optional(remembered));
    FrameSettings::remember(std::optional<Watermark>());
    auto store = plainStore();
    WatermarkOptions options(*store, nullptr);
    EXPECT_EQ(options.textField()->text(), "Kept");
    EXPECT_TRUE(options.positionCells()[0]->isChecked());
    EXPECT_NEAR(options.opacitySlider()->doubleValue(), 0.9, 1e-3);
    options.positionCells()[4]->click(); // disabled: nothing happens
    EXPECT_FALSE(store->watermark());
    options.watermarkSwitch()->click();
    EXPECT_EQ(store->watermark()->text, "Kept");
}

TEST_F(WatermarkOptionsTest, OpeningAndClosingLeavesTheDocumentClean)
{
    auto store = plainStore();
    store->setWatermark(Watermark{.text = "Mine"}, false);
    store->setHasUnsavedChanges(false);
    store->setTool(Tool::frame);
    ContextualToolbar bar(*store, styleLibrary);
    bar.resize(1200, 44);
    bar.show();
    QApplication::processEvents();
    auto* frameBar = bar.row(bar.density())->findChild<FrameOptionsBar*>();
    ASSERT_NE(frameBar, nullptr);
    for (int i = 0; i < 2; ++i) {
        frameBar->watermarkButton()->click();
        WatermarkOptions* options = frameBar->watermarkOptions();
        ASSERT_NE(options, nullptr);
        QApplication::processEvents();
        EXPECT_TRUE(options->isVisible());
        EXPECT_FALSE(options->textField()->hasFocus());
        EXPECT_EQ(options->width(), WatermarkOptions::popoverWidth);
        if (i == 0) {
            options->grab().save(QStringLiteral(SNAPKIN_BUILD_DIR "/watermark-options.png"));
        }
        options->close();
        QApplication::processEvents();
    }
    EXPECT_FALSE(store->hasUnsavedChanges());
    EXPECT_EQ(store->undoCount(), 0);
}

TEST_F(WatermarkOptionsTest, ChoosingALogoKeepsThePopoverAndTheLogo)
{
    auto store = plainStore();
    store->setWatermark(Watermark{.kind = WatermarkKind::image}, false);
    QWidget anchorHost;
    anchorHost.resize(200, 40);
    anchorHost.show();
    WatermarkOptions options(*store, &anchorHost);
    bool poppedDuringDialog = true;
    options.setLogoChooser([&](QWidget* owner) -> std::optional<QByteArray> {
        poppedDuringDialog = options.isVisible();
        EXPECT_EQ(owner, &anchorHost);
        return logoBytes();
    });
    options.popUp(&anchorHost);
    ASSERT_TRUE(options.isVisible());
    options.chooseLogoButton()->click();
    EXPECT_FALSE(poppedDuringDialog);
    EXPECT_TRUE(options.isVisible());
    EXPECT_EQ(store->watermark()->imageData, logoBytes());
    EXPECT_TRUE(options.showsLogo());
    EXPECT_EQ(store->undoCount(), 1);

    // Cancelling changes nothing.
    options.setLogoChooser([](QWidget*) { return std::optional<QByteArray>(); });
    options.chooseLogoButton()->click();
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->watermark()->imageData, logoBytes());
    options.close();
}

TEST_F(WatermarkOptionsTest, PicturesOfTheBarAtEachDensity)
{
    auto store = plainStore();
    store->setFrame(FrameStyle{}, false);
    store->setWatermark(Watermark{.text = "Mine"}, false);
    store->setTool(Tool::frame);
    ContextualToolbar bar(*store, styleLibrary);
    bar.show();
    const struct {
        OptionsDensity density;
        const char* file;
    } cases[] = {{OptionsDensity::full, "/options-bar-full.png"},
                 {OptionsDensity::compact, "/options-bar-compact.png"},
                 {OptionsDensity::overflow, "/options-bar-overflow.png"}};
    for (const auto& c : cases) {
        const int width =
            bar.row(c.density)->sizeHint().width() + 2 * ContextualToolbar::sidePadding + 4;
        bar.resize(width, 44);
        QApplication::processEvents();
        EXPECT_EQ(bar.density(), c.density) << c.file;
        bar.grab().save(QStringLiteral(SNAPKIN_BUILD_DIR) + c.file);
    }
}

TEST_F(WatermarkOptionsTest, ChoosingALogoThroughTheFileDialogKeepsThePopover)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("logo.png");
    QImage picture(64, 32, QImage::Format_ARGB32);
    picture.fill(Qt::darkBlue);
    ASSERT_TRUE(picture.save(file));

    auto store = plainStore();
    store->setWatermark(Watermark{.kind = WatermarkKind::image}, false);
    QWidget host;
    host.resize(300, 40);
    host.show();
    WatermarkOptions options(*store, &host);
    options.popUp(&host);
    ASSERT_TRUE(options.isVisible());

    // Answers the open dialog as the user would, once it is up.
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || answered) return;
        answered = true;
        dialog->setDirectory(folder.path());
        dialog->selectFile(file);
        // The typed name is what the dialog answers with while its folder is still loading.
        if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit")) name->setText(file);
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
    });
    poll.start(20);
    options.chooseLogoButton()->click();
    poll.stop();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(options.isVisible());
    ASSERT_TRUE(store->watermark()->imageData);
    EXPECT_TRUE(options.showsLogo());
    EXPECT_EQ(store->undoCount(), 1);
    options.close();
}
