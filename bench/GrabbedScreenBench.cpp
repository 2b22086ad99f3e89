// PNG and lossless WebP of real screen grabs: a terminal, a text editor and a photo viewer on a
// desktop, grabbed from the X server in $DISPLAY at 4K and as its 1080p top-left quarter.
// Run under a 4K Xvfb:
//   SNAPKIN_XVFB_SCREEN=3840x2160x24 tests/support/run-with-xvfb build/GrabbedScreenBench
// SNAPKIN_BENCH_GRAB_DIR=<folder> also writes the grabs there, to look at (and for
// bench/png-capture.sh, which shows them again to time whole capture programs).
#include "output/WebPEncoder.h"
#include "platform/PngEncoder.h"
#include "platform/ScreenCapture.h"
#include "support/ScreenshotImage.h"

#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QThread>
#include <benchmark/benchmark.h>
#include <webp/encode.h>

#include <memory>
#include <vector>

using namespace snapkin;

namespace {

// Source text for the windows: Snapkin's own sources next to the build folder, or filler when
// they are not there.
QString sourceText(int lines)
{
    QString text;
    int count = 0;
    QDirIterator it(QCoreApplication::applicationDirPath() + "/../../src", {"*.cpp", "*.h"},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext() && count < lines) {
        QFile f(it.next());
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : f.readAll().split('\n')) {
            text += QString::fromUtf8(line) + '\n';
            if (++count >= lines) break;
        }
    }
    for (; count < lines; ++count)
        text += QStringLiteral("line %1 of a long listing, with some words in it\n").arg(count);
    return text;
}

struct Grabs {
    QImage uhd;
    QImage fullHd;
    QImage viewer; // the photo viewer with the editor beside it, at 1080p
};

// Builds the desktop once, waits until it is painted and grabs it.
const Grabs& grabs()
{
    static Grabs g = [] {
        Grabs out;
        // Kept for the whole run and never destroyed: they must not outlive the application.
        static auto& windows = *new std::vector<std::unique_ptr<QWidget>>;
        auto place = [](QWidget* w, QRect r) {
            w->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
            w->setGeometry(r);
            w->show();
            windows.emplace_back(w);
        };
        auto* desktop = new QLabel;
        desktop->setStyleSheet("background: #2f4f6f");
        place(desktop, QRect(0, 0, 3840, 2160));

        auto* terminal = new QPlainTextEdit(sourceText(400));
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSize(11);
        terminal->setFont(mono);
        terminal->setStyleSheet("QPlainTextEdit { background: #1e1e1e; color: #d0d0d0; }");
        place(terminal, QRect(40, 40, 1500, 1300));

        auto* editor = new QPlainTextEdit(sourceText(900));
        QFont sans = editor->font();
        sans.setPointSize(12);
        editor->setFont(sans);
        editor->setStyleSheet("QPlainTextEdit { background: white; color: #202020; }");
        place(editor, QRect(1000, 500, 1500, 1500));

        // The photo: the photo-like part of the benchmark screenshot, shown in a grey viewer.
        auto* viewer = new QLabel;
        viewer->setAlignment(Qt::AlignCenter);
        viewer->setStyleSheet("background: #3a3a3a");
        viewer->setPixmap(QPixmap::fromImage(bench::screenshot(true).copy(2440, 1000, 1280, 1080)));
        place(viewer, QRect(2300, 200, 1440, 1300));

        // Long enough for the windows to be mapped and painted on any machine.
        const QDeadlineTimer settle(1500);
        while (!settle.hasExpired()) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        if (auto uhd = platform::ScreenCapture::grabScreenRect(QRect(0, 0, 3840, 2160)))
            out.uhd = uhd->copy();
        if (auto hd = platform::ScreenCapture::grabScreenRect(QRect(0, 0, 1920, 1080)))
            out.fullHd = hd->copy();
        if (!out.uhd.isNull()) out.viewer = out.uhd.copy(1880, 280, 1920, 1080);
        const QString dir = qEnvironmentVariable("SNAPKIN_BENCH_GRAB_DIR");
        if (!dir.isEmpty() && !out.uhd.isNull()) {
            out.uhd.save(dir + "/grabbed-4k.png");
            out.fullHd.save(dir + "/grabbed-1080p.png");
            out.viewer.save(dir + "/grabbed-1080p-viewer.png");
        }
        return out;
    }();
    return g;
}

