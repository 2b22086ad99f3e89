#include "EditorViewTestSupport.h"

#include "TestPaths.h"
#include "canvas/ToolCursor.h"
#include "editor/EditorCanvasArea.h"
#include "editor/EditorStatusBar.h"
#include "editor/EditorView.h"
#include "editor/EditorViewHooks.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "editor/IconButton.h"
#include "editor/KeyboardShortcutsSheet.h"
#include "editor/ResizeView.h"
#include "editor/SharpenView.h"
#include "editor/ToolSidebar.h"
#include "editor/crop/CropView.h"
#include "editor/options/CropOptions.h"
#include "editor/options/StyleGroup.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "ui/canvas/CanvasCursor.h"
#include "ui/canvas/CanvasView.h"
#include "ui/output/ExportDialogs.h"

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::editortest;

namespace {

// Restores the settings a test changed.
struct CleanHooks {
    CleanHooks() { platform::Defaults::standard().removeAllStored(); }
    ~CleanHooks() { platform::Defaults::standard().removeAllStored(); }
};

// A canvas area alone, its viewport exactly `viewport` (no frame, no scroll bars needed).
struct AreaFixture {
    std::unique_ptr<AnnotationStore> store;
    EditorZoom zoom;
    EditorCanvasArea area;

    explicit AreaFixture(QSize image = {400, 300}, QSize viewport = {1000, 700},
                         std::optional<FrameStyle> frame = std::nullopt)
        : store(plainStore(image)), area(*store, zoom)
    {
        if (frame) store->assignFrame(frame);
        area.syncNow();
        area.resize(viewport);
        area.show();
        QApplication::processEvents();
    }

    void settle()
    {
        QApplication::processEvents();
        area.syncNow();
    }
};

Annotation box(QPointF from = {20, 20}, QPointF to = {120, 90})
{
    return Annotation{.kind = AnnotationKind::rectangle, .p1 = from, .p2 = to};
}

} // namespace

TEST(EditorView, OptionsBarFollowsTheSetting)
{
    CleanHooks clean;
    auto store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    EXPECT_TRUE(view.optionsBar()->isVisibleTo(&view)); // key missing: shown
    platform::Defaults::standard().setValue("showOptionsBar", false);
    EXPECT_FALSE(view.optionsBar()->isVisibleTo(&view));
    platform::Defaults::standard().setValue("showOptionsBar", true);
    EXPECT_TRUE(view.optionsBar()->isVisibleTo(&view));
}

TEST(EditorCanvasArea, SmallCanvasSitsCentredAndResizingKeepsTheZoom)
{
    AreaFixture f;
    EXPECT_EQ(f.area.viewport()->size(), QSize(1000, 700));
    EXPECT_EQ(f.area.widget()->size(), QSize(1000, 700));
    EXPECT_EQ(f.area.contentGeometry(), QRect(300, 200, 400, 300));
    EXPECT_EQ(f.area.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(f.area.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(f.zoom.viewportSize(), QSizeF(1000, 700));

    f.zoom.setScale(0.5);
    f.area.resize(800, 500);
    QApplication::processEvents();
    EXPECT_EQ(f.zoom.viewportSize(), QSizeF(800, 500));
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 0.5);
    EXPECT_EQ(f.area.contentGeometry(), QRect(300, 175, 200, 150));

    // Larger than the viewport: 24 points of margin and scrolling.
    f.zoom.setScale(4);
    QApplication::processEvents();
    EXPECT_EQ(f.area.contentGeometry().topLeft(), QPoint(24, 24));
    EXPECT_EQ(f.area.widget()->size(), QSize(1648, 1248));
    EXPECT_GT(f.area.verticalScrollBar()->maximum(), 0);
}

TEST(EditorCanvasArea, CroppingRefitsToTheBareImageAndBack)
{
    FrameStyle frame;
    frame.padding = 0.2;
    AreaFixture f({800, 600}, {1000, 700}, frame);
    const QSizeF canvas = f.store->frameLayout().canvasSize;
    ASSERT_GT(canvas.width(), 800);

    f.store->activate(Tool::crop);
    f.settle();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), *EditorZoom::fitScale({800, 600}, f.zoom.viewportSize()));
    ASSERT_NE(f.area.cropContent(), nullptr); // the bare image until a crop view is installed
    EXPECT_FALSE(f.area.framedCanvas()->isVisible());
    EXPECT_EQ(f.area.contentGeometry().size(), (QSizeF(800, 600) * f.zoom.scale()).toSize());
    EXPECT_TRUE(
        CanvasCursor::sameCursor(f.area.cursor()->cursor(), ToolCursor::cursor(Tool::crop)));

    f.store->activate(Tool::select);
    f.settle();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), *EditorZoom::fitScale(canvas, f.zoom.viewportSize()));
    EXPECT_EQ(f.area.cropContent(), nullptr);
    EXPECT_TRUE(f.area.framedCanvas()->isVisible());
    EXPECT_EQ(f.area.cursor()->cursor().shape(), Qt::ArrowCursor);
}

