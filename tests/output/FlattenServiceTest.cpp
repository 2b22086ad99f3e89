#include "output/FlattenService.h"
#include "TestPaths.h"
#include "model/AnnotationDocument.h"
#include "model/AnnotationStore.h"
#include "model/FrameLayout.h"
#include "model/SnapkinDocument.h"
#include "output/OutputHooks.h"
#include "platform/ImageReader.h"

#include <gtest/gtest.h>

using namespace snapkin;

namespace {

platform::BaseImage filled(QSize pixels, QSizeF points, QColor color = Qt::blue)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return platform::BaseImage(image, points);
}

Annotation greenSquare(QPointF from, QPointF to)
{
    Annotation a;
    a.kind = AnnotationKind::rectangle;
    a.p1 = from;
    a.p2 = to;
    a.filled = true;
    a.colorHex = QStringLiteral("#00FF00");
    return a;
}

} // namespace

TEST(FlattenScale, RendersAtTheBaseImagePixelScale)
{
    // 800 × 600 points held at 1600 × 1200 pixels.
    FlattenService::Input input{filled(QSize(1600, 1200), QSizeF(800, 600)), {}, {}, {}};
    input.annotations = {greenSquare(QPointF(100, 100), QPointF(200, 200))};
    const auto out = FlattenService::flatten(input);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->size(), QSize(1600, 1200));
    EXPECT_DOUBLE_EQ(out->devicePixelRatio(), 2.0);
    EXPECT_EQ(out->pixel(300, 300), qRgb(0, 255, 0)); // 150 points in
    EXPECT_EQ(out->pixel(1000, 1000), qRgb(0, 0, 255));

    // A low-density image is not scaled down: 400 pixels laid out over 800 points.
    const auto low = platform::BaseImage(filled(QSize(400, 300), QSizeF(800, 600)));
    EXPECT_DOUBLE_EQ(FlattenService::pixelScale(low), 1.0);
    const auto wide = FlattenService::flatten(FlattenService::Input{low, {}, {}, {}});
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(wide->size(), QSize(800, 600));
}

TEST(FlattenPresentation, UnframedDocumentsKeepTheImageSize)
{
    FlattenService::Input input{filled(QSize(300, 200), QSizeF(300, 200)), {}, {}, {}};
    Watermark hidden;
    hidden.text = QStringLiteral(" \n ");
    input.watermark = hidden; // present but not visible: no presentation
    const auto out = FlattenService::flatten(input);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->size(), QSize(300, 200));
    EXPECT_EQ(out->pixel(0, 0), qRgb(0, 0, 255));
}

// With nothing to draw over or around it, at its own pixel size, the image is the picture: its
// pixels are shared, not copied (a document's image may take a gigabyte); translucent pixels
// stay as they are. Anything drawn gives a picture of its own.
TEST(FlattenPresentation, AnImageWithNothingOverItIsThePictureItself)
{
    const QColor translucent(0, 0, 255, 128);
    const auto image = filled(QSize(800, 600), QSizeF(800, 600), translucent);
    const auto out = FlattenService::flatten(FlattenService::Input{image, {}, {}, {}});
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->constBits(), image.image().constBits());
    EXPECT_EQ(out->pixelColor(10, 10), translucent);

    // At two pixels a point the picture says so, its pixels unchanged.
    const auto dense =
        FlattenService::flatten({filled(QSize(1600, 1200), QSizeF(800, 600)), {}, {}, {}});
    ASSERT_TRUE(dense.has_value());
    EXPECT_DOUBLE_EQ(dense->devicePixelRatio(), 2.0);
    EXPECT_EQ(dense->pixel(1599, 1199), qRgb(0, 0, 255));

    const auto drawn = FlattenService::flatten({image, {greenSquare({10, 10}, {20, 20})}, {}, {}});
    ASSERT_TRUE(drawn.has_value());
    EXPECT_NE(drawn->constBits(), image.image().constBits());
    EXPECT_EQ(drawn->pixel(15, 15), qRgb(0, 255, 0));
    EXPECT_EQ(image.image().pixelColor(15, 15), translucent);
}

