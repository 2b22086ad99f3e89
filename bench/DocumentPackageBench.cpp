// Saving and opening a document package of a 4K capture, and the edit store's hot paths: an
// undo step over many annotations and a quarter turn of the image.
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"

#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

// Screenshot-like content: flat panels, text and one gradient.
platform::BaseImage captureImage()
{
    QImage image(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(236, 236, 236));
    QPainter p(&image);
    QLinearGradient gradient(0, 0, 3840, 0);
    gradient.setColorAt(0, QColor(40, 90, 200));
    gradient.setColorAt(1, QColor(200, 60, 120));
    p.fillRect(0, 0, 3840, 120, gradient);
    for (int i = 0; i < 60; ++i) {
        p.fillRect(80 + (i % 6) * 620, 200 + (i / 6) * 190, 560, 150, QColor(255, 255, 255));
        p.drawText(100 + (i % 6) * 620, 240 + (i / 6) * 190, QStringLiteral("Panel %1").arg(i));
    }
    p.end();
    return platform::BaseImage(image, QSizeF(1920, 1080));
}

std::unique_ptr<AnnotationStore> storeWith(int annotations)
{
    static QTemporaryDir dir;
    static platform::Defaults settings(dir.filePath("bench-settings.json"));
    auto store = std::make_unique<AnnotationStore>(captureImage(), settings);
    AnnotationStore::Annotations list;
    for (int i = 0; i < annotations; ++i) {
        const QPointF p1((i * 37) % 1800, (i * 53) % 1000);
        list.append(Annotation{.kind = AnnotationKind::rectangle, .p1 = p1,
                               .p2 = p1 + QPointF(80, 40)});
    }
    store->setAnnotations(list);
    return store;
}

void BM_PackageSave(benchmark::State& state)
{
    auto store = storeWith(50);
    QTemporaryDir dir;
    const QString path = dir.filePath("Capture.snapkin");
    for (auto _ : state) {
        auto package = SnapkinDocument::wrapper(*store);
        benchmark::DoNotOptimize(SnapkinDocument::write(*package, path));
    }
}
BENCHMARK(BM_PackageSave)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PackageOpen(benchmark::State& state)
{
    auto store = storeWith(50);
    QTemporaryDir dir;
    const QString path = dir.filePath("Capture.snapkin");
    if (!SnapkinDocument::write(*SnapkinDocument::wrapper(*store), path)) {
        state.SkipWithError("could not write the package");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(SnapkinDocument::read(path));
}
BENCHMARK(BM_PackageOpen)->Unit(benchmark::kMillisecond)->UseRealTime();

// One recorded edit over 1000 annotations: the snapshot shares the image's pixels.
void BM_UndoStep(benchmark::State& state)
{
    auto store = storeWith(1000);
    for (auto _ : state) {
        store->beginChange();
        store->undo();
    }
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMicrosecond);

void BM_RotateCapture(benchmark::State& state)
{
    auto store = storeWith(100);
    for (auto _ : state) store->rotate(true);
}
BENCHMARK(BM_RotateCapture)->Unit(benchmark::kMillisecond);

} // namespace
