#include "OptionsTestSupport.h"

#include "TestPaths.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/crop/CropView.h"
#include "editor/options/ContextualToolbar.h"
#include "editor/options/CropOptions.h"
#include "editor/options/OptionControls.h"
#include "output/ExportService.h"
#include "ui/output/ExportDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

class CropTest : public OptionsTest {
protected:
    void settle() { QApplication::processEvents(); }

    // The crop controls over a store in crop mode, in a shown, active window.
    struct Shown {
        QWidget window;
        CropOptions* options = nullptr;
    };
    std::unique_ptr<Shown> show(AnnotationStore& store,
                                OptionsDensity density = OptionsDensity::full)
    {
        store.activate(Tool::crop);
        auto shown = std::make_unique<Shown>();
        shown->options = new CropOptions(store, density, &shown->window);
        shown->window.resize(shown->options->sizeHint() + QSize(20, 20));
        shown->window.show();
        shown->window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&shown->window));
        return shown;
    }

    // Types `text` into a field key by key, replacing what it holds.
    void type(CropField* field, const QString& text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }
};

TEST_F(CropTest, TypedSizesKeepOnlyTheirDigits)
{
    auto store = plainStore({2000, 1000});
    auto shown = show(*store);
    CropField* width = shown->options->widthField();
    EXPECT_EQ(width->text(), "2000");

    type(width, "12.5");
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 125);
    type(width, "-300");
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 300);
    type(width, "abc");
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 300);
    EXPECT_EQ(CropField::parse(QString::fromUtf8("\u0663\u0660")), std::nullopt);
    EXPECT_EQ(CropField::parse(""), std::nullopt);
}

TEST_F(CropTest, TypingIsNeverInterruptedByAClamp)
{
    auto store = plainStore({2000, 1000});
    auto shown = show(*store);
    CropField* width = shown->options->widthField();
    width->setFocus();
    width->selectAll();
    for (const char* key : {"1", "2", "8", "0"}) {
        QTest::keyClicks(width, key);
        settle();
    }
    EXPECT_EQ(width->text(), "1280");
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 1280);

    // "1" waits for the end of editing, then clamps to 10 points; Return does not apply.
    type(width, "1");
    settle();
    EXPECT_EQ(width->text(), "1");
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 1280);
    QTest::keyClick(width, Qt::Key_Return);
    settle();
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 10);
    EXPECT_EQ(width->text(), "10");
    EXPECT_TRUE(store->isCropping());
    EXPECT_EQ(store->undoCount(), 0);
}

TEST_F(CropTest, FieldsShowPixelsAndFollowTheAspect)
{
    auto store = plainStore({800, 600}, QSizeF(400, 300));
    auto shown = show(*store);
    store->setCropRect(QRectF(0, 0, 100, 80));
    settle();
    EXPECT_EQ(shown->options->widthField()->text(), "200");
    EXPECT_EQ(shown->options->heightField()->text(), "160");

    // A width of one pixel clamps to 10 points: 20 pixels here.
    type(shown->options->widthField(), "1");
    shown->options->widthField()->clearFocus();
    settle();
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 10);
    EXPECT_EQ(shown->options->widthField()->text(), "20");

    QMenu* aspects = shown->options->aspectMenu();
    aspects->actions()[4]->trigger(); // 16:9
    settle();
    EXPECT_EQ(shown->options->aspectButton()->text(), "16:9");
    type(shown->options->widthField(), "320");
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 160);
    EXPECT_DOUBLE_EQ(store->cropRect().height(), 90);
}

TEST_F(CropTest, LockKeepsTheProportions)
{
    auto store = plainStore({2000, 1000});
    auto shown = show(*store);
    store->setCropRect(QRectF(0, 0, 400, 200));
    shown->options->lockButton()->click();
    EXPECT_TRUE(store->cropLock());
    type(shown->options->widthField(), "600");
    EXPECT_DOUBLE_EQ(store->cropRect().height(), 300);
}

TEST_F(CropTest, EscapeCancelsAndReturnApplies)
{
    auto store = plainStore({400, 300});
    auto shown = show(*store);
    shown->options->setFocus();
    QTest::keyClick(shown->options, Qt::Key_Escape);
    EXPECT_FALSE(store->isCropping());
    EXPECT_EQ(store->tool(), Tool::select);
    EXPECT_EQ(store->image().pointSize(), QSizeF(400, 300));

    store->activate(Tool::crop);
    store->setCropRect(QRectF(10, 10, 200, 100));
    QTest::keyClick(shown->options, Qt::Key_Return);
    EXPECT_FALSE(store->isCropping());
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->image().pointSize(), QSizeF(200, 100));
}

