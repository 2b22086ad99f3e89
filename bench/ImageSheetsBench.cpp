// Speed of the Sharpen Image sheet on a 3840 × 2160 capture. The detail search runs once when
// the sheet opens and must stay small next to sharpening the whole image; each After preview is
// made from the 150 × 120 region only, so a slider step costs a small fraction of "Sharpen".
#include "editor/DetailCrop.h"
#include "editor/SharpenView.h"
#include "model/AnnotationStore.h"
#include "support/ScreenshotImage.h"

#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

constexpr QSizeF kPreview(150, 120);

const platform::BaseImage& capture()
{
    static const platform::BaseImage image(bench::screenshot());
    return image;
}

// The region with the most detail: thumbnail, edge map and window sums.
void BM_DetailCrop(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(detailCrop(capture(), kPreview));
}
BENCHMARK(BM_DetailCrop)->Unit(benchmark::kMillisecond);

// One After preview at a new whole percent.
void BM_SharpenPreview(benchmark::State& state)
{
    const auto region = detailCrop(capture(), kPreview);
    for (auto _ : state)
        benchmark::DoNotOptimize(AnnotationStore::sharpened(*region, 0.5));
}
BENCHMARK(BM_SharpenPreview)->Unit(benchmark::kMillisecond);

// What "Sharpen" does to the whole image, for comparison.
void BM_SharpenWholeImage(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(AnnotationStore::sharpened(capture(), 0.5));
}
BENCHMARK(BM_SharpenWholeImage)->Unit(benchmark::kMillisecond);

// Opening the sheet: the search plus the first preview and the widgets.
void BM_OpenSharpenSheet(benchmark::State& state)
{
    AnnotationStore store(capture());
    for (auto _ : state) {
        SharpenView sheet(store);
        benchmark::DoNotOptimize(sheet.afterPreview());
    }
}
BENCHMARK(BM_OpenSharpenSheet)->Unit(benchmark::kMillisecond);

} // namespace
