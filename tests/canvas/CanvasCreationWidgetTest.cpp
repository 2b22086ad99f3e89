#include "CanvasWidgetTestSupport.h"

#include "platform/PoolThreads.h"
#include "support/AddressSpace.h"
#include "support/HostileImages.h"
#include "ui/canvas/handlers/CreationHandler.h"
#include "ui/canvas/handlers/ImagePicker.h"
#include "ui/canvas/handlers/InlineTextField.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QColorSpace>
#include <QImage>

#include <limits>

#include <unistd.h>

using namespace snapkin;
using snapkin::canvastest::CanvasFixture;

namespace {

struct DragCase {
    Tool tool;
    AnnotationKind kind;
};

class FakePicker : public ImagePicker {
public:
    std::optional<QString> path;
    int asked = 0;
    QStringList refusals;
    std::optional<QString> chooseImageFile(QWidget*) override
    {
        ++asked;
        return path;
    }
    void tellRefusal(QWidget*, const QString& message) override { refusals << message; }
};

} // namespace

TEST(CanvasCreation, EveryDragToolCreatesItsKindAsOneUndoStep)
{
    const DragCase cases[] = {
        {Tool::arrow, AnnotationKind::arrow},
        {Tool::rectangle, AnnotationKind::rectangle},
        {Tool::ellipse, AnnotationKind::ellipse},
        {Tool::line, AnnotationKind::line},
        {Tool::highlight, AnnotationKind::highlight},
        {Tool::pixelate, AnnotationKind::pixelate},
        {Tool::pen, AnnotationKind::pen},
        {Tool::spotlight, AnnotationKind::spotlight},
        {Tool::magnifier, AnnotationKind::magnifier},
    };
    for (const DragCase& c : cases) {
        SCOPED_TRACE(qPrintable(toRaw(c.tool)));
        CanvasFixture f(c.tool);
        f.store->setColorHex("#112233");
        f.drag({50, 60}, {150, 140});
        ASSERT_EQ(f.store->annotations().size(), 1);
        const Annotation& a = f.only();
        EXPECT_EQ(a.kind, c.kind);
        EXPECT_EQ(a.p1, QPointF(50, 60));
        EXPECT_EQ(f.store->undoCount(), 1);
        EXPECT_EQ(f.store->selectedID(), a.id);
        EXPECT_EQ(f.store->tool(), c.tool); // creating never changes the tool
        // A highlight is always yellow; everything else takes the chosen colour.
        EXPECT_EQ(a.colorHex, c.kind == AnnotationKind::highlight ? "#FFD60A" : "#112233");
        if (c.kind == AnnotationKind::pen) {
            EXPECT_EQ(a.points.size(), 5); // the press and one point per move
            EXPECT_EQ(a.points.constLast(), QPointF(150, 140));
        } else if (c.kind == AnnotationKind::magnifier) {
            EXPECT_EQ(a.p2, QPointF(150, 160)); // a round loupe stays square
        } else {
            EXPECT_EQ(a.p2, QPointF(150, 140));
        }
        f.store->undo();
        EXPECT_TRUE(f.store->annotations().isEmpty());
    }
}

TEST(CanvasCreation, ClickWithoutMovementLeavesNothing)
{
    for (Tool tool : {Tool::rectangle, Tool::ellipse, Tool::highlight, Tool::pixelate,
                      Tool::spotlight, Tool::arrow, Tool::line, Tool::pen}) {
        SCOPED_TRACE(qPrintable(toRaw(tool)));
        CanvasFixture f(tool);
        f.click({80, 80});
        EXPECT_TRUE(f.store->annotations().isEmpty());
        EXPECT_EQ(f.store->undoCount(), 0);
        EXPECT_FALSE(f.store->selectedID().has_value());
    }
}

TEST(CanvasCreation, TooSmallDraftsAreTakenBackAtTheirThresholds)
{
    // Zoom 10 lets integer pointer positions express tenths of a point.
    CanvasFixture f(Tool::rectangle);
    f.view->setZoom(10);
    f.drag({1000, 1000}, {1040, 1500}); // 4 wide, 50 high: kept
    EXPECT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().p2, QPointF(104, 150));
    f.drag({2000, 1000}, {2039, 1500}); // 3.9 wide: taken back with its step
    EXPECT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.store->undoCount(), 1);

    CanvasFixture arrow(Tool::arrow);
    arrow.drag({10, 10}, {14, 10}); // exactly 4 long: kept
    EXPECT_EQ(arrow.store->annotations().size(), 1);
}