const QImage* grab(benchmark::State& state)
{
    const QImage& image = state.range(0) == 2 ? grabs().viewer
                          : state.range(0)    ? grabs().uhd
                                              : grabs().fullHd;
    if (image.isNull()) {
        state.SkipWithError("no X server at 3840 x 2160");
        return nullptr;
    }
    state.SetLabel(state.range(0) == 2 ? "1080p viewer" : state.range(0) ? "4K" : "1080p");
    return &image;
}

// Argument: 1 for the 4K grab, 0 for its 1080p terminal and editor, 2 for its 1080p photo viewer.
void BM_GrabbedQtPng(benchmark::State& state)
{
    const QImage* image = grab(state);
    if (!image) return;
    qsizetype size = 0;
    for (auto _ : state) {
        QByteArray data;
        QBuffer buffer(&data);
        buffer.open(QIODevice::WriteOnly);
        image->save(&buffer, "png");
        size = data.size();
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_GrabbedQtPng)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrabbedPngEncoder(benchmark::State& state)
{
    const QImage* image = grab(state);
    if (!image) return;
    qsizetype size = 0;
    for (auto _ : state)
        size = platform::PngEncoder::encode(*image)->size();
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_GrabbedPngEncoder)
    ->Arg(0)
    ->Arg(2)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Other compression levels, for choosing the default. Arguments: image (as above), level.
void BM_GrabbedPngEncoderAtLevel(benchmark::State& state)
{
    const QImage* image = grab(state);
    if (!image) return;
    platform::PngEncoder::Options options;
    options.compressionLevel = int(state.range(1));
    qsizetype size = 0;
    for (auto _ : state)
        size = platform::PngEncoder::encode(*image, options)->size();
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_GrabbedPngEncoderAtLevel)
    ->ArgsProduct({{0, 2, 1}, {3, 4, 5, 6, 7, 8, 9}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same on the calling thread alone: its CPU time is the encoder's whole cost, what a
// capture pays on a machine with few cores. Arguments: image, level.
void BM_GrabbedPngEncoderOneThread(benchmark::State& state)
{
    const QImage* image = grab(state);
    if (!image) return;
    platform::PngEncoder::Options options;
    options.compressionLevel = int(state.range(1));
    options.useAllCores = false;
    qsizetype size = 0;
    for (auto _ : state)
        size = platform::PngEncoder::encode(*image, options)->size();
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_GrabbedPngEncoderOneThread)
    ->ArgsProduct({{0, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 9}})
    ->Unit(benchmark::kMillisecond);

// Lossless WebP as exported, against libwebp's simple call it replaced.
void BM_GrabbedWebPLossless(benchmark::State& state)
{
    const QImage* image = grab(state);
    if (!image) return;
    qsizetype size = 0;
    for (auto _ : state)
        size = WebPEncoder::encode(*image, 1.0, 72.0)->size();
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_GrabbedWebPLossless)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrabbedWebPSimpleLossless(benchmark::State& state)
{
    const QImage* image = grab(state);
    if (!image) return;
    const QImage rgba = image->convertToFormat(QImage::Format_RGBA8888);
    size_t size = 0;
    for (auto _ : state) {
        std::uint8_t* out = nullptr;
        size = WebPEncodeLosslessRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                      int(rgba.bytesPerLine()), &out);
        WebPFree(out);
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_GrabbedWebPSimpleLossless)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

} // namespace
