#include "StoreTestSupport.h"

#include "model/AnnotationStore.h"

#include <gtest/gtest.h>

#include <numbers>

using namespace snapkin;
using snapkin::testing::makeImage;
using snapkin::testing::makeStore;
using snapkin::testing::rectangle;

namespace {

constexpr double pi = std::numbers::pi;

// A 200 x 100 point image at 2 pixels per point, white with a red top-left pixel.
platform::BaseImage markedImage()
{
    QImage pixels(400, 200, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::white);
    pixels.setPixel(0, 0, qRgb(255, 0, 0));
    return platform::BaseImage(pixels, QSizeF(200, 100));
}

Annotation sampleStamp()
{
    return Annotation{.kind = AnnotationKind::stamp,
                      .p1 = {190, 10},
                      .p2 = {180, 20},
                      .points = {{190, 10}, {5, 95}},
                      .tailAngle = 0.3};
}

} // namespace

TEST(AnnotationStoreGeometry, DpiAndPixelScale)
{
    auto store = makeStore(makeImage({800, 600}, {400, 300}));
    EXPECT_EQ(store->pixelDimensions(), QSize(800, 600));
    EXPECT_EQ(store->dpi(), 144);
    EXPECT_EQ(store->pixelScale(), 2);

    // A bitmap smaller than its point size never gives a scale below 1.
    auto small = makeStore(makeImage({100, 50}, {200, 100}));
    EXPECT_EQ(small->pixelScale(), 1);
    EXPECT_EQ(small->dpi(), 36);

    // No pixels: the point size, rounded, and 72 dpi.
    auto empty = makeStore(platform::BaseImage());
    EXPECT_EQ(empty->dpi(), 72);
    EXPECT_EQ(empty->pixelScale(), 1);
}

TEST(AnnotationStoreGeometry, PresentationNeedsAFrameOrAVisibleWatermark)
{
    auto store = makeStore(makeImage({800, 600}, {400, 300}));
    EXPECT_FALSE(store->hasPresentation());
    EXPECT_EQ(store->frameLayout().canvasSize, QSizeF(400, 300));

    Watermark mark;
    mark.text = QStringLiteral("  \n\t");
    store->setWatermark(mark, false);
    EXPECT_FALSE(store->hasPresentation()) << "a blank text shows nothing";
    mark.kind = WatermarkKind::image;
    mark.text = QStringLiteral("ignored for a logo");
    store->setWatermark(mark, false);
    EXPECT_FALSE(store->hasPresentation()) << "a logo without its image shows nothing";
    mark.imageData = QByteArray("png");
    store->setWatermark(mark, false);
    EXPECT_TRUE(store->hasPresentation());
    EXPECT_EQ(store->frameLayout().canvasSize, QSizeF(400, 300)) << "a watermark adds no padding";

    // Any frame presents, even one that adds nothing around the image.
    store->setWatermark(std::nullopt, false);
    store->setFrame(FrameStyle{.background = FrameBackgroundKind::transparent, .padding = 0},
                    false);
    EXPECT_TRUE(store->hasPresentation());
    store->setFrame(FrameStyle{.aspect = CropAspect::square}, false);
    const QSizeF canvas = store->frameLayout().canvasSize;
    EXPECT_EQ(canvas.width(), canvas.height());
    EXPECT_GT(canvas.width(), 400);
}

TEST(AnnotationStoreCrop, SnapsToWholePixelsAndMovesAnnotations)
{
    auto store = makeStore(markedImage());
    store->setAnnotations({sampleStamp()});
    store->activate(Tool::crop);
    store->setCropRect(QRectF(10.3, 20.2, 50.1, 30.05));
    store->applyCrop();

    EXPECT_EQ(store->image().pixelSize(), QSize(101, 61));
    EXPECT_EQ(store->image().pointSize(), QSizeF(50.5, 30.5));
    const Annotation moved = store->annotations()[0];
    EXPECT_EQ(moved.p1, QPointF(180, -10));
    EXPECT_EQ(moved.p2, QPointF(170, 0));
    EXPECT_EQ(moved.points[1], QPointF(-5, 75)); // outside the new image, kept as it is
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_FALSE(store->isCropping());
    EXPECT_EQ(store->tool(), Tool::select);

    store->undo();
    EXPECT_EQ(store->image().pointSize(), QSizeF(200, 100));
    EXPECT_EQ(store->annotations()[0].p1, QPointF(190, 10));
}

