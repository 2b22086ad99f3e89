// The start window over a full history: 1000 entries, each with a package holding a preview of
// a 4K capture and 2 KB of recognised text. Opening the window until the grid first paints
// (thumbnails come later), one keystroke of a search until the filtered grid is painted, and
// scrolling the whole grid one step at a time while thumbnails arrive: the slowest frame on
// the GUI thread and the memory the thumbnails hold.
#include "app/start/HistoryGridModel.h"

#include "app/start/HistoryGridView.h"
#include "app/start/StartWindow.h"
#include "capture/CaptureService.h"
#include "editor/EditorWindowController.h"
#include "history/CaptureHistory.h"
#include "history/HistoryStore.h"
#include "model/AnnotationStore.h"
#include "model/SnapkinDocument.h"
#include "output/ExportService.h"
#include "platform/Defaults.h"
#include "support/RecognisedText.h"
#include "support/ScreenshotImage.h"
#include "ui/output/ExportDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <ctime>
#include <unistd.h>

using namespace snapkin;

namespace {

constexpr int entryCount = 1000;
constexpr int textBytes = 2048;

ExportDialogs& benchDialogs()
{
    static ExportService exports;
    static ExportDialogs dialogs(exports);
    return dialogs;
}

EditorWindowController& benchEditors()
{
    static EditorWindowController editors;
    return editors;
}

CaptureService& benchCapture()
{
    static CaptureService capture(platform::Defaults::standard());
    return capture;
}

platform::Defaults& settings()
{
    static QTemporaryDir dir;
    static platform::Defaults defaults(dir.filePath("settings.json"));
    return defaults;
}

void copyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo& info :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (info.isDir())
            copyFolder(info.filePath(), to + "/" + info.fileName());
        else
            QFile::copy(info.filePath(), to + "/" + info.fileName());
    }
}

// One real package of a 4K capture, copied under 1000 ids, with an index listing them one
// hour apart and each with its recognised text.
const QString& fullHistory()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const HistoryStore store(dir.filePath("History"));
        AnnotationStore capture(platform::BaseImage(bench::screenshot(), QSizeF(1920, 1080)),
                                settings());
        const QString model = dir.filePath("model.snapkin");
        auto package = SnapkinDocument::wrapper(capture);
        if (!package) qFatal("could not build the package");
        package->thumbnailPNG = SnapkinDocument::thumbnailPNG(bench::screenshot());
        if (!SnapkinDocument::write(*package, model)) qFatal("could not write the package");
        QRandomGenerator random(2026);
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-entryCount * 3600LL);
        QList<HistoryEntry> entries;
        for (int i = 0; i < entryCount; ++i) {
            HistoryEntry e;
            e.id = QUuid::createUuid();
            e.title = i % 3 ? QStringLiteral("Firefox") : QStringLiteral("Screenshot");
            e.created = start.addSecs(i * 3600LL);
            e.modified = e.created;
            e.pixelWidth = 3840;
            e.pixelHeight = 2160;
            e.recognizedText = bench::recognisedText(random, textBytes);
            entries.append(e);
            copyFolder(model, store.packagePath(e.id));
        }
        if (!store.save(HistoryStore::sorted(entries))) qFatal("could not write the index");
        return store.directory();
    }();
    return path;
}