TEST(EditorCanvasArea, FramePaddingRefitsButColoursKeepTheZoom)
{
    AreaFixture f({800, 600});
    f.zoom.setScale(2.0);
    FrameStyle frame;
    frame.padding = 0.1;
    f.store->setFrame(frame, true);
    f.settle();
    const double fitted = f.zoom.scale();
    EXPECT_DOUBLE_EQ(
        fitted, *EditorZoom::fitScale(f.store->frameLayout().canvasSize, f.zoom.viewportSize()));

    f.zoom.setScale(1.5);
    frame.solidHex = "#112233";
    frame.background = FrameBackgroundKind::solid;
    f.store->setFrame(frame, true);
    f.settle();
    EXPECT_DOUBLE_EQ(f.zoom.scale(), 1.5);
    // The framed canvas is laid out at the new scale around the image.
    const FrameLayout layout = f.store->frameLayout();
    FramedCanvas* framed = f.area.framedCanvas();
    EXPECT_EQ(framed->canvas()->mapTo(framed, QPoint(0, 0)),
              (layout.imageRect.topLeft() * 1.5).toPoint());
}

TEST(EditorCanvasArea, FramedCanvasDrawsFrameBorderAndShadow)
{
    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = "#00FF00";
    frame.padding = 0.1;
    frame.shadow = 0;
    AreaFixture f({400, 300}, {1000, 700}, frame);
    f.settle();
    const QImage shot = render(&f.area);
    const QRect content = f.area.contentGeometry();
    // The frame's background around the image, the image inside it.
    EXPECT_TRUE(near(shot.pixelColor(content.topLeft() + QPoint(3, 3)), QColor(0, 255, 0)));
    EXPECT_TRUE(near(shot.pixelColor(content.center()), QColor(236, 240, 244)));
    // The border lies just outside; the shadow darkens the backdrop below more than above.
    const QColor backdrop = shot.pixelColor(5, 5);
    const QColor above = shot.pixelColor(content.center().x(), content.top() - 6);
    const QColor below = shot.pixelColor(content.center().x(), content.bottom() + 6);
    EXPECT_LT(below.lightness(), above.lightness());
    EXPECT_LE(above.lightness(), backdrop.lightness());
    const QColor border = shot.pixelColor(content.center().x(), content.top() - 1);
    EXPECT_LT(border.lightness(), backdrop.lightness());

    // A zoom step shows the frame at once and sharp again once zooming pauses.
    f.zoom.setScale(1.5);
    QApplication::processEvents();
    const QRect zoomed = f.area.contentGeometry();
    EXPECT_EQ(zoomed.size(), f.area.framedCanvas()->scaledSize());
    QTest::qWait(FramedCanvas::refineDelayMs + 100);
    const QImage refined = render(&f.area);
    const QPoint inFrame = f.area.widget()->mapTo(&f.area, zoomed.topLeft() + QPoint(3, 3));
    EXPECT_TRUE(near(refined.pixelColor(inFrame), QColor(0, 255, 0)));
}

