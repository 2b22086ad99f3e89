// Decoding a 3840 x 2160 desktop capture saved as PNG by Qt's writer (as another program would
// have saved it) into an editor's picture: the whole way in that opening a file takes, and
// Qt's PNG reader alone for comparison.
#include "platform/ImageBudget.h"
#include "platform/MemoryRelease.h"
#include "support/ScreenshotImage.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

QByteArray capturePng()
{
    static const QByteArray png = [] {
        QImage picture = bench::screenshot().convertToFormat(QImage::Format_RGB32);
        QPainter(&picture).fillRect(QRect(1220, 680, 1400, 800), QColor(0xd2, 0x34, 0x9a));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "png");
        return bytes;
    }();
    return png;
}

void BM_DecodeForEditor(benchmark::State& state)
{
    // Large buffers come fresh from the system each time, as in the application, whose first
    // decode touches every page of them for the first time.
    platform::MemoryRelease::configureAllocator();
    const QByteArray png = capturePng();
    for (auto _ : state) {
        auto image = platform::ImageBudget::decode(png);
        if (!image) state.SkipWithError("not decoded");
        benchmark::DoNotOptimize(image);
    }
    state.counters["file_MB"] = double(png.size()) / 1e6;
}
BENCHMARK(BM_DecodeForEditor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QtPngReaderAlone(benchmark::State& state)
{
    const QByteArray png = capturePng();
    for (auto _ : state) {
        QImage image = QImage::fromData(png, "png");
        benchmark::DoNotOptimize(image);
    }
}
BENCHMARK(BM_QtPngReaderAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