class PaintProbe : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void waitForPaint(PaintProbe& probe, int before)
{
    while (probe.paints == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The GUI thread's own processor time, which a loaded machine does not stretch.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

qint64 residentBytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// From nothing to the grid's first paint: the history's load is done at launch already.
void BM_StartWindowOpenUntilPainted(benchmark::State& state)
{
    CaptureHistory history(fullHistory(), settings());
    for (auto _ : state) {
        history.thumbnails().clear();
        auto window = std::make_unique<StartWindow>(benchEditors(), history, benchDialogs(),
                                                    benchCapture(), settings());
        window->resize(1000, 700);
        PaintProbe probe;
        window->grid()->viewport()->installEventFilter(&probe);
        window->show();
        waitForPaint(probe, 0);
        state.PauseTiming();
        window.reset();
        history.thumbnails().waitForReads();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartWindowOpenUntilPainted)->Unit(benchmark::kMillisecond)->UseRealTime();

// Typing "invoice total" one key at a time, each until the filtered grid has painted.
void BM_StartWindowSearchKeystroke(benchmark::State& state)
{
    CaptureHistory history(fullHistory(), settings());
    StartWindow window(benchEditors(), history, benchDialogs(), benchCapture(), settings());
    window.resize(1000, 700);
    PaintProbe probe;
    window.grid()->viewport()->installEventFilter(&probe);
    window.show();
    waitForPaint(probe, 0);
    window.searchField()->setText(QStringLiteral("x")); // builds the search lines once
    const QString typed = QStringLiteral("invoice total");
    qsizetype length = 0;
    double filterMs = 0;
    QElapsedTimer clock;
    for (auto _ : state) {
        length = length % typed.size() + 1;
        const int before = probe.paints;
        clock.start();
        window.searchField()->setText(typed.left(length));
        filterMs += clock.nsecsElapsed() / 1e6;
        waitForPaint(probe, before);
    }
    state.counters["shown"] = window.model()->shownEntryCount();
    // The part before painting: the search and the model's rows.
    state.counters["filterMs"] = filterMs / double(state.iterations());
}
BENCHMARK(BM_StartWindowSearchKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst keystroke: every one changes which cards are shown (two thirds of the captures
// are titled "Firefox", the others "Screenshot"), so the grid is laid out again each time.
void BM_StartWindowSearchChangingResults(benchmark::State& state)
{
    CaptureHistory history(fullHistory(), settings());
    StartWindow window(benchEditors(), history, benchDialogs(), benchCapture(), settings());
    window.resize(1000, 700);
    PaintProbe probe;
    window.grid()->viewport()->installEventFilter(&probe);
    window.show();
    waitForPaint(probe, 0);
    window.searchField()->setText(QStringLiteral("x"));
    bool firefox = false;
    for (auto _ : state) {
        firefox = !firefox;
        const int before = probe.paints;
        window.searchField()->setText(firefox ? QStringLiteral("firefox")
                                              : QStringLiteral("screenshot"));
        waitForPaint(probe, before);
    }
}
BENCHMARK(BM_StartWindowSearchChangingResults)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole grid scrolled 120 points at a time, each frame painted at once; thumbnails are
// read meanwhile and painted as they arrive. The time is the whole pass; "slowestFrameMs" is
// the longest frame, "thumbnailMB" what the cache holds at the end, "residentMB" how much the
// process grew over the pass.
void BM_StartWindowScrollWholeGrid(benchmark::State& state)
{
    CaptureHistory history(fullHistory(), settings());
    StartWindow window(benchEditors(), history, benchDialogs(), benchCapture(), settings());
    window.resize(1000, 700);
    window.show();
    QCoreApplication::processEvents();
    QScrollBar* bar = window.grid()->verticalScrollBar();
    double slowest = 0;
    double slowestCpu = 0;
    int frames = 0;
    int over16 = 0;
    const qint64 residentBefore = residentBytes();
    for (auto _ : state) {
        bar->setValue(0);
        QElapsedTimer frame;
        while (true) {
            frame.start();
            const double cpuBefore = threadCpuMs();
            // The thumbnails that arrived, then the step, painted now.
            QCoreApplication::processEvents();
            bar->setValue(bar->value() + 120);
            window.grid()->viewport()->repaint();
            const double ms = frame.nsecsElapsed() / 1e6;
            slowestCpu = std::max(slowestCpu, threadCpuMs() - cpuBefore);
            slowest = std::max(slowest, ms);
            if (ms > 16.0) ++over16;
            ++frames;
            if (bar->value() >= bar->maximum()) break;
        }
    }
    history.thumbnails().waitForReads();
    QCoreApplication::processEvents();
    state.counters["frames"] = frames;
    state.counters["slowestFrameMs"] = slowest;
    state.counters["framesOver16ms"] = over16;
    state.counters["slowestFrameCpuMs"] = slowestCpu;
    state.counters["thumbnailMB"] = history.thumbnails().totalBytes() / 1048576.0;
    state.counters["residentMB"] = (residentBytes() - residentBefore) / 1048576.0;
}
BENCHMARK(BM_StartWindowScrollWholeGrid)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