TEST(FlattenPresentation, FramedDocumentsTakeTheLayoutCanvas)
{
    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = QStringLiteral("#FF0000");
    frame.aspect = CropAspect::square;
    const auto image = filled(QSize(800, 600), QSizeF(400, 300));
    FlattenService::Input input{image, {greenSquare(QPointF(0, 0), QPointF(400, 300))}, frame, {}};
    input.annotations[0].p1 = QPointF(-50, -50); // reaches past the image: clipped to it
    const auto out = FlattenService::flatten(input);
    ASSERT_TRUE(out.has_value());
    const FrameLayout layout(QSizeF(400, 300), frame, 2);
    EXPECT_EQ(out->size(), (layout.canvasSize * 2).toSize());
    EXPECT_EQ(out->width(), out->height());
    EXPECT_EQ(out->pixel(2, 2), qRgb(255, 0, 0));
    const QPoint imageCentre = (layout.imageRect.center() * 2).toPoint();
    EXPECT_EQ(out->pixel(imageCentre), qRgb(0, 255, 0));
    // Just outside the image's top edge: the frame, not the annotation that reached past it.
    const QPoint aboveImage(imageCentre.x(), int(layout.imageRect.top() * 2) - 2);
    EXPECT_EQ(qGreen(out->pixel(aboveImage)), 0);
}

TEST(FlattenPresentation, ObscuringBoxCoversTheFramePaddingItReaches)
{
    // Square corners: the frame does not clip the content, so the blur box reaching past the
    // image's right edge lies over the padding there, obscured, not in the frame's colour.
    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = QStringLiteral("#FFFFFF");
    frame.cornerRadius = 0;
    frame.shadow = 0;
    const auto image = filled(QSize(400, 300), QSizeF(400, 300), Qt::blue);
    Annotation blur;
    blur.kind = AnnotationKind::pixelate;
    blur.obscure = ObscureStyle::blur;
    blur.p1 = QPointF(300, 100);
    blur.p2 = QPointF(420, 200);
    const auto out = FlattenService::flatten(FlattenService::Input{image, {blur}, frame, {}});
    ASSERT_TRUE(out.has_value());
    const FrameLayout layout(QSizeF(400, 300), frame, 1);
    ASSERT_GT(layout.imageRect.left(), 20);
    const QPoint inPadding = (layout.imageRect.topLeft() + QPointF(410, 150)).toPoint();
    EXPECT_GT(qBlue(out->pixel(inPadding)), 200);
    EXPECT_LT(qRed(out->pixel(inPadding)), 40);
    const QPoint besideBox = (layout.imageRect.topLeft() + QPointF(410, 250)).toPoint();
    EXPECT_EQ(out->pixel(besideBox), qRgb(255, 255, 255));
}

TEST(FlattenFailures, EmptyAndOversizedImagesFailInsteadOfGivingAnImage)
{
    const auto empty = FlattenService::flatten(FlattenService::Input{});
    ASSERT_FALSE(empty.has_value());
    EXPECT_EQ(empty.error(), FlattenError::emptyImage);
    EXPECT_EQ(userMessage(empty.error()), QStringLiteral("Couldn't prepare the image"));

    // A document may lay out a few pixels over a vast point size.
    const auto vast = FlattenService::flatten(
        FlattenService::Input{filled(QSize(100, 100), QSizeF(90000, 90000)), {}, {}, {}});
    ASSERT_FALSE(vast.has_value());
    EXPECT_EQ(vast.error(), FlattenError::tooLarge);
}

