// Flattening a 3840 × 2160 document with 50 annotations inside a frame with a shadow, alone and
// followed by PNG encoding. Goal: the flatten costs at most 4× a plain copy of the output's
// pixels measured in the same run (BM_CopyOutputPixels; BM_Flatten reports the ratio as
// "vsCopy").
#include "model/AnnotationKinds.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "platform/BaseImage.h"
#include "support/ScreenshotImage.h"

#include <benchmark/benchmark.h>

#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <vector>

using namespace snapkin;

namespace {

QList<Annotation> fiftyAnnotations()
{
    QList<Annotation> list;
    QRandomGenerator rng(50);
    const std::array kinds{AnnotationKind::rectangle, AnnotationKind::ellipse,
                           AnnotationKind::arrow,     AnnotationKind::line,
                           AnnotationKind::text,      AnnotationKind::highlight,
                           AnnotationKind::stamp,     AnnotationKind::pen,
                           AnnotationKind::rectangle, AnnotationKind::arrow};
    for (int i = 0; i < 50; ++i) {
        Annotation a;
        a.kind = kinds[size_t(i) % kinds.size()];
        const QPointF at(200 + rng.bounded(3300), 150 + rng.bounded(1800));
        a.p1 = at;
        a.p2 = at + QPointF(80 + rng.bounded(300), 60 + rng.bounded(200));
        a.lineWidth = 4 + i % 6;
        a.text = QStringLiteral("Note %1: check this").arg(i);
        a.fontSize = 28;
        if (a.kind == AnnotationKind::pen)
            for (int k = 0; k < 40; ++k)
                a.points << at + QPointF(k * 6, 20 * std::sin(k * 0.4));
        list << a;
    }
    // Two obscured regions; their pictures are cached after the first round, as in the editor.
    list[10].kind = AnnotationKind::pixelate;
    list[20].kind = AnnotationKind::pixelate;
    list[20].obscure = ObscureStyle::blur;
    return list;
}

const FlattenService::Input& document()
{
    static const FlattenService::Input input = [] {
        FlattenService::Input in;
        in.image = platform::BaseImage(bench::screenshot());
        in.annotations = fiftyAnnotations();
        FrameStyle frame; // gradient, padding 0.08, corner radius 10, shadow 0.5
        in.frame = frame;
        Watermark mark;
        mark.text = QStringLiteral("snapkin.example");
        in.watermark = mark;
        return in;
    }();
    return input;
}

QSize outputSize()
{
    static const QSize size = FlattenService::flatten(document())->size();
    return size;
}

// A plain copy of as many pixels as the flattened output holds.
void BM_CopyOutputPixels(benchmark::State& state)
{
    QImage source(outputSize(), QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::gray);
    for (auto _ : state) {
        QImage copy = source.copy();
        benchmark::DoNotOptimize(copy.constBits());
    }
    state.counters["Mpx"] = source.width() * double(source.height()) / 1e6;
}
BENCHMARK(BM_CopyOutputPixels)->Unit(benchmark::kMillisecond)->UseRealTime();

double medianCopyMs()
{
    QImage source(outputSize(), QImage::Format_ARGB32_Premultiplied);
    source.fill(Qt::gray);
    std::vector<double> times;
    for (int i = 0; i < 15; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        QImage copy = source.copy();
        benchmark::DoNotOptimize(copy.constBits());
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + 7, times.end());
    return times[7];
}

void BM_Flatten(benchmark::State& state)
{
    (void)FlattenService::flatten(document()); // warm the obscure and shadow caches
    std::vector<double> times;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        auto out = FlattenService::flatten(document());
        benchmark::DoNotOptimize(out->constBits());
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + long(times.size() / 2), times.end());
    state.counters["vsCopy"] = times[times.size() / 2] / medianCopyMs();
}
BENCHMARK(BM_Flatten)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first flatten of a document: nothing cached yet.
void BM_FlattenCold(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        FlattenService::Input fresh = document();
        QImage pixels = fresh.image.image().copy();
        fresh.image = platform::BaseImage(pixels); // new serial: no cache applies
        state.ResumeTiming();
        auto out = FlattenService::flatten(fresh);
        benchmark::DoNotOptimize(out->constBits());
    }
}
BENCHMARK(BM_FlattenCold)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_FlattenAndEncodePng(benchmark::State& state)
{
    (void)FlattenService::flatten(document());
    size_t bytes = 0;
    for (auto _ : state) {
        auto out = FlattenService::flatten(document());
        auto png = ExportService::data(platform::BaseImage(*out), ExportFormat::png);
        bytes = png ? size_t(png->size()) : 0;
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_FlattenAndEncodePng)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
