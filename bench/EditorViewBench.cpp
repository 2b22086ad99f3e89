// Speed of the editor page around its canvas. A framed 3840 × 2160 document with 100
// annotations, fitted to a page the size of a 4K screen. Goals, in the same run: repainting the
// whole page (an expose) costs at most 1.5× repainting the bare canvas view at the same zoom;
// a zoom step (layout and repaint of the page) at most 2×; either within 16 ms on 2 cores.
//
// Each benchmark makes its own page and destroys it before returning: a window kept in a
// static would outlive the QApplication and crash the program at exit.
#include "editor/EditorCanvasArea.h"

#include "editor/EditorView.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "model/AnnotationStore.h"
#include "output/ExportService.h"
#include "support/SampleAnnotations.h"
#include "support/ScreenshotImage.h"
#include "ui/canvas/CanvasView.h"
#include "ui/output/ExportDialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>

#include <cmath>

using namespace snapkin;

namespace {

constexpr QSize kPage(3840, 2160);

struct Document {
    AnnotationStore store{platform::BaseImage(bench::screenshot())};
    Document()
    {
        store.assignFrame(FrameStyle{});
        store.setAnnotations(bench::ordinaryAnnotations(100, 16));
    }
};

// The page, shown and fitted, with the canvas view it holds.
struct Page {
    Document document;
    EditorZoom zoom;
    ExportService exports;
    ExportDialogs dialogs{exports};
    EditorView view{document.store, zoom, dialogs};
    QImage target{kPage, QImage::Format_ARGB32_Premultiplied};

    Page()
    {
        view.resize(kPage);
        view.show();
        QApplication::processEvents();
        view.canvasArea()->syncNow();
        zoom.zoomToFit(document.store);
        // Past the pause after which the frame is painted afresh at the new zoom.
        QElapsedTimer settling;
        settling.start();
        while (settling.elapsed() < 2 * FramedCanvas::refineDelayMs) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        QApplication::processEvents();
    }
    CanvasView* canvas() const { return view.canvasArea()->framedCanvas()->canvas(); }
    void paint(QWidget* widget)
    {
        QPainter painter(&target);
        widget->render(&painter);
    }
};

void BM_RepaintBareCanvas(benchmark::State& state)
{
    // The same canvas view class, alone, at the page's fitted zoom.
    Page p;
    CanvasView bare(p.document.store);
    bare.setZoom(p.zoom.scale());
    QImage target(bare.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        bare.render(&painter);
    }
    state.counters["zoom"] = p.zoom.scale();
}
BENCHMARK(BM_RepaintBareCanvas)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RepaintPage(benchmark::State& state)
{
    Page p;
    for (auto _ : state)
        p.paint(&p.view);
}
BENCHMARK(BM_RepaintPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ZoomStep(benchmark::State& state)
{
    // Alternating in and out from the fitted zoom: each step lays out and repaints the page.
    Page p;
    const double fitted = p.zoom.scale();
    bool in = true;
    for (auto _ : state) {
        if (in)
            p.zoom.setScale(fitted * 1.25);
        else
            p.zoom.setScale(fitted);
        in = !in;
        p.paint(&p.view);
    }
    p.zoom.setScale(fitted);
}
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// For reference: the same zoom step of the bare canvas view.
void BM_BareZoomStep(benchmark::State& state)
{
    Page p;
    CanvasView bare(p.document.store);
    const double fitted = p.zoom.scale();
    QImage target(kPage, QImage::Format_ARGB32_Premultiplied);
    bool in = true;
    for (auto _ : state) {
        bare.setZoom(in ? fitted * 1.25 : fitted);
        in = !in;
        QPainter painter(&target);
        bare.render(&painter);
    }
}
BENCHMARK(BM_BareZoomStep)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
