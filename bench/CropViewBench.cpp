// Speed of the crop overlay. A 3840 × 2160 capture with 50 annotations at the zoom that fits
// it into a 1200 × 700 canvas area. Goal, in the same run: repainting the crop overlay while
// a handle is dragged costs at most 1.5× repainting the canvas view of the same document at
// the same zoom.
#include "editor/EditorZoom.h"
#include "editor/crop/CropView.h"
#include "model/AnnotationStore.h"
#include "support/SampleAnnotations.h"
#include "support/ScreenshotImage.h"
#include "ui/canvas/CanvasView.h"

#include <benchmark/benchmark.h>

#include <QPainter>

#include <cmath>

using namespace snapkin;

namespace {

struct Document {
    AnnotationStore store{platform::BaseImage(bench::screenshot())};
    double zoom = *EditorZoom::fitScale(QSizeF(3840, 2160), QSizeF(1200, 700));
    Document()
    {
        store.setAnnotations(bench::ordinaryAnnotations(50, 18));
        store.activate(Tool::crop);
    }
    QSize shown() const { return QSize(int(std::ceil(3840 * zoom)), int(std::ceil(2160 * zoom))); }
};

Document& document()
{
    static Document doc;
    return doc;
}

void BM_RepaintCanvasView(benchmark::State& state)
{
    Document& doc = document();
    CanvasView canvas(doc.store);
    canvas.setZoom(doc.zoom);
    QImage target(canvas.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        canvas.render(&painter);
    }
    state.counters["zoom"] = doc.zoom;
}
BENCHMARK(BM_RepaintCanvasView)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_RepaintCropViewDuringDrag(benchmark::State& state)
{
    // Each frame moves the se handle, as a drag does, and repaints the overlay.
    Document& doc = document();
    EditorZoom zoom(doc.zoom);
    CropView view(doc.store, zoom);
    view.resize(doc.shown());
    QImage target(view.size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        doc.store.setCropRect(QRectF(200, 150, 2400 + (step % 40) * 10, 1400 + (step % 40) * 5));
        ++step;
        QPainter painter(&target);
        view.render(&painter);
    }
    state.counters["zoom"] = doc.zoom;
}
BENCHMARK(BM_RepaintCropViewDuringDrag)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
