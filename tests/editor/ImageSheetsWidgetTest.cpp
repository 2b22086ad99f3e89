#include "EditorViewTestSupport.h"

#include "EditorWidgetTestSupport.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "editor/ResizeView.h"
#include "editor/SharpenView.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "ui/canvas/CanvasView.h"
#include "ui/output/ExportDialogs.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

// Clean settings for the pages a test builds, numbers written as in the United States.
struct RealSheets {
    RealSheets()
    {
        platform::Defaults::standard().removeAllStored();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    ~RealSheets()
    {
        QLocale::setDefault(QLocale::c());
        platform::Defaults::standard().removeAllStored();
    }
};

// An editor page in its own window, over an image with some detail in its lower right.
struct Page {
    std::unique_ptr<AnnotationStore> store;
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs{exports};
    std::unique_ptr<EditorView> view;

    explicit Page(QSize pixels = {1920, 1080})
    {
        QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(QColor(236, 240, 244));
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(QColor(40, 60, 90), 2));
            QFont font;
            font.setPixelSize(15);
            painter.setFont(font);
            for (int line = 0; line < 5; ++line)
                painter.drawText(QPointF(pixels.width() - 170, pixels.height() - 110 + 19 * line),
                                 QStringLiteral("Edges worth sharpening"));
            painter.drawEllipse(QPointF(pixels.width() - 100, pixels.height() - 60), 30, 30);
        }
        store = std::make_unique<AnnotationStore>(platform::BaseImage(image));
        view = std::make_unique<EditorView>(*store, zoom, dialogs);
        view->resize(900, 650);
        view->show();
    }
};

void typeInto(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
}

} // namespace

TEST(ResizeView, OpensAtTheImagesSizeWithTheLockOnAndResizeOff)
{
    RealSheets sheets;
    Page page;
    page.store->setIsResizing(true);
    auto* sheet = qobject_cast<ResizeView*>(page.view->resizeSheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->width(), ResizeView::sheetWidth);
    EXPECT_EQ(sheet->originalLabel()->text(), QStringLiteral("1920 × 1080 px"));
    EXPECT_EQ(sheet->originalLabel()->accessibleName(), QStringLiteral("Original"));
    EXPECT_EQ(sheet->widthField()->text(), QStringLiteral("1,920"));
    EXPECT_EQ(sheet->heightField()->text(), QStringLiteral("1,080"));
    EXPECT_TRUE(sheet->lockBox()->isChecked());
    EXPECT_FALSE(sheet->resizeButton()->isEnabled());
    EXPECT_TRUE(sheet->resizeButton()->isDefault());
    QApplication::processEvents();
    sheet->grab().save(picturePath("resize-image-sheet.png"));
}

TEST(ResizeView, TypedWidthDerivesTheHeightAndResizeAppliesOneUndoStep)
{
    RealSheets sheets;
    Page page;
    page.store->setIsResizing(true);
    auto* sheet = qobject_cast<ResizeView*>(page.view->resizeSheet());
    ASSERT_NE(sheet, nullptr);
    sheet->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(sheet));

    typeInto(sheet->widthField(), "1000");
    EXPECT_EQ(sheet->heightField()->text(), QStringLiteral("563"));
    EXPECT_EQ(sheet->widthField()->text(), QStringLiteral("1000")); // as typed, untouched
    ASSERT_TRUE(sheet->resizeButton()->isEnabled());
    // Leaving the field writes it the locale's way.
    sheet->lockBox()->setFocus();
    EXPECT_EQ(sheet->widthField()->text(), QStringLiteral("1,000"));

    // Text that is no number changes nothing.
    typeInto(sheet->heightField(), "abc");
    EXPECT_EQ(sheet->fields().height(), 563);
    EXPECT_EQ(sheet->fields().width(), 1000);

    QTest::keyClick(sheet->widthField(), Qt::Key_Return);
    EXPECT_EQ(page.store->pixelDimensions(), QSize(1000, 563));
    EXPECT_EQ(page.store->undoCount(), 1);
    EXPECT_FALSE(page.store->isResizing());
    EXPECT_EQ(page.view->resizeSheet(), nullptr);
}