TEST(CanvasCreation, PenNeedsTwoPoints)
{
    CanvasFixture f(Tool::pen);
    CanvasInteraction& input = f.view->interaction();
    input.pointerPressed({10, 10});
    input.pointerReleased({10, 10});
    EXPECT_TRUE(f.store->annotations().isEmpty());
    input.pointerPressed({10, 10});
    input.pointerMoved({11, 10});
    input.pointerReleased({11, 10});
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().points, (QList<QPointF>{{10, 10}, {11, 10}}));
}

TEST(CanvasCreation, MagnifierClickOrSliverBecomesDefaultLoupe)
{
    CanvasFixture f(Tool::magnifier);
    f.store->setMagnifierZoom(3);
    f.store->setMagnifierRound(false);
    f.click({200, 150});
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().p1, QPointF(120, 70));
    EXPECT_EQ(f.only().p2, QPointF(280, 230));
    EXPECT_EQ(f.only().magnification, 3);
    EXPECT_FALSE(f.only().magnifierRound);
    EXPECT_EQ(f.store->undoCount(), 1);

    f.drag({100, 100}, {200, 102}); // 100 wide, 2 high
    ASSERT_EQ(f.store->annotations().size(), 2);
    EXPECT_EQ(f.store->annotations()[1].box(), QRectF(20, 20, 160, 160));
}

TEST(CanvasCreation, RoundMagnifierGrowsSquareInTheDragDirection)
{
    CanvasFixture f(Tool::magnifier);
    f.drag({100, 100}, {130, 90}, 1);
    EXPECT_EQ(f.store->annotations()[0].p2, QPointF(130, 70));
    f.drag({100, 100}, {70, 130}, 1);
    EXPECT_EQ(f.store->annotations()[1].p2, QPointF(70, 130));
}

TEST(CanvasCreation, CropAndFrameDragsCreateNothing)
{
    for (Tool tool : {Tool::crop, Tool::frame}) {
        CanvasFixture f(tool);
        f.drag({10, 10}, {200, 200});
        EXPECT_TRUE(f.store->annotations().isEmpty());
        EXPECT_EQ(f.store->undoCount(), 0);
    }
}

