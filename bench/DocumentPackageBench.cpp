// Saving and opening a document package of a 4K capture, and the edit store's hot paths: an
// undo step over many annotations and a quarter turn of the image.
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"
#include "support/ScreenshotImage.h"

#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

platform::BaseImage captureImage()
{
    return platform::BaseImage(bench::screenshot(), QSizeF(1920, 1080));
}

std::unique_ptr<AnnotationStore> storeWith(int annotations)
{
    static QTemporaryDir dir;
    static platform::Defaults settings(dir.filePath("bench-settings.json"));
    auto store = std::make_unique<AnnotationStore>(captureImage(), settings);
    AnnotationStore::Annotations list;
    for (int i = 0; i < annotations; ++i) {
        const QPointF p1((i * 37) % 1800, (i * 53) % 1000);
        list.append(
            Annotation{.kind = AnnotationKind::rectangle, .p1 = p1, .p2 = p1 + QPointF(80, 40)});
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
    for (auto _ : state)
        benchmark::DoNotOptimize(SnapkinDocument::read(path));
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
    for (auto _ : state)
        store->rotate(true);
}
BENCHMARK(BM_RotateCapture)->Unit(benchmark::kMillisecond);

} // namespace