TEST_F(CropTest, ResizeActsOnTheBarsOwnStore)
{
    auto mine = plainStore();
    auto other = plainStore();
    auto shown = show(*mine, OptionsDensity::compact);
    EXPECT_EQ(shown->options->resizeButton()->toolTip(), "Resize Image…");
    EXPECT_TRUE(shown->options->resizeButton()->text().isEmpty() ||
                qobject_cast<QToolButton*>(shown->options->resizeButton()));
    shown->options->resizeButton()->click();
    EXPECT_TRUE(mine->isResizing());
    EXPECT_FALSE(mine->isCropping());
    EXPECT_EQ(mine->tool(), Tool::select);
    EXPECT_FALSE(other->isResizing());
}

TEST_F(CropTest, DraggingAHandleRecordsNoStep)
{
    auto store = plainStore({400, 300});
    store->activate(Tool::crop);
    EditorZoom zoom(2.0);
    CropView view(*store, zoom);
    view.resize(800, 600);
    view.show();
    // The se corner, at (400, 300) image points, is (800, 600) on screen.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(798, 598));
    QTest::mouseMove(&view, QPoint(598, 498));
    EXPECT_EQ(view.dragHandle(), CropHandle::se);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(598, 498));
    EXPECT_EQ(store->cropRect(), QRectF(0, 0, 300, 250));
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_FALSE(store->hasUnsavedChanges());

    // The next drag starts from where the last one left the rectangle; one outside does nothing.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(300, 250));
    QTest::mouseMove(&view, QPoint(320, 270));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(320, 270));
    EXPECT_EQ(store->cropRect(), QRectF(10, 10, 300, 250));
    store->setCropRect(QRectF(10, 10, 100, 100));
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(700, 500));
    QTest::mouseMove(&view, QPoint(100, 100));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(store->cropRect(), QRectF(10, 10, 100, 100));
}

TEST_F(CropTest, OverlayDimsOutsideTheRectangle)
{
    auto store = plainStore({400, 300}, std::nullopt);
    store->activate(Tool::crop);
    store->setCropRect(QRectF(100, 100, 200, 100));
    EditorZoom zoom(1.0);
    CropView view(*store, zoom);
    view.resize(400, 300);
    const QImage shot = render(&view);
    const QColor base(236, 240, 244);
    EXPECT_TRUE(near(shot.pixelColor(30, 30), blend(Qt::black, 0.45, base)));
    EXPECT_TRUE(near(shot.pixelColor(150, 150), base)); // inside, off the grid lines
    EXPECT_TRUE(near(shot.pixelColor(200, 100), QColor(Qt::white), 40)); // the n handle
}

TEST_F(CropTest, KeysActOnlyInTheActiveEditorsBar)
{
    auto first = plainStore({400, 300});
    auto second = plainStore({400, 300});
    EditorZoom firstZoom, secondZoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView a(*first, firstZoom, dialogs), b(*second, secondZoom, dialogs);
    for (EditorView* view : {&a, &b}) {
        view->resize(1000, 700);
        view->show();
    }
    first->activate(Tool::crop);
    second->activate(Tool::crop);
    first->setCropRect(QRectF(0, 0, 200, 100));
    second->setCropRect(QRectF(0, 0, 100, 100));
    settle();
    a.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&a));
    // Three rows are built, one per density; only the shown one takes the keys.
    QTest::keyClick(&a, Qt::Key_Return);
    EXPECT_FALSE(first->isCropping());
    EXPECT_EQ(first->image().pointSize(), QSizeF(200, 100));
    EXPECT_TRUE(second->isCropping());
    EXPECT_EQ(second->undoCount(), 0);

    b.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&b));
    QTest::keyClick(&b, Qt::Key_Escape);
    EXPECT_FALSE(second->isCropping());
    EXPECT_EQ(second->image().pointSize(), QSizeF(400, 300));
}

TEST_F(CropTest, EditorInCropModePicture)
{
    QImage pixels(1200, 700, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(QColor(74, 111, 165));
    {
        QPainter painter(&pixels);
        painter.fillRect(QRect(100, 100, 600, 400), QColor(240, 200, 120));
        painter.fillRect(QRect(500, 300, 500, 300), QColor(90, 170, 120));
    }
    AnnotationStore store{platform::BaseImage(pixels)};
    store.appendAnnotation(Annotation{
        .kind = AnnotationKind::arrow, .p1 = {200, 550}, .p2 = {480, 320}, .lineWidth = 10});
    store.appendAnnotation(Annotation{
        .kind = AnnotationKind::rectangle, .p1 = {520, 320}, .p2 = {900, 560}, .lineWidth = 6});
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(store, zoom, dialogs);
    view.resize(1200, 800);
    view.show();
    settle();
    store.activate(Tool::crop);
    store.setCropRect(QRectF(150, 120, 800, 480));
    settle();
    view.canvasArea()->syncNow();
    settle();
    ASSERT_TRUE(qobject_cast<CropView*>(view.canvasArea()->cropContent()));
    view.grab().save(QString::fromUtf8(SNAPKIN_BUILD_DIR) + "/editor-crop-mode.png");
}

} // namespace