TEST(AnnotationStoreCrop, TooSmallCropOnlyLeavesCropMode)
{
    auto store = makeStore(markedImage());
    const auto image = store->image();
    store->activate(Tool::crop);
    store->setCropRect(QRectF(0, 0, 1, 50)); // snapped width exactly 1 point
    store->applyCrop();
    EXPECT_EQ(store->image(), image);
    EXPECT_EQ(store->undoCount(), 0);
    EXPECT_FALSE(store->isCropping());
    EXPECT_EQ(store->tool(), Tool::select);
}

TEST(AnnotationStoreCrop, RectanglePastTheEdgeIsClippedNotStretched)
{
    auto store = makeStore(markedImage());
    Annotation rect = rectangle({150, 50}, {160, 60});
    store->setAnnotations({rect});
    store->activate(Tool::crop);
    store->setCropRect(QRectF(-20, -10, 100, 60)); // reaches past the left and top edges
    store->applyCrop();
    // Only the part inside is kept, at its own scale: 80 x 50 points from the image's corner.
    EXPECT_EQ(store->image().pointSize(), QSizeF(80, 50));
    EXPECT_EQ(store->image().pixelSize(), QSize(160, 100));
    EXPECT_EQ(store->image().image().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(store->annotations()[0].p1, QPointF(150, 50)); // origin (0, 0): nothing moves

    auto wide = makeStore(markedImage());
    wide->activate(Tool::crop);
    wide->setCropRect(QRectF(150, 0, 100, 100));
    wide->applyCrop();
    EXPECT_EQ(wide->image().pointSize(), QSizeF(50, 100));
    EXPECT_EQ(wide->image().pixelSize(), QSize(100, 200));
}

TEST(AnnotationStoreCrop, AspectAndSideSetters)
{
    auto store = makeStore(makeImage({1200, 600}, {1200, 600}));
    store->activate(Tool::crop);
    store->setCropRect(QRectF(0, 400, 1000, 100));
    store->setCropAspect(CropAspect::r16x9);
    EXPECT_DOUBLE_EQ(store->cropRect().height(), 200);
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 200 * 16.0 / 9.0);

    store->setCropWidth(5);
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 10);
    EXPECT_DOUBLE_EQ(store->cropRect().height(), 5.625);
    store->setCropWidth(2000);
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 1200);
    EXPECT_DOUBLE_EQ(store->cropRect().height(), 200); // clamped at the bottom edge

    store->setCropAspect(CropAspect::free);
    store->setCropLock(true);
    store->setCropRect(QRectF(0, 0, 300, 100));
    store->setCropHeight(50);
    EXPECT_DOUBLE_EQ(store->cropRect().width(), 150);
    EXPECT_EQ(store->undoCount(), 0); // editing the rectangle records nothing
}

TEST(AnnotationStoreRotate, TurnsImageAndAnnotations)
{
    auto store = makeStore(markedImage());
    store->setAnnotations({sampleStamp()});
    store->rotate(true);
    EXPECT_EQ(store->image().pointSize(), QSizeF(100, 200));
    EXPECT_EQ(store->image().pixelSize(), QSize(200, 400));
    // The picture's top-left corner ends at the top right.
    EXPECT_EQ(store->image().image().pixel(199, 0), qRgb(255, 0, 0));
    EXPECT_EQ(store->annotations()[0].p1, QPointF(90, 190));
    EXPECT_DOUBLE_EQ(*store->annotations()[0].tailAngle, 0.3 + pi / 2);
    EXPECT_EQ(store->undoCount(), 1);

    auto other = makeStore(markedImage());
    other->setAnnotations({sampleStamp()});
    other->rotate(false);
    EXPECT_EQ(other->annotations()[0].p1, QPointF(10, 10));
    EXPECT_EQ(other->image().image().pixel(0, 399), qRgb(255, 0, 0)); // bottom left

    for (int i = 0; i < 3; ++i)
        store->rotate(true);
    const Annotation back = store->annotations()[0];
    EXPECT_EQ(back.p1, sampleStamp().p1);
    EXPECT_EQ(back.points, sampleStamp().points);
    EXPECT_DOUBLE_EQ(*back.tailAngle, 0.3 + 2 * pi);
    EXPECT_EQ(store->image().image().pixel(0, 0), qRgb(255, 0, 0));
}

