#include "output/ExportService.h"
#include "platform/BaseImage.h"
#include "support/ScreenshotImage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

// The copy counts an export in the settings: keep the user's settings out of it.
const bool isolatedSettings = [] {
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    return true;
}();

// The encoding a copy cannot avoid: the PNG a clipboard manager takes over.
void BM_PngData(benchmark::State& state)
{
    const platform::BaseImage image(bench::screenshot());
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportService::shared().data(image, ExportFormat::png));
}
BENCHMARK(BM_PngData)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole copy: PNG made, TIFF promised, the clipboard taken, the export counted.
void BM_Copy(benchmark::State& state)
{
    const QImage& image = bench::screenshot();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportService::shared().copy(image, true));
    QGuiApplication::clipboard()->clear();
}
BENCHMARK(BM_Copy)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