TEST(EditorCanvasArea, MarksPastTheImageShowOverTheFramePaddingWhateverTheCorners)
{
    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = "#00FF00";
    frame.padding = 0.1;
    frame.shadow = 0;
    frame.cornerRadius = 0;
    AreaFixture f({400, 300}, {1000, 700}, frame);
    Annotation blur{.kind = AnnotationKind::pixelate, .p1 = {300, 100}, .p2 = {440, 200}};
    blur.obscure = ObscureStyle::blur;
    f.store->setAnnotations({blur});
    f.settle();
    const QRect content = f.area.contentGeometry();
    const QRectF image = f.store->frameLayout().imageRect;
    ASSERT_GT(image.left(), 30);
    const auto at = [&](QPointF p) {
        return content.topLeft() + ((image.topLeft() + p) * f.zoom.scale()).toPoint();
    };
    const QPoint inPadding = at({420, 150});
    const QPoint besideBox = at({420, 250});
    auto green = [&](QPoint p) { return near(render(&f.area).pixelColor(p), QColor(0, 255, 0)); };
    EXPECT_FALSE(green(inPadding));
    EXPECT_TRUE(green(besideBox));

    // Moved back onto the image, the padding shows the frame again.
    blur.p2 = {380, 200};
    f.store->setAnnotations({blur});
    f.settle();
    EXPECT_TRUE(green(inPadding));

    // Rounded corners clip only the export's content: the editor still shows the whole mark,
    // while its corner cover hides the image's own corners.
    blur.p2 = {440, 200};
    f.store->setAnnotations({blur});
    frame.cornerRadius = 12;
    f.store->assignFrame(frame);
    f.settle();
    EXPECT_FALSE(green(inPadding));
    EXPECT_TRUE(green(besideBox));
    const QPoint imageCorner = at({1, 1});
    EXPECT_TRUE(green(imageCorner));
}

TEST(EditorView, StepZoomsStartAtAQuarterAfterAFitAndStopAtFour)
{
    CleanHooks clean;
    auto store = plainStore({4000, 3000});
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.resize(1000, 800);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    // The wheel with Ctrl over the canvas.
    zoom.setScale(0.1);
    QWidget* viewport = view.canvasArea()->viewport();
    const QPointF inside(50, 50);
    QWheelEvent wheel(inside, viewport->mapToGlobal(inside), {}, {0, -120}, Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);

    zoom.setScale(0.1);
    QTest::keyClick(&view, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);

    zoom.setScale(0.1);
    QTest::mouseClick(view.statusBar()->zoomOutButton(), Qt::LeftButton);
    EXPECT_DOUBLE_EQ(zoom.scale(), 0.25);

    zoom.setScale(4.0);
    QTest::keyClick(&view, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(zoom.scale(), 4.0);
}

TEST(EditorView, ZoomToFitFitsTheFramedCanvasOrTheBareImageWhileCropping)
{
    CleanHooks clean;
    auto store = plainStore({4000, 3000});
    store->setFrame(FrameStyle{.padding = 0.2}, false);
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.resize(1000, 800);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const QSizeF canvas = store->frameLayout().canvasSize;
    ASSERT_GT(canvas.width(), 4000);

    zoom.setScale(3);
    view.zoomToFit();
    EXPECT_DOUBLE_EQ(zoom.scale(), *EditorZoom::fitScale(canvas, zoom.viewportSize()));

    store->activate(Tool::crop);
    QApplication::processEvents();
    zoom.setScale(3);
    view.zoomToFit();
    EXPECT_DOUBLE_EQ(zoom.scale(), *EditorZoom::fitScale({4000, 3000}, zoom.viewportSize()));
}

TEST(EditorView, DeleteRemovesTheSelectionOnlyOutsideTextFields)
{
    CleanHooks clean;
    auto store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));

    const Annotation mark = box();
    store->appendAnnotation(mark);
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(store->annotations().size(), 1); // no selection: nothing
    EXPECT_EQ(store->undoCount(), 0);

    store->setSelectedID(mark.id);
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_TRUE(store->annotations().isEmpty());
    EXPECT_EQ(store->undoCount(), 1);

    const Annotation second = box({200, 150}, {260, 200});
    store->appendAnnotation(second);
    store->setSelectedID(second.id);
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_TRUE(store->annotations().isEmpty());

    // A text field of the page holds the keyboard: Delete edits its text.
    const Annotation third = box();
    store->appendAnnotation(third);
    store->setSelectedID(third.id);
    auto* field = new QLineEdit("abc", view.optionsBar());
    field->show();
    field->setFocus();
    field->setCursorPosition(0);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), "bc");
    EXPECT_EQ(store->annotations().size(), 1);
}

