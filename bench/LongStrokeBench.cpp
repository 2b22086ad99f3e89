// Speed of the editor's canvas over a document of very long pen strokes: a 3840 × 2160 capture
// with one stroke of 100,000 or 900,000 points (a scribble drawn at the pointer's rate), in a
// canvas view at the zoom that fits it into a 4K page. Goals: a repaint within 50 ms on 2 cores
// (taskset -c 0,1), whether it copies the view's picture, redraws the area of an edit beside the
// stroke, or draws the whole view afresh (a new view, a new zoom); the flattened image that a
// save, a copy or a preview makes, within a few times that.
// Then a small document whose stroke crosses itself everywhere: 1,000,000 points thrown back and
// forth across a 400 × 300 picture (the largest stroke a document may hold). Goal: its picture
// in a view and its flattened image within about a second.
//
// The first three make a fresh view (nothing cached); "Again" repaints a view that has painted.
// A view draws a very long stroke from a picture a worker makes: "PictureMade" times a fresh
// view until that picture is drawn in, with the longest paint on the GUI thread meanwhile.
#include "editor/EditorCanvasArea.h"

#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "model/AnnotationDocument.h"
#include "model/AnnotationStore.h"
#include "output/ExportService.h"
#include "output/FlattenService.h"
#include "support/SampleAnnotations.h"
#include "support/ScreenshotImage.h"
#include "ui/canvas/CanvasView.h"
#include "ui/output/ExportDialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>

using namespace snapkin;

namespace {

constexpr QSize kImage(3840, 2160);
// A 3840 × 2160 image fitted into a 4K page below the editor's bars.
constexpr double kFitZoom = 1960.0 / 2160.0;

struct Document {
    AnnotationStore store{platform::BaseImage(bench::screenshot())};
    explicit Document(int points) { store.setAnnotations({bench::scribble(points)}); }
};

constexpr QSize kSmallImage(400, 300);

QImage greyImage(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 200, 200));
    return image;
}

struct ThrownDocument {
    AnnotationStore store{platform::BaseImage(greyImage(kSmallImage))};
    explicit ThrownDocument(int points)
    {
        store.setAnnotations({bench::thrownStroke(points, QSizeF(kSmallImage))});
    }
};

// CPU time of the calling thread: on a shared machine a paint's wall time also counts the
// time other processes held the core.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void render(CanvasView& view, QImage& target)
{
    QPainter painter(&target);
    view.render(&painter);
}

