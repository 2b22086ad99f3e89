// The capture history at its limit: loading an index of 1000 entries that each carry 2 KB of
// recognised text (against parsing the same file with QJsonDocument alone), searching it as
// the user types, and writing the package of a 4K capture.
#include "history/CaptureHistory.h"
#include "history/HistoryStore.h"
#include "model/AnnotationStore.h"
#include "platform/Defaults.h"
#include "support/RecognisedText.h"
#include "support/ScreenshotImage.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace snapkin;

namespace {

constexpr int entryCount = 1000;
constexpr int textBytes = 2048;

// A history folder with 1000 entries (empty package folders: loading only lists their names).
const QString& fullHistory()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const HistoryStore store(dir.filePath("History"));
        QRandomGenerator random(2026);
        const QDateTime start = QDateTime(QDate(2026, 1, 1), QTime(9, 0), Qt::UTC);
        QList<HistoryEntry> entries;
        for (int i = 0; i < entryCount; ++i) {
            HistoryEntry e;
            e.id = QUuid::createUuid();
            e.title = i % 3 ? QStringLiteral("Firefox") : QStringLiteral("Screenshot");
            e.created = start.addSecs(i * 3600);
            e.modified = e.created;
            e.pixelWidth = 3840;
            e.pixelHeight = 2160;
            e.recognizedText = bench::recognisedText(random, textBytes);
            entries.append(e);
            QDir().mkpath(store.packagePath(e.id));
        }
        if (!store.save(HistoryStore::sorted(entries))) qFatal("could not write the index");
        return store.directory();
    }();
    return path;
}

platform::Defaults& settings()
{
    static QTemporaryDir dir;
    static platform::Defaults defaults(dir.filePath("settings.json"));
    return defaults;
}

void BM_HistoryLoad(benchmark::State& state)
{
    const HistoryStore store(fullHistory());
    for (auto _ : state) {
        auto loaded = store.load();
        if (loaded.entries.size() != entryCount || loaded.repaired) {
            state.SkipWithError("the index did not load whole");
            return;
        }
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(BM_HistoryLoad)->Unit(benchmark::kMillisecond);

// The yardstick: reading the same index and parsing it, nothing more.
void BM_HistoryIndexParseOnly(benchmark::State& state)
{
    const QString path = fullHistory() + "/index.json";
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        auto document = QJsonDocument::fromJson(file.readAll());
        benchmark::DoNotOptimize(document);
    }
}
BENCHMARK(BM_HistoryIndexParseOnly)->Unit(benchmark::kMillisecond);

// Typing "invoice total" one key at a time; the search lines are built beforehand, as they
// are once the user has searched once. The time is per keystroke.
void BM_HistorySearchKeystroke(benchmark::State& state)
{
    CaptureHistory history(fullHistory(), settings());
    history.search(QString());
    const QString typed = QStringLiteral("invoice total");
    qsizetype length = 0;
    for (auto _ : state) {
        length = length % typed.size() + 1;
        benchmark::DoNotOptimize(history.search(typed.left(length)));
    }
}
BENCHMARK(BM_HistorySearchKeystroke)->Unit(benchmark::kMillisecond);

// The first search of a launch, which builds every line.
void BM_HistorySearchFirst(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto history = std::make_unique<CaptureHistory>(fullHistory(), settings());
        state.ResumeTiming();
        benchmark::DoNotOptimize(history->search(QStringLiteral("i")));
        state.PauseTiming();
        history.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HistorySearchFirst)->Unit(benchmark::kMillisecond)->Iterations(5);

// A new 3840 x 2160 capture: its package (PNG, preview, document) and record, and the index,
// all on the history queue; the time is until the queue is drained.
void BM_HistoryRecordCapture4K(benchmark::State& state)
{
    QTemporaryDir dir;
    CaptureHistory history(dir.filePath("History"), settings());
    const platform::BaseImage image(bench::screenshot(), QSizeF(1920, 1080));
    for (auto _ : state) {
        history.record(image, QStringLiteral("Screenshot"));
        history.drain();
    }
}
BENCHMARK(BM_HistoryRecordCapture4K)->Unit(benchmark::kMillisecond)->UseRealTime();

// An edit written back: the base image's PNG is kept from the previous write.
void BM_HistoryWriteBackEdit4K(benchmark::State& state)
{
    QTemporaryDir dir;
    CaptureHistory history(dir.filePath("History"), settings());
    AnnotationStore store(platform::BaseImage(bench::screenshot(), QSizeF(1920, 1080)), settings());
    history.track(store, QStringLiteral("Screenshot"), std::nullopt, false);
    history.drain();
    int n = 0;
    for (auto _ : state) {
        const QPointF p(40 + (n++ % 100) * 10, 60);
        store.setAnnotations(
            {Annotation{.kind = AnnotationKind::rectangle, .p1 = p, .p2 = p + QPointF(200, 100)}});
        history.flushAndDrain();
    }
    history.editorWillClose(store);
}
BENCHMARK(BM_HistoryWriteBackEdit4K)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