TEST(EditorView, InlineTextFieldKeepsDelete)
{
    CleanHooks clean;
    auto store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    store->activate(Tool::text);
    CanvasView* canvas = view.canvasArea()->framedCanvas()->canvas();
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(100, 100));
    QApplication::processEvents();
    QApplication::processEvents();
    ASSERT_NE(canvas->inlineTextField(), nullptr);
    ASSERT_EQ(store->annotations().size(), 1);
    store->setSelectedID(store->annotations().first().id);
    EXPECT_TRUE(view.isEditingText());
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(store->annotations().size(), 1);
}

TEST(EditorView, TheShortcutsSheetIsWindowModalAndClosingItClearsTheRequest)
{
    CleanHooks clean;
    auto store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);

    view.setShowsShortcuts(true);
    const QPointer<QDialog> sheet = view.shortcutsSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    view.setShowsShortcuts(true); // asked again while open: the same sheet
    EXPECT_EQ(view.shortcutsSheet(), sheet.data());

    sheet->reject();
    EXPECT_FALSE(view.showsShortcuts());
    EXPECT_EQ(view.shortcutsSheet(), nullptr);
}

// A page needs nothing installed to have its sheets, crop overlay, option groups and tool keys.
TEST(EditorView, APageBuiltAloneHasItsSheetsCropOverlayOptionsAndToolKeys)
{
    CleanHooks clean;
    auto store = plainStore();
    store->activate(Tool::pen);
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.resize(900, 650);
    view.show();
    QApplication::processEvents();
    EXPECT_NE(view.optionsBar()->findChild<StyleGroup*>(), nullptr);

    store->setIsResizing(true);
    EXPECT_NE(qobject_cast<ResizeView*>(view.resizeSheet()), nullptr);
    view.resizeSheet()->reject();
    EXPECT_FALSE(store->isResizing());
    EXPECT_EQ(view.resizeSheet(), nullptr);

    store->setIsSharpening(true);
    ASSERT_NE(qobject_cast<SharpenView*>(view.sharpenSheet()), nullptr);
    EXPECT_EQ(view.sharpenSheet()->windowModality(), Qt::WindowModal);
    view.sharpenSheet()->reject();
    EXPECT_FALSE(store->isSharpening());

    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const auto typeKey = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &view, key, modifiers);
    };
    typeKey(Qt::Key_O);
    EXPECT_EQ(store->tool(), Tool::ellipse);
    typeKey(Qt::Key_Question, Qt::ShiftModifier);
    EXPECT_NE(qobject_cast<KeyboardShortcutsSheet*>(view.shortcutsSheet()), nullptr);
    view.shortcutsSheet()->reject();

    store->activate(Tool::crop);
    QApplication::processEvents();
    EXPECT_NE(qobject_cast<CropView*>(view.canvasArea()->cropContent()), nullptr);
    EXPECT_NE(view.optionsBar()->findChild<CropOptions*>(), nullptr);
}

