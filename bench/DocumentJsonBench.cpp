// Encoding and decoding the document JSON, and hit testing, on a large hand-annotated capture.
#include "model/AnnotationDocument.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace snapkin;

namespace {

// 1000 annotations of every kind; every tenth is a pen stroke of 400 points.
AnnotationDocument largeDocument()
{
    AnnotationDocument d;
    d.canvasSize = QSizeF(1920, 1080);
    d.pixelSize = QSizeF(3840, 2160);
    const auto& kinds = allCases<AnnotationKind>;
    for (int i = 0; i < 1000; ++i) {
        const QPointF p1(std::fmod(i * 37.0, 1800), std::fmod(i * 53.0, 1000));
        Annotation a{.kind = kinds[std::size_t(i) % kinds.size()],
                     .p1 = p1,
                     .p2 = p1 + QPointF(60 + i % 90, 40 + i % 70)};
        if (a.kind == AnnotationKind::text) a.text = QStringLiteral("Annotation number %1").arg(i);
        if (a.kind == AnnotationKind::arrow) a.curved = i % 2 == 0;
        if (a.kind == AnnotationKind::stamp) {
            a.stampLabel = QString::number(i);
            a.tailAngle = i * 0.1;
        }
        if (i % 10 == 0) {
            a.kind = AnnotationKind::pen;
            for (int k = 0; k < 400; ++k)
                a.points.append(p1 + QPointF(k * 0.5, 20 * std::sin(k * 0.05)));
        }
        d.annotations.append(a);
    }
    return d;
}

void BM_DocumentEncode(benchmark::State& state)
{
    const AnnotationDocument d = largeDocument();
    for (auto _ : state)
        benchmark::DoNotOptimize(d.encoded());
    state.SetBytesProcessed(state.iterations() * d.encoded()->size());
}
BENCHMARK(BM_DocumentEncode)->Unit(benchmark::kMillisecond);

void BM_DocumentDecode(benchmark::State& state)
{
    const QByteArray bytes = *largeDocument().encoded();
    for (auto _ : state)
        benchmark::DoNotOptimize(AnnotationDocument::decode(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DocumentDecode)->Unit(benchmark::kMillisecond);

// A click that misses everything asks every annotation, from the top down.
void BM_HitTestMiss(benchmark::State& state)
{
    const AnnotationDocument d = largeDocument();
    const QPointF click(-500, -500);
    for (auto _ : state) {
        int hits = 0;
        for (auto it = d.annotations.crbegin(); it != d.annotations.crend(); ++it)
            hits += it->contains(click);
        benchmark::DoNotOptimize(hits);
    }
}
BENCHMARK(BM_HitTestMiss)->Unit(benchmark::kMicrosecond);

} // namespace
