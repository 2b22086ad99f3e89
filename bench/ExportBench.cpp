#include "output/ExportFormat.h"
#include "output/ExportService.h"
#include "platform/BaseImage.h"
#include "platform/PngEncoder.h"
#include "support/ScreenshotImage.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

#include <cmath>

using namespace snapkin;

namespace {

const char* contentLabel(benchmark::State& state)
{
    return state.range(0) ? "with photo" : "interface only";
}

void reportSize(benchmark::State& state, qsizetype bytes)
{
    state.counters["bytes"] = double(bytes);
}

// Argument of the PNG benchmarks: 1 for the capture with its photo, 0 for the interface alone.
void BM_QtPngDefault(benchmark::State& state)
{
    const QImage& image = bench::screenshot(state.range(0) != 0);
    state.SetLabel(contentLabel(state));
    qsizetype size = 0;
    for (auto _ : state) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "png");
        size = data.size();
    }
    reportSize(state, size);
}
BENCHMARK(BM_QtPngDefault)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// PNG as every capture is saved: banded deflate on all cores.
void BM_PngEncoder(benchmark::State& state)
{
    const QImage& image = bench::screenshot(state.range(0) != 0);
    state.SetLabel(contentLabel(state));
    qsizetype size = 0;
    for (auto _ : state)
        size = platform::PngEncoder::encode(image)->size();
    reportSize(state, size);
}
BENCHMARK(BM_PngEncoder)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same on the calling thread only, for machines with few cores.
void BM_PngEncoderOneThread(benchmark::State& state)
{
    const QImage& image = bench::screenshot(state.range(0) != 0);
    state.SetLabel(contentLabel(state));
    platform::PngEncoder::Options options;
    options.useAllCores = false;
    qsizetype size = 0;
    for (auto _ : state)
        size = platform::PngEncoder::encode(image, options)->size();
    reportSize(state, size);
}
BENCHMARK(BM_PngEncoderOneThread)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each export format through ExportService at its default quality (0.9 for the lossy ones;
// WebP lossless is quality 1). Arguments: format index, quality in percent.
void BM_Export(benchmark::State& state)
{
    const platform::BaseImage image(bench::screenshot());
    const ExportFormat format = allExportFormats[size_t(state.range(0))];
    const double quality = double(state.range(1)) / 100.0;
    state.SetLabel(label(format).toStdString() + " q" + std::to_string(state.range(1)));
    qsizetype size = 0;
    for (auto _ : state)
        size = ExportService::data(image, format, quality)->size();
    reportSize(state, size);
}
BENCHMARK(BM_Export)
    ->Args({0, 100}) // PNG
    ->Args({1, 90})  // JPEG
    ->Args({2, 90})  // WebP lossy
    ->Args({2, 100}) // WebP lossless
    ->Args({3, 100}) // PDF
    ->Args({4, 100}) // TIFF
    ->Args({5, 100}) // GIF
    ->Args({6, 100}) // BMP
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
