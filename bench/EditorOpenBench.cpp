// Opening a document package of a 4K capture with 50 annotations in an editor page, until the
// page has painted once, against reading the same package alone.
#include "editor/EditorPage.h"
#include "editor/EditorWindowController.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "platform/Defaults.h"
#include "support/ScreenshotImage.h"
#include "ui/canvas/CanvasView.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

// Notes when the widget it watches paints.
class PaintProbe : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) painted = true;
        return false;
    }
};

QString writeCapturePackage(const QTemporaryDir& dir)
{
    QTemporaryDir settingsDir;
    platform::Defaults settings(settingsDir.filePath("bench-settings.json"));
    AnnotationStore store(platform::BaseImage(bench::screenshot(), QSizeF(1920, 1080)), settings);
    AnnotationStore::Annotations list;
    for (int i = 0; i < 50; ++i) {
        const QPointF p1((i * 37) % 1800, (i * 53) % 1000);
        list.append(Annotation{.kind = i % 2 ? AnnotationKind::rectangle : AnnotationKind::arrow,
                               .p1 = p1,
                               .p2 = p1 + QPointF(80, 40)});
    }
    store.setAnnotations(list);
    const QString path = dir.filePath("Capture.snapkin");
    auto package = SnapkinDocument::wrapper(store);
    if (!package || !SnapkinDocument::write(*package, path)) return {};
    return path;
}

void closeEverything(EditorWindowController& editors)
{
    for (EditorPage* page : editors.pages())
        page->window()->close();
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void BM_ReadPackage(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = writeCapturePackage(dir);
    if (path.isEmpty()) {
        state.SkipWithError("could not write the package");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(SnapkinDocument::read(path));
}
BENCHMARK(BM_ReadPackage)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenFileUntilPainted(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = writeCapturePackage(dir);
    if (path.isEmpty()) {
        state.SkipWithError("could not write the package");
        return;
    }
    QApplication::setQuitOnLastWindowClosed(false);
    EditorWindowController editors;
    for (auto _ : state) {
        if (!editors.openFile(path)) {
            state.SkipWithError("could not open the package");
            break;
        }
        PaintProbe probe;
        editors.pages().last()->canvas()->installEventFilter(&probe);
        while (!probe.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        state.PauseTiming();
        editors.pages().last()->canvas()->removeEventFilter(&probe);
        closeEverything(editors);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenFileUntilPainted)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