TEST(CanvasCreation, NumberedStampsCountAndUndoGivesTheNumberBack)
{
    CanvasFixture f(Tool::stamp);
    f.store->setStampKind(StampKind::number);
    f.store->setColorHex("#00AA00");
    for (QPoint p : {QPoint(50, 50), QPoint(120, 50), QPoint(190, 50)})
        f.click(p);
    ASSERT_EQ(f.store->annotations().size(), 3);
    EXPECT_EQ(f.store->annotations()[2].text, "3");
    EXPECT_EQ(f.store->annotations()[2].box(), QRectF(170, 30, 40, 40));
    EXPECT_EQ(f.store->annotations()[0].disc, std::optional<bool>(true));
    EXPECT_EQ(f.store->annotations()[0].colorHex, "#00AA00");
    EXPECT_EQ(f.store->nextStampNumber(), 4);
    EXPECT_EQ(f.store->undoCount(), 3);
    f.store->undo();
    EXPECT_EQ(f.store->nextStampNumber(), 3);

    // A counter past 32 bits (from a document) numbers the stamp and counts on.
    f.store->setNextStampNumber(3'000'000'000);
    f.click({50, 250});
    EXPECT_EQ(f.store->annotations().constLast().text, "3000000000");
    EXPECT_EQ(f.store->nextStampNumber(), 3'000'000'001);
    f.store->undo();

    // At the 64-bit limit it numbers the stamp and stays there.
    f.store->setNextStampNumber(std::numeric_limits<qint64>::max());
    f.click({50, 250});
    EXPECT_EQ(f.store->annotations().constLast().text, "9223372036854775807");
    EXPECT_EQ(f.store->nextStampNumber(), std::numeric_limits<qint64>::max());
    f.store->undo();

    // A press that wanders more than 6 points is no tap.
    f.drag({50, 150}, {57, 150});
    EXPECT_EQ(f.store->annotations().size(), 2);
}

TEST(CanvasCreation, StickerIgnoresColourAndTextSize)
{
    CanvasFixture f(Tool::sticker);
    f.store->setColorHex("#000000");
    f.store->setTextSize(60);
    f.click({100, 100});
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().colorHex, "#FF3366");
    EXPECT_EQ(f.only().fontSize, 35.2);
    EXPECT_EQ(f.only().box(), QRectF(78, 78, 44, 44));
    EXPECT_EQ(f.only().text, f.store->stickerEmoji());
}

TEST(CanvasCreation, TextToolOpensExistingTextOrCreatesANewOne)
{
    CanvasFixture f(Tool::text);
    const Annotation note =
        f.add({.kind = AnnotationKind::text, .p1 = {20, 20}, .p2 = {20, 20}, .text = "Note"});
    const Annotation box =
        f.add({.kind = AnnotationKind::rectangle, .p1 = {200, 100}, .p2 = {300, 200}});

    f.click({30, 30});
    EXPECT_EQ(f.store->annotations().size(), 2);
    ASSERT_NE(f.view->inlineTextField(), nullptr);
    EXPECT_EQ(f.view->inlineTextField()->text(), "Note");
    EXPECT_EQ(f.view->interaction().state().editingTextID, note.id);

    // A click on the rectangle ends that edit (nothing changed: no step) and makes a new text.
    f.store->setTextSize(24);
    f.store->setTextBold(true);
    f.click({250, 150});
    ASSERT_EQ(f.store->annotations().size(), 3);
    const Annotation& created = f.store->annotations()[2];
    EXPECT_EQ(created.kind, AnnotationKind::text);
    EXPECT_EQ(created.p1, QPointF(250, 150));
    EXPECT_EQ(created.fontSize, 24);
    EXPECT_TRUE(created.bold);
    EXPECT_TRUE(f.view->interaction().state().editingIsNew);
    EXPECT_EQ(f.store->undoCount(), 1);
    Q_UNUSED(box);

    // A press that moves more than 6 points makes nothing (and ends the empty new text).
    f.drag({100, 250}, {110, 250});
    EXPECT_EQ(f.store->annotations().size(), 2);
    EXPECT_EQ(f.store->undoCount(), 0);
}

TEST(CanvasCreation, ImageToolPlacesAPickedImageScaledToFit)
{
    QTemporaryDir dir;
    const QString large = dir.filePath("large.png");
    const QString small = dir.filePath("small.png");
    QImage(640, 480, QImage::Format_RGB32).save(large);
    QImage(100, 50, QImage::Format_RGB32).save(small);
    const QString junk = dir.filePath("junk.png");
    {
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not an image");
    }

    CanvasFixture f(Tool::imageOverlay);
    FakePicker picker;
    f.view->setImagePicker(&picker);

    f.click({200, 150}); // cancelled
    picker.path = junk;
    f.click({200, 150}); // unreadable
    EXPECT_EQ(picker.asked, 2);
    EXPECT_TRUE(f.store->annotations().isEmpty());
    EXPECT_EQ(f.store->undoCount(), 0);

    picker.path = large;
    f.drag({200, 150}, {260, 150}); // the image tool has no distance rule
    ASSERT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().box(), QRectF(40, 30, 320, 240));
    ASSERT_TRUE(f.only().imageData.has_value());
    const QImage stored = QImage::fromData(*f.only().imageData, "PNG");
    EXPECT_EQ(stored.size(), QSize(640, 480));

    picker.path = small;
    f.click({100, 100});
    ASSERT_EQ(f.store->annotations().size(), 2);
    EXPECT_EQ(f.store->annotations()[1].box(), QRectF(50, 75, 100, 50));
    EXPECT_EQ(f.store->undoCount(), 2);
    EXPECT_EQ(f.store->selectedID(), f.store->annotations()[1].id);
}

// A picked file refused for the memory it would take (over the budget, or memory that ran out
// on the way in) is told in words that name it, and nothing is placed; a file that isn't an
// image still places nothing without a word (above).
TEST(CanvasCreation, ImageToolTellsAFileRefusedForMemory)
{
    const QString folder = snapkin::test::hostileImagesFolder();
    ASSERT_FALSE(folder.isEmpty()) << "scripts/hostile-images failed";
    CanvasFixture f(Tool::imageOverlay);
    FakePicker picker;
    f.view->setImagePicker(&picker);
    picker.path = QDir(folder).filePath("png-14000.png");
    f.click({200, 150});
    EXPECT_EQ(picker.refusals,
              QStringList{QString::fromUtf8("“png-14000.png”: The image is too large to open.")});
    EXPECT_TRUE(f.store->annotations().isEmpty());
    EXPECT_EQ(f.store->undoCount(), 0);

    if (snapkin::test::sanitized()) GTEST_SKIP() << "sanitizers reserve address space of their own";
    QTemporaryDir dir;
    picker.path = dir.filePath("large.png");
    QFile file(*picker.path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(snapkin::test::storedRgbPng(3000, 3000)); // 27 MB, read whole
    file.close();
    picker.refusals.clear();
    // A child started afresh: a forked one would paint through Qt's pool threads, which a
    // fork leaves behind, and wait for them for ever.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit([&] {
                    // Qt's pool threads, which paint, started while there is room, as at launch.
                    platform::reservePoolThreads();
                    if (!snapkin::test::leaveAddressSpace(16LL * 1024 * 1024)) return 5;
                    f.click({200, 150});
                    if (picker.refusals != QStringList{QString::fromUtf8(
                                               "There isn't enough memory to open “large.png”.")})
                        return 6;
                    return f.store->annotations().isEmpty() ? 0 : 7;
                }()),
                ::testing::ExitedWithCode(0), "");
}

