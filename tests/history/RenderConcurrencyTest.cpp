// The renderer on every thread at once, as the application runs it: four threads flatten a
// document while the GUI thread paints it in a canvas view and the history writes it back on its
// own thread. Built with -DSNAPKIN_SANITIZE=thread, any state these share without a lock is a
// report; in any build a flatten must come out the same on every thread.
#include "history/CaptureHistory.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/FlattenService.h"
#include "platform/Defaults.h"
#include "ui/canvas/CanvasView.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace snapkin;

namespace {

platform::BaseImage busyImage()
{
    QImage image(600, 400, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    for (int y = 0; y < 400; y += 20)
        for (int x = 0; x < 600; x += 20)
            painter.fillRect(x, y, 20, 20, QColor((x * 7) % 256, (y * 5) % 256, (x + y) % 256));
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 600, 400), Qt::AlignCenter, QStringLiteral("Lorem ipsum 123"));
    return platform::BaseImage(image);
}

QByteArray smallPng()
{
    QImage image(16, 12, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0, 180, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

Annotation mark(AnnotationKind kind, QPointF p1, QPointF p2)
{
    Annotation a{.kind = kind, .p1 = p1, .p2 = p2};
    a.colorHex = QStringLiteral("#E5322D");
    a.lineWidth = 4;
    return a;
}

// One of every kind that keeps something between paints: curved marks (raster pictures), an
// emoji and a lens (small pictures), a placed image (decoded images), a pixelate and a blur
// (obscured regions), with a pen stroke and text between them.
QList<Annotation> busyAnnotations()
{
    Annotation arrow = mark(AnnotationKind::arrow, {20, 20}, {200, 120});
    arrow.curved = true;
    Annotation ellipse = mark(AnnotationKind::ellipse, {260, 30}, {360, 110});
    Annotation pen = mark(AnnotationKind::pen, {}, {});
    pen.points = {{30, 300}, {80, 260}, {140, 330}, {200, 280}, {260, 350}};
    Annotation pixelate = mark(AnnotationKind::pixelate, {380, 40}, {520, 150});
    Annotation blur = mark(AnnotationKind::pixelate, {400, 200}, {560, 300});
    blur.obscure = ObscureStyle::blur;
    Annotation stamp = mark(AnnotationKind::stamp, {220, 200}, {260, 240});
    stamp.stamp = StampKind::number;
    stamp.text = QStringLiteral("7");
    Annotation sticker = mark(AnnotationKind::sticker, {300, 300}, {340, 340});
    Annotation text = mark(AnnotationKind::text, {40, 160}, {200, 200});
    text.text = QStringLiteral("Threads");
    text.fontSize = 24;
    Annotation lens = mark(AnnotationKind::magnifier, {120, 120}, {220, 220});
    Annotation placed = mark(AnnotationKind::imageOverlay, {500, 320}, {580, 380});
    placed.imageData = smallPng();
    Annotation highlight = mark(AnnotationKind::highlight, {20, 360}, {220, 390});
    Annotation rectangle = mark(AnnotationKind::rectangle, {380, 320}, {480, 390});
    return {arrow,   ellipse, pen,  pixelate, blur,      stamp,
            sticker, text,    lens, placed,   highlight, rectangle};
}

TEST(RenderConcurrency, FourThreadsFlattenWhileAViewPaintsAndTheHistoryWritesBack)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    platform::Defaults defaults(root.filePath("settings.json"));
    AnnotationStore store(busyImage(), defaults);
    store.setAnnotations(busyAnnotations());
    CanvasView view(store);
    view.setZoom(0.75);
    CaptureHistory history(root.filePath("History"), defaults);
    history.track(store, QStringLiteral("Busy"), std::nullopt, false);
    ASSERT_EQ(history.entries().size(), 1);
    const QUuid entryID = history.entries()[0].id;

    const FlattenService::Input input = FlattenService::input(store);
    const auto expected = FlattenService::flatten(input);
    ASSERT_TRUE(expected);

    constexpr int kThreads = 4;
    constexpr int kFlattens = 8;
    std::atomic<int> running = kThreads;
    std::atomic<int> different = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, mine = input] {
            for (int i = 0; i < kFlattens; ++i) {
                const auto flat = FlattenService::flatten(mine);
                if (!flat || *flat != *expected) ++different;
            }
            --running;
        });
    }

    // Meanwhile the GUI thread drags the arrow about, paints the view after each move and
    // hands every fourth state to the history, which flattens it on its write thread.
    int paints = 0;
    QImage shown;
    while (running > 0 || paints < 8) {
        QList<Annotation> moved = store.annotations();
        moved[0].p1 += QPointF(paints % 2 ? -3 : 3, 1);
        store.setAnnotations(moved);
        shown = view.grab().toImage();
        if (++paints % 4 == 0) {
            history.editorWillClose(store);
            history.track(store, QStringLiteral("Busy"), entryID, false);
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    history.editorWillClose(store);
    history.drain();

    EXPECT_EQ(different, 0) << "a flatten on another thread came out different";
    EXPECT_FALSE(shown.isNull());
    const auto package = SnapkinDocument::read(history.files().packagePath(entryID));
    ASSERT_TRUE(package) << "the history's last write-back is readable";
    EXPECT_EQ(package->document.annotations, store.annotations());
}

} // namespace