TEST(EditorView, SelectableTextRefreshesOnShowEditsAndSwitchingOff)
{
    CleanHooks clean;
    auto store = plainStore();
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    QSignalSpy refreshes(&view, &EditorView::selectableTextRefresh);
    QSignalSpy enabled(&view, &EditorView::selectableTextEnabledChanged);
    view.show();
    view.hide();
    view.show();
    EXPECT_EQ(refreshes.count(), 1); // the first showing only

    store->appendAnnotation(box());
    store->setFrame(FrameStyle{}, true);
    store->setWatermark(Watermark{}, true);
    store->setImage(plainImage({300, 200}));
    EXPECT_EQ(refreshes.count(), 5);
    store->setColorHex("#00FF00"); // not part of the analysed document
    EXPECT_EQ(refreshes.count(), 5);

    platform::Defaults::standard().setValue("selectableTextEnabled", true);
    EXPECT_TRUE(view.isSelectableTextEnabled());
    EXPECT_EQ(refreshes.count(), 5);
    platform::Defaults::standard().setValue("selectableTextEnabled", false);
    EXPECT_EQ(refreshes.count(), 6);
    EXPECT_EQ(enabled.count(), 2);
}

TEST(EditorView, CursorRule)
{
    const auto isTool = [](const QCursor& c, Tool tool) {
        return CanvasCursor::sameCursor(c, ToolCursor::cursor(tool));
    };
    EXPECT_TRUE(isTool(EditorView::canvasCursor(Tool::arrow, true), Tool::crop));
    EXPECT_EQ(EditorView::canvasCursor(Tool::select, false).shape(), Qt::ArrowCursor);
    EXPECT_EQ(EditorView::canvasCursor(Tool::frame, false).shape(), Qt::ArrowCursor);
    EXPECT_TRUE(isTool(EditorView::canvasCursor(Tool::pen, false), Tool::pen));
}

TEST(EditorView, WholePageScreenshot)
{
    CleanHooks clean;
    auto store = plainStore({640, 400});
    FrameStyle frame;
    frame.padding = 0.06;
    store->assignFrame(frame);
    store->appendAnnotation(box({40, 40}, {300, 200}));
    store->activate(Tool::ellipse);
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(*store, zoom, dialogs);
    view.resize(1000, 720);
    view.show();
    QApplication::processEvents();
    zoom.zoomToFit(*store);
    QApplication::processEvents();
    const QImage shot = render(&view);
    ASSERT_TRUE(shot.save(QStringLiteral(SNAPKIN_BUILD_DIR "/editor-view-offscreen.png")));
    // The sidebar's highlighted tool and the status bar's read-out are in place.
    EXPECT_EQ(view.statusBar()->geometry().bottom(), view.height() - 1);
    EXPECT_EQ(view.sidebar()->width(), 60);
}

TEST(EditorView, KeyboardAliasesActOnlyOnTheShownTab)
{
    CleanHooks clean;
    auto first = plainStore();
    auto second = plainStore();
    EditorZoom zoom1, zoom2;
    QTabWidget tabs;
    ExportService exports;
    ExportDialogs dialogs(exports);
    tabs.addTab(new EditorView(*first, zoom1, dialogs), "one");
    tabs.addTab(new EditorView(*second, zoom2, dialogs), "two");
    tabs.setCurrentIndex(1);
    tabs.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&tabs));
    QTest::keyClick(&tabs, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(zoom1.scale(), 1.0);
    EXPECT_DOUBLE_EQ(zoom2.scale(), 1.25);

    const Annotation mark = box();
    first->appendAnnotation(mark);
    first->setSelectedID(mark.id);
    second->appendAnnotation(mark);
    second->setSelectedID(mark.id);
    QTest::keyClick(&tabs, Qt::Key_Delete);
    EXPECT_EQ(first->annotations().size(), 1);
    EXPECT_TRUE(second->annotations().isEmpty());
}