// A placed image keeps sRGB pixels, as an opened image does: its PNG is written untagged, so
// pixels in another profile would show and export in the wrong colours.
TEST(CanvasCreation, APlacedImageIsStoredInSrgb)
{
    QTemporaryDir dir;
    struct Case {
        const char* name;
        std::optional<QColorSpace> profile;
        QColor expected;
    };
    // (200, 100, 50) in Display P3 is (215, 93, 31) in sRGB.
    const Case cases[] = {
        {"p3.png", QColorSpace(QColorSpace::DisplayP3), QColor(215, 93, 31)},
        {"srgb.png", QColorSpace(QColorSpace::SRgb), QColor(200, 100, 50)},
        {"untagged.png", std::nullopt, QColor(200, 100, 50)},
    };
    CanvasFixture f(Tool::imageOverlay);
    FakePicker picker;
    f.view->setImagePicker(&picker);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage source(40, 30, QImage::Format_RGB32);
        source.fill(QColor(200, 100, 50));
        if (c.profile) source.setColorSpace(*c.profile);
        picker.path = dir.filePath(c.name);
        ASSERT_TRUE(source.save(*picker.path, "PNG"));
        const qsizetype before = f.store->annotations().size();
        f.click({100, 100});
        ASSERT_EQ(f.store->annotations().size(), before + 1);
        const Annotation& placed = f.store->annotations().last();
        ASSERT_TRUE(placed.imageData.has_value());
        const QImage stored = QImage::fromData(*placed.imageData, "PNG");
        ASSERT_EQ(stored.size(), QSize(40, 30));
        const QRgb pixel = stored.pixel(20, 15);
        EXPECT_NEAR(qRed(pixel), c.expected.red(), 1);
        EXPECT_NEAR(qGreen(pixel), c.expected.green(), 1);
        EXPECT_NEAR(qBlue(pixel), c.expected.blue(), 1);
    }

    // An image that needs no conversion is not copied for it.
    QImage untagged(16, 16, QImage::Format_ARGB32);
    untagged.fill(QColor(10, 20, 30, 128));
    EXPECT_EQ(CreationHandler::placedImagePixels(untagged).cacheKey(), untagged.cacheKey());
    QImage srgb = untagged.copy();
    srgb.setColorSpace(QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(CreationHandler::placedImagePixels(srgb).cacheKey(), srgb.cacheKey());
    QImage p3 = untagged.copy();
    p3.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    const QImage converted = CreationHandler::placedImagePixels(p3);
    EXPECT_EQ(converted.colorSpace(), QColorSpace(QColorSpace::SRgb));
    EXPECT_EQ(qAlpha(converted.pixel(3, 3)), 128);
}

// A drag belongs to the tool it started with: a tool key pressed mid-drag must not leave the
// draft unjudged for the next drag to reshape.
TEST(CanvasCreation, ToolChangeMidDragStillEndsTheDraft)
{
    CanvasFixture f(Tool::rectangle);
    QTest::mousePress(f.view.get(), Qt::LeftButton, {}, {50, 50});
    QTest::mouseMove(f.view.get(), {51, 51});
    f.store->activate(Tool::select);
    QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, {51, 51});
    EXPECT_TRUE(f.store->annotations().isEmpty()); // 1 × 1: taken back
    EXPECT_EQ(f.store->undoCount(), 0);
    EXPECT_FALSE(f.view->interaction().state().draftID.has_value());

    // The next drag, with the select tool, selects nothing and changes nothing.
    f.drag({50, 50}, {150, 150});
    EXPECT_TRUE(f.store->annotations().isEmpty());

    // And the other way round: a select drag's state is cleared even if a creation tool is
    // picked before release.
    const Annotation r =
        f.add({.kind = AnnotationKind::rectangle, .p1 = {100, 100}, .p2 = {200, 200}});
    QTest::mousePress(f.view.get(), Qt::LeftButton, {}, {150, 150});
    QTest::mouseMove(f.view.get(), {170, 150});
    f.store->activate(Tool::ellipse);
    QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, {170, 150});
    EXPECT_FALSE(f.view->interaction().state().dragOrigin.has_value());
    EXPECT_EQ(f.store->annotations().size(), 1);
    EXPECT_EQ(f.only().p1, QPointF(120, 100));
    f.drag({10, 10}, {60, 60});
    EXPECT_EQ(f.store->annotations().size(), 2);
    EXPECT_EQ(f.store->annotations()[0].p1, QPointF(120, 100)); // not moved again
    Q_UNUSED(r);
}