TEST(ResizeView, PercentButtonsLockAndLimits)
{
    RealSheets sheets;
    Page page;
    page.store->setIsResizing(true);
    auto* sheet = qobject_cast<ResizeView*>(page.view->resizeSheet());
    ASSERT_NE(sheet, nullptr);

    sheet->percentButton(75)->click();
    EXPECT_EQ(sheet->widthField()->text(), QStringLiteral("1,440"));
    EXPECT_EQ(sheet->heightField()->text(), QStringLiteral("810"));
    EXPECT_TRUE(sheet->resizeButton()->isEnabled());
    sheet->percentButton(100)->click();
    EXPECT_FALSE(sheet->resizeButton()->isEnabled());

    // Unlocked, the height stays; locking again derives it from the width.
    sheet->lockBox()->setChecked(false);
    typeInto(sheet->widthField(), "960");
    EXPECT_EQ(sheet->heightField()->text(), QStringLiteral("1,080"));
    sheet->lockBox()->setChecked(true);
    EXPECT_EQ(sheet->heightField()->text(), QStringLiteral("540"));

    // Beyond the largest image: Resize stays off and the sheet says why.
    typeInto(sheet->widthField(), "100000");
    EXPECT_EQ(sheet->fields().height(), 56250);
    EXPECT_FALSE(sheet->resizeButton()->isEnabled());
    EXPECT_FALSE(sheet->limitNote()->isHidden());
    QApplication::processEvents();
    sheet->grab().save(picturePath("resize-image-sheet-too-large.png"));
    QTest::keyClick(sheet->widthField(), Qt::Key_Return);
    EXPECT_EQ(page.store->pixelDimensions(), QSize(1920, 1080));
    EXPECT_EQ(page.view->resizeSheet(), sheet); // still open

    typeInto(sheet->widthField(), "0");
    EXPECT_EQ(sheet->heightField()->text(), QStringLiteral("1"));
    EXPECT_FALSE(sheet->resizeButton()->isEnabled());
    EXPECT_TRUE(sheet->limitNote()->isHidden());
}

TEST(ResizeView, EscapeCancelsAndLettersPassWhileOpen)
{
    RealSheets sheets;
    Page page;
    page.store->activate(Tool::select);
    page.store->setIsResizing(true);
    auto* sheet = qobject_cast<ResizeView*>(page.view->resizeSheet());
    ASSERT_NE(sheet, nullptr);
    typeInto(sheet->widthField(), "640");

    // A letter aimed at the page's canvas while the sheet blocks the window.
    QTest::keyClick(page.view->canvasArea()->framedCanvas()->canvas(), Qt::Key_R);
    EXPECT_EQ(page.store->tool(), Tool::select);

    QTest::keyClick(sheet->widthField(), Qt::Key_Escape);
    EXPECT_FALSE(page.store->isResizing());
    EXPECT_EQ(page.view->resizeSheet(), nullptr);
    EXPECT_EQ(page.store->pixelDimensions(), QSize(1920, 1080));
    EXPECT_EQ(page.store->undoCount(), 0);
}

TEST(ResizeView, ClearsTheRequestWhenClosedOutsideAPage)
{
    RealSheets sheets;
    auto store = plainStore();
    store->setIsResizing(true);
    ResizeView sheet(*store);
    sheet.reject();
    EXPECT_FALSE(store->isResizing());
}

TEST(SharpenView, OpensAtFiftyOrTheStoredWholeAmount)
{
    RealSheets sheets;
    auto store = plainStore();
    EXPECT_DOUBLE_EQ(SharpenView(*store).amount(), 50);
    for (double stored : {0.0, -5.0}) {
        platform::Defaults::standard().setValue(keys::sharpenAmount, stored);
        EXPECT_DOUBLE_EQ(SharpenView(*store).amount(), 50) << stored;
    }
    platform::Defaults::standard().setValue(keys::sharpenAmount, 73.0);
    EXPECT_DOUBLE_EQ(SharpenView(*store).amount(), 73);
    platform::Defaults::standard().setValue(keys::sharpenAmount, 400.0);
    EXPECT_DOUBLE_EQ(SharpenView(*store).amount(), 100);
}