TEST(AnnotationStoreFlip, MirrorsAndRestoresOnSecondFlip)
{
    auto store = makeStore(markedImage());
    Annotation arrow{.kind = AnnotationKind::arrow,
                     .p1 = {10, 20},
                     .p2 = {50, 70},
                     .tailAngle = 0.4,
                     .curved = true};
    store->setAnnotations({arrow});

    store->flipHorizontal();
    Annotation mirrored = store->annotations()[0];
    EXPECT_EQ(mirrored.p1, QPointF(190, 20));
    EXPECT_DOUBLE_EQ(*mirrored.tailAngle, pi - 0.4);
    EXPECT_DOUBLE_EQ(mirrored.curveHandle.y(), 0.22);
    EXPECT_EQ(store->image().image().pixel(399, 0), qRgb(255, 0, 0));
    store->flipHorizontal();
    EXPECT_EQ(store->annotations()[0].p1, arrow.p1);
    EXPECT_DOUBLE_EQ(*store->annotations()[0].tailAngle, 0.4);
    EXPECT_EQ(store->annotations()[0].curveHandle, arrow.curveHandle);

    store->flipVertical();
    mirrored = store->annotations()[0];
    EXPECT_EQ(mirrored.p2, QPointF(50, 30));
    EXPECT_DOUBLE_EQ(*mirrored.tailAngle, -0.4);
    EXPECT_EQ(store->image().image().pixel(0, 199), qRgb(255, 0, 0));
    EXPECT_EQ(store->undoCount(), 3);
}

TEST(AnnotationStoreResize, ScalesImageAndAnnotations)
{
    auto store = makeStore(makeImage({800, 400}, {400, 200}));
    Annotation text{.kind = AnnotationKind::text,
                    .p1 = {100, 100},
                    .p2 = {200, 150},
                    .lineWidth = 6,
                    .fontSize = 20,
                    .tailLength = 30};
    store->setAnnotations({text});
    store->setSelectedID(text.id);

    store->resize(800, 400); // the current size: nothing
    EXPECT_EQ(store->undoCount(), 0);
    store->resize(0, 100);
    EXPECT_EQ(store->undoCount(), 0);

    store->resize(800, 200);
    EXPECT_EQ(store->image().pixelSize(), QSize(800, 200));
    EXPECT_EQ(store->image().pointSize(), QSizeF(400, 100));
    const Annotation scaled = store->annotations()[0];
    EXPECT_EQ(scaled.p1, QPointF(100, 50));
    EXPECT_EQ(scaled.p2, QPointF(200, 75));
    EXPECT_EQ(scaled.lineWidth, 3);
    EXPECT_EQ(scaled.fontSize, 10);
    EXPECT_EQ(scaled.tailLength, 15);
    EXPECT_FALSE(store->selectedID());
    EXPECT_EQ(store->undoCount(), 1);
}

TEST(AnnotationStoreResize, RefusesSizesBeyondThePixelCap)
{
    auto store = makeStore(makeImage({100, 100}, {100, 100}));
    store->resize(1'000'000, 1'000'000);
    EXPECT_EQ(store->image().pixelSize(), QSize(100, 100));
    EXPECT_EQ(store->undoCount(), 0);
}

TEST(AnnotationStoreSharpen, OneStepThatKeepsGeometry)
{
    QImage pixels(40, 20, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(qRgb(100, 100, 100));
    for (int y = 0; y < 20; ++y)
        for (int x = 20; x < 40; ++x)
            pixels.setPixel(x, y, qRgb(150, 150, 150));
    auto store = makeStore(platform::BaseImage(pixels, QSizeF(20, 10)));
    Annotation rect = rectangle({1, 1}, {5, 5});
    store->setAnnotations({rect});

    store->sharpen(0);
    store->sharpen(-1);
    EXPECT_EQ(store->undoCount(), 0);

    store->sharpen(1);
    EXPECT_EQ(store->undoCount(), 1);
    EXPECT_EQ(store->image().pointSize(), QSizeF(20, 10));
    EXPECT_EQ(store->annotations()[0], rect);
    // The edge gains contrast: the dark side darker, the light side lighter.
    EXPECT_LT(qRed(store->image().image().pixel(19, 10)), 100);
    EXPECT_GT(qRed(store->image().image().pixel(20, 10)), 150);
    EXPECT_EQ(qRed(store->image().image().pixel(2, 10)), 100);
}