TEST(FlattenStore, TheStoreAndTheDocumentFlattenAlike)
{
    AnnotationStore store(filled(QSize(200, 100), QSizeF(200, 100)));
    store.setAnnotations({greenSquare(QPointF(10, 10), QPointF(60, 60))});
    FrameStyle frame;
    frame.shadow = 0.8;
    store.assignFrame(frame);
    const auto fromStore = FlattenService::flatten(store);
    ASSERT_TRUE(fromStore.has_value());
    EXPECT_EQ(fromStore->size(), store.frameLayout().canvasSize.toSize());

    AnnotationDocument document;
    document.canvasSize = QSizeF(200, 100);
    document.annotations = store.annotations();
    document.frame = frame;
    const auto fromDocument = FlattenService::flatten(document, store.image());
    ASSERT_TRUE(fromDocument.has_value());
    EXPECT_EQ(*fromDocument, *fromStore);
}

TEST(FlattenStore, FramesExactlyWhenTheStoreHasAPresentation)
{
    // A 2x image whose corners show: a presentation either pads it or rounds its corners.
    AnnotationStore store(filled(QSize(400, 200), QSizeF(200, 100)));
    store.setAnnotations({greenSquare(QPointF(-20, 40), QPointF(60, 60))});
    Watermark blank;
    blank.text = QStringLiteral(" ");
    Watermark logoless;
    logoless.kind = WatermarkKind::image;
    Watermark signature;
    signature.text = QStringLiteral("Snapkin");
    const FrameStyle bare{.background = FrameBackgroundKind::transparent,
                          .padding = 0,
                          .cornerRadius = 0,
                          .shadow = 0};
    const FrameStyle rounded{.background = FrameBackgroundKind::transparent, .padding = 0};
    const FrameStyle solidSquare{.background = FrameBackgroundKind::solid,
                                 .solidHex = QStringLiteral("#FF0000"),
                                 .aspect = CropAspect::square};
    struct Case {
        const char* name;
        std::optional<FrameStyle> frame;
        std::optional<Watermark> watermark;
        bool presents;
    };
    const Case cases[] = {
        {"nothing", {}, {}, false},
        {"blank watermark", {}, blank, false},
        {"logo without image", {}, logoless, false},
        {"text watermark", {}, signature, true},
        {"bare frame", bare, {}, true},
        {"rounded frame", rounded, blank, true},
        {"solid square frame", solidSquare, signature, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store.setFrame(c.frame, false);
        store.setWatermark(c.watermark, false);
        EXPECT_EQ(store.hasPresentation(), c.presents);

        const auto out = FlattenService::flatten(store);
        ASSERT_TRUE(out.has_value());
        const QSizeF content = c.presents ? store.frameLayout().canvasSize : QSizeF(200, 100);
        EXPECT_EQ(out->size(), (content * store.pixelScale()).toSize());
        EXPECT_DOUBLE_EQ(out->devicePixelRatio(), store.pixelScale());
        // Unframed, the annotation reaching past the left edge is cut at the image.
        if (!c.presents) {
            EXPECT_EQ(out->pixel(0, 100), qRgb(0, 255, 0));
            EXPECT_EQ(out->pixel(0, 0), qRgb(0, 0, 255));
        }
        if (c.frame == rounded) {
            EXPECT_EQ(qAlpha(out->pixel(0, 0)), 0);
        }

        // The snapshot taken for another thread reads the same rules.
        const FlattenService::Input snapshot = FlattenService::input(store);
        EXPECT_EQ(snapshot.hasPresentation(), store.hasPresentation());
        EXPECT_EQ(snapshot.frameLayout(), store.frameLayout());
        EXPECT_EQ(FlattenService::composition(store).layout, store.frameLayout());
        const auto fromSnapshot = FlattenService::flattenInBackground(snapshot).result();
        ASSERT_TRUE(fromSnapshot.has_value());
        EXPECT_EQ(*fromSnapshot, *out);
    }
}

TEST(FlattenStore, PackagesGetAFramedPreviewOnceTheHookIsInstalled)
{
    installOutputHooks();
    AnnotationStore store(filled(QSize(400, 200), QSizeF(400, 200)));
    FrameStyle frame;
    frame.background = FrameBackgroundKind::solid;
    frame.solidHex = QStringLiteral("#FF0000");
    store.assignFrame(frame);
    const auto package = SnapkinDocument::wrapper(store);
    ASSERT_TRUE(package.has_value());
    ASSERT_TRUE(package->thumbnailPNG.has_value());
    const auto preview = platform::readImage(*package->thumbnailPNG);
    ASSERT_TRUE(preview.has_value());
    EXPECT_EQ(preview->size(), store.frameLayout().canvasSize.toSize());
    EXPECT_EQ(preview->pixel(1, 1), qRgb(255, 0, 0));
}

TEST(FlattenStore, TheFramedFixtureFlattensWithFrameShadowAndWatermark)
{
    const auto contents =
        SnapkinDocument::read(QStringLiteral(SNAPKIN_TEST_DATA "/frame-watermark.snapkin"));
    ASSERT_TRUE(contents.has_value());
    ASSERT_TRUE(contents->document.frame && contents->document.watermark);
    const auto out = FlattenService::flatten(contents->document, contents->image);
    ASSERT_TRUE(out.has_value());
    const FrameLayout layout(contents->image.pointSize(), contents->document.frame, 2);
    ASSERT_EQ(out->size(), (layout.canvasSize * 2).toSize());
    EXPECT_NEAR(double(out->width()) / out->height(), 16.0 / 9, 0.005);

    // The gradient runs from #FF3366 at the top left to #FF9F0A at the bottom right.
    const QRgb start = out->pixel(0, 0);
    const QRgb end = out->pixel(out->width() - 1, out->height() - 1);
    EXPECT_NEAR(qGreen(start), 0x33, 6);
    EXPECT_NEAR(qGreen(end), 0x9F, 6);
    // The shadow darkens the frame just below the image, not above it.
    const QRectF image(layout.imageRect.topLeft() * 2, layout.imageRect.size() * 2);
    const int x = int(image.center().x());
    const QRgb below = out->pixel(x, int(image.bottom()) + 6);
    const QRgb above = out->pixel(x, int(image.top()) - 7);
    EXPECT_LT(qRed(below) + qGreen(below), qRed(above) + qGreen(above));
    // The white watermark lightens the bottom-right margin somewhere.
    int lighter = 0;
    for (int yy = int(image.bottom()) + 2; yy < out->height(); ++yy)
        for (int xx = int(image.right()) - 200; xx < out->width(); ++xx)
            lighter += qBlue(out->pixel(xx, yy)) > 200;
    EXPECT_GT(lighter, 50);
}

// A flatten told to stop draws no more: for a preview given up as the application must end.
TEST(FlattenCancellation, AStoppedFlattenDrawsNothingMoreOverTheImage)
{
    Annotation stroke;
    stroke.kind = AnnotationKind::pen;
    stroke.colorHex = QStringLiteral("#00FF00");
    stroke.lineWidth = 6;
    for (int i = 0; i < 4000; ++i)
        stroke.points.append(QPointF(10 + (i % 2) * 80, 10 + i * 0.02));
    FlattenService::Input input{filled(QSize(100, 100), QSizeF(100, 100)),
                                {greenSquare({20, 60}, {40, 80}), stroke},
                                std::nullopt,
                                std::nullopt};
    const auto drawn = FlattenService::flatten(input);
    ASSERT_TRUE(drawn.has_value());
    EXPECT_EQ(drawn->pixelColor(30, 70), QColor(Qt::green));
    EXPECT_EQ(drawn->pixelColor(50, 40), QColor(Qt::green));

    const std::atomic<bool> stop{true};
    const auto stopped = FlattenService::flatten(input, &stop);
    ASSERT_TRUE(stopped.has_value());
    EXPECT_EQ(stopped->pixelColor(30, 70), QColor(Qt::blue));
    EXPECT_EQ(stopped->pixelColor(50, 40), QColor(Qt::blue));
}
