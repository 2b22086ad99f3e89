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
        benchmark::DoNotOptimize(ExportService::data(image, ExportFormat::png));
}
BENCHMARK(BM_PngData)->Unit(benchmark::kMillisecond)->UseRealTime();

// A whole copy: PNG made, TIFF promised, the clipboard taken and, with argument 1, the export
// counted in the settings (a settings write).
void BM_Copy(benchmark::State& state)
{
    const QImage& image = bench::screenshot();
    const bool counts = state.range(0) != 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportService::copy(image, counts));
    QGuiApplication::clipboard()->clear();
}
BENCHMARK(BM_Copy)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