// Lets the view's worker finish the stroke's picture and the view take it in.
void waitForStrokePictures(CanvasView& view)
{
    while (view.makesStrokePictures()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    QApplication::processEvents();
}

void BM_LongStrokeNewView(benchmark::State& state)
{
    Document document(int(state.range(0)));
    QImage target(kImage, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        CanvasView view(document.store);
        view.setZoom(kFitZoom);
        render(view, target);
    }
}
BENCHMARK(BM_LongStrokeNewView)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_LongStrokePictureMade(benchmark::State& state)
{
    // A fresh view's first paint (which leaves a very long stroke to a worker) until the
    // stroke's picture has come whole and is drawn in: how long the stroke takes to show. The
    // longest paint on this thread meanwhile is the counter `paint_ms`.
    Document document(int(state.range(0)));
    QImage target(kImage, QImage::Format_ARGB32_Premultiplied);
    double longest = 0, longestCpu = 0;
    const auto timed = [&](CanvasView& view) {
        QElapsedTimer paint;
        paint.start();
        const double cpu = threadCpuMs();
        render(view, target);
        longest = std::max(longest, double(paint.nsecsElapsed()) / 1e6);
        longestCpu = std::max(longestCpu, threadCpuMs() - cpu);
    };
    std::unique_ptr<CanvasView> view;
    for (auto _ : state) {
        // Not timed: the old view's end waits for its worker to stop.
        state.PauseTiming();
        view.reset();
        state.ResumeTiming();
        view = std::make_unique<CanvasView>(document.store);
        view->setZoom(kFitZoom);
        timed(*view);
        waitForStrokePictures(*view);
        timed(*view);
    }
    state.counters["paint_ms"] = longest;
    state.counters["paint_cpu_ms"] = longestCpu;
}
BENCHMARK(BM_LongStrokePictureMade)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_ThrownStrokePictureMade(benchmark::State& state)
{
    // A fresh view at 100 % until the stroke's picture, made by a worker, is drawn in whole.
    ThrownDocument document(int(state.range(0)));
    QImage target(kSmallImage, QImage::Format_ARGB32_Premultiplied);
    std::unique_ptr<CanvasView> view;
    for (auto _ : state) {
        state.PauseTiming();
        view.reset();
        state.ResumeTiming();
        view = std::make_unique<CanvasView>(document.store);
        view->setZoom(1);
        render(*view, target);
        waitForStrokePictures(*view);
        render(*view, target);
    }
}
BENCHMARK(BM_ThrownStrokePictureMade)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

void BM_ThrownStrokeFlatten(benchmark::State& state)
{
    // What a save, a copy, the history's thumbnail or snapkin-render makes of it.
    ThrownDocument document(int(state.range(0)));
    AnnotationDocument doc;
    doc.canvasSize = QSizeF(kSmallImage);
    doc.annotations = document.store.annotations();
    for (auto _ : state)
        benchmark::DoNotOptimize(FlattenService::flatten(doc, document.store.image()));
}
BENCHMARK(BM_ThrownStrokeFlatten)
    ->Arg(100'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

void BM_LongStrokeZoomStep(benchmark::State& state)
{
    Document document(int(state.range(0)));
    QImage target(kImage, QImage::Format_ARGB32_Premultiplied);
    CanvasView view(document.store);
    view.setZoom(kFitZoom);
    render(view, target);
    bool in = true;
    for (auto _ : state) {
        view.setZoom(in ? kFitZoom * 1.25 : kFitZoom);
        in = !in;
        render(view, target);
    }
}
BENCHMARK(BM_LongStrokeZoomStep)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

void BM_LongStrokeEditBeside(benchmark::State& state)
{
    // A rectangle drawn and taken away again beside the stroke: the view redraws what it touched.
    Document document(int(state.range(0)));
    QImage target(kImage, QImage::Format_ARGB32_Premultiplied);
    CanvasView view(document.store);
    view.setZoom(kFitZoom);
    render(view, target);
    const QList<Annotation> stroke = document.store.annotations();
    Annotation box{.kind = AnnotationKind::rectangle, .p1 = {1000, 800}, .p2 = {1300, 1000}};
    bool add = true;
    for (auto _ : state) {
        document.store.setAnnotations(add ? stroke + QList<Annotation>{box} : stroke);
        add = !add;
        QApplication::processEvents();
        render(view, target);
    }
}
BENCHMARK(BM_LongStrokeEditBeside)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(4);

void BM_LongStrokeRepaintAgain(benchmark::State& state)
{
    Document document(int(state.range(0)));
    QImage target(kImage, QImage::Format_ARGB32_Premultiplied);
    CanvasView view(document.store);
    view.setZoom(kFitZoom);
    render(view, target);
    for (auto _ : state)
        render(view, target);
}
BENCHMARK(BM_LongStrokeRepaintAgain)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_LongStrokeFlatten(benchmark::State& state)
{
    Document document(int(state.range(0)));
    AnnotationDocument doc;
    doc.canvasSize = QSizeF(kImage);
    doc.annotations = document.store.annotations();
    const platform::BaseImage& image = document.store.image();
    for (auto _ : state)
        benchmark::DoNotOptimize(FlattenService::flatten(doc, image));
}
BENCHMARK(BM_LongStrokeFlatten)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

void BM_LongStrokePageRepaint(benchmark::State& state)
{
    // The whole editor page, shown on a 4K screen and fitted, repainted (an expose).
    Document document(int(state.range(0)));
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs(exports);
    EditorView view(document.store, zoom, dialogs);
    view.resize(kImage);
    view.show();
    QApplication::processEvents();
    view.canvasArea()->syncNow();
    zoom.zoomToFit(document.store);
    QElapsedTimer settling;
    settling.start();
    while (settling.elapsed() < 2 * FramedCanvas::refineDelayMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QApplication::processEvents();
    QImage target(kImage, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        view.render(&painter);
    }
    state.counters["zoom"] = zoom.scale();
}
BENCHMARK(BM_LongStrokePageRepaint)
    ->Arg(100'000)
    ->Arg(900'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

} // namespace