TEST(SharpenView, ShowsTruncatedAndAppliesAndStoresRounded)
{
    RealSheets sheets;
    Page page;
    page.store->setIsSharpening(true);
    auto* sheet = qobject_cast<SharpenView*>(page.view->sharpenSheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->width(), SharpenView::sheetWidth);
    EXPECT_EQ(sheet->percentLabel()->text(), QStringLiteral("50 %"));
    ASSERT_TRUE(sheet->beforePreview()->image());
    ASSERT_TRUE(sheet->afterPreview()->image());
    EXPECT_EQ(sheet->beforePreview()->image()->pointSize(), QSizeF(150, 120));
    QApplication::processEvents();
    sheet->grab().save(picturePath("sharpen-image-sheet.png"));

    sheet->setAmount(49.6);
    EXPECT_EQ(sheet->percentLabel()->text(), QStringLiteral("49 %"));
    const auto serial = page.store->image().serial();
    sheet->sharpenButton()->click();
    EXPECT_DOUBLE_EQ(platform::Defaults::standard().get(keys::sharpenAmount), 50.0);
    EXPECT_NE(page.store->image().serial(), serial);
    EXPECT_EQ(page.store->undoCount(), 1);
    EXPECT_FALSE(page.store->isSharpening());
    EXPECT_EQ(page.view->sharpenSheet(), nullptr);
}

// Assistive technology reads the amount as the sheet shows it, and can set it in percent.
TEST(SharpenView, TheAmountSliderSpeaksInPercent)
{
    const std::unique_ptr<AnnotationStore> store = plainStore();
    SharpenView sheet(*store);
    QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(sheet.slider());
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->role(), QAccessible::Slider);
    EXPECT_EQ(slider->text(QAccessible::Name), QStringLiteral("Amount"));
    EXPECT_EQ(slider->text(QAccessible::Value), QStringLiteral("50 %"));
    QAccessibleValueInterface* value = slider->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_DOUBLE_EQ(value->currentValue().toDouble(), 50.0);
    EXPECT_DOUBLE_EQ(value->maximumValue().toDouble(), 100.0);
    sheet.setAmount(49.6);
    EXPECT_EQ(slider->text(QAccessible::Value), QStringLiteral("49 %"));
    value->setCurrentValue(73.0);
    EXPECT_DOUBLE_EQ(sheet.amount(), 73.0);
    EXPECT_EQ(sheet.percentLabel()->text(), QStringLiteral("73 %"));
}

TEST(SharpenView, AfterIsRemadeOnlyWhenTheWholePercentChanges)
{
    RealSheets sheets;
    Page page({400, 300});
    SharpenView sheet(*page.store);
    const auto afterSerial = [&] { return sheet.afterPreview()->image()->serial(); };
    ASSERT_TRUE(sheet.afterPreview()->image());

    sheet.setAmount(49.2);
    const auto at49 = afterSerial();
    sheet.setAmount(49.8);
    EXPECT_EQ(afterSerial(), at49);
    sheet.setAmount(50.1);
    EXPECT_NE(afterSerial(), at49);
    // Made from the small region, never the whole image.
    EXPECT_LE(sheet.afterPreview()->image()->pixelSize().width(), 151);
    EXPECT_LE(sheet.afterPreview()->image()->pixelSize().height(), 121);
}

TEST(SharpenView, CancelLeavesTheImageAndTheStoredAmount)
{
    RealSheets sheets;
    platform::Defaults::standard().setValue(keys::sharpenAmount, 30.0);
    Page page;
    page.store->setIsSharpening(true);
    auto* sheet = qobject_cast<SharpenView*>(page.view->sharpenSheet());
    ASSERT_NE(sheet, nullptr);
    sheet->setAmount(80);
    const auto serial = page.store->image().serial();
    sheet->cancelButton()->click();
    EXPECT_FALSE(page.store->isSharpening());
    EXPECT_DOUBLE_EQ(platform::Defaults::standard().get(keys::sharpenAmount), 30.0);
    EXPECT_EQ(page.store->image().serial(), serial);
    EXPECT_EQ(page.store->undoCount(), 0);
}
