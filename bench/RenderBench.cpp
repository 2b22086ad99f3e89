// Speed of the annotation renderer and of the obscuring effects on a 3840 × 2160 screenshot-like
// image. Goals: a redraw of 100 mixed annotations (obscure pictures cached) within 16 ms; a fresh
// blur or pixelate of a 1000 × 1000 region, and of the whole image at strength 3, within 10× a
// plain copy of the same pixels (BM_CopyRegion below, same run). Many lenses over many marks
// (BM_ManyLenses): in time that grows with their number, not with lenses times marks.
#include "canvas/AnnotationRenderer.h"
#include "canvas/ImageEffects.h"
#include "platform/BaseImage.h"
#include "support/ScreenshotImage.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QLinearGradient>
#include <QRadialGradient>
#include <QRandomGenerator>

using namespace snapkin;
using platform::BaseImage;

namespace {

constexpr QSize kScreen(3840, 2160);

const BaseImage& screen()
{
    static const BaseImage image(bench::screenshot());
    return image;
}

QByteArray smallPng()
{
    QImage image(240, 160, QImage::Format_ARGB32);
    image.fill(QColor(20, 160, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// 100 annotations, every kind, spread over the screen, sizes as users make them.
QList<Annotation> mixedAnnotations()
{
    constexpr AnnotationKind kinds[] = {
        AnnotationKind::arrow,     AnnotationKind::text,    AnnotationKind::rectangle,
        AnnotationKind::ellipse,   AnnotationKind::line,    AnnotationKind::highlight,
        AnnotationKind::pixelate,  AnnotationKind::stamp,   AnnotationKind::pen,
        AnnotationKind::spotlight, AnnotationKind::sticker, AnnotationKind::imageOverlay,
        AnnotationKind::magnifier,
    };
    const QByteArray png = smallPng();
    QRandomGenerator rng(9);
    QList<Annotation> list;
    for (int i = 0; i < 100; ++i) {
        const AnnotationKind kind = kinds[i % std::size(kinds)];
        const QPointF p1(100 + rng.bounded(3300), 100 + rng.bounded(1700));
        const QPointF p2 = p1 + QPointF(80 + rng.bounded(300), 60 + rng.bounded(240));
        Annotation a{.kind = kind, .p1 = p1, .p2 = p2};
        a.lineWidth = 3 + i % 6;
        switch (kind) {
        case AnnotationKind::arrow:
            a.arrowHead = ArrowHeadStyle(i % 4);
            a.curved = i % 3 == 0;
            a.doubleHeaded = i % 2 == 0;
            break;
        case AnnotationKind::text:
            a.text = QStringLiteral("Look here %1\nsecond line").arg(i);
            a.fontSize = 24;
            a.bold = i % 2;
            break;
        case AnnotationKind::pixelate:
            a.obscure = ObscureStyle(i % 4);
            break;
        case AnnotationKind::stamp:
            a.stamp = StampKind(i % 7);
            a.text = QString::number(i);
            a.p2 = a.p1 + QPointF(44, 44);
            if (i % 2) a.tailAngle = 0.7;
            if (i % 3 == 0) a.stampLabel = QStringLiteral("Step");
            break;
        case AnnotationKind::pen:
            for (int k = 0; k < 60; ++k)
                a.points.append(p1 + QPointF(k * 5, 30 * std::sin(k * 0.3)));
            break;
        case AnnotationKind::sticker:
            a.text = QString::fromUcs4(U"\U0001F525");
            break;
        case AnnotationKind::imageOverlay:
            a.imageData = png;
            break;
        case AnnotationKind::magnifier:
            a.p2 = a.p1 + QPointF(220, 220);
            a.magnification = 2.5;
            break;
        default:
            break;
        }
        list.append(a);
    }
    return list;
}

void BM_RedrawAnnotations(benchmark::State& state)
{
    const BaseImage& image = screen();
    const QList<Annotation> list = mixedAnnotations();
    QImage target = image.image().copy();
    RenderCaches caches; // as an editor view keeps them
    const AnnotationRenderer canvas(list, std::nullopt, image.pointSize(), image, &caches);
    {
        QPainter warm(&target);
        canvas.paint(warm); // obscure pictures and placed images cached
    }
    for (auto _ : state) {
        QPainter painter(&target);
        canvas.paint(painter);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_RedrawAnnotations)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The editor's full frame: the image, then the annotations.
void BM_RedrawFrame(benchmark::State& state)
{
    const BaseImage& image = screen();
    const QList<Annotation> list = mixedAnnotations();
    QImage target(kScreen, QImage::Format_ARGB32_Premultiplied);
    RenderCaches caches; // as an editor view keeps them
    const AnnotationRenderer canvas(list, std::nullopt, image.pointSize(), image, &caches);
    {
        QPainter warm(&target);
        canvas.paint(warm);
    }
    for (auto _ : state) {
        QPainter painter(&target);
        painter.drawImage(0, 0, image.image());
        canvas.paint(painter);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_RedrawFrame)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---- Obscuring effects, fresh (cache emptied each time) against a plain copy ----

const QRect kRegion(1800, 200, 1000, 1000); // half text, half photo

void BM_CopyRegion(benchmark::State& state)
{
    const QRect rect = state.range(0) ? QRect(QPoint(0, 0), kScreen) : kRegion;
    for (auto _ : state) {
        QImage copy = screen().image().copy(rect);
        benchmark::DoNotOptimize(copy.constBits());
    }
}
BENCHMARK(BM_CopyRegion)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"whole"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ObscureFresh(benchmark::State& state)
{
    const ObscureStyle style = state.range(0) ? ObscureStyle::blur : ObscureStyle::pixelate;
    const bool whole = state.range(1);
    const QRectF rect = whole ? QRectF(QPointF(0, 0), QSizeF(kScreen)) : QRectF(kRegion);
    const double strength = whole ? 3.0 : 1.0;
    for (auto _ : state) {
        auto region = ImageEffects::obscuredRegion(screen(), rect, style, strength);
        benchmark::DoNotOptimize(region);
    }
}
BENCHMARK(BM_ObscureFresh)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"blur", "whole"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A cached request, as each redraw makes it.
void BM_ObscureCached(benchmark::State& state)
{
    ImageEffects::Cache cache;
    ImageEffects::obscuredRegion(screen(), QRectF(kRegion), ObscureStyle::blur, 1, &cache);
    for (auto _ : state) {
        auto region =
            ImageEffects::obscuredRegion(screen(), QRectF(kRegion), ObscureStyle::blur, 1, &cache);
        benchmark::DoNotOptimize(region);
    }
}
BENCHMARK(BM_ObscureCached);

} // namespace
namespace {

// Where a frame goes: only the annotations of one kind (by its index in AnnotationKind), or with
// a negative argument every kind but that one.
void BM_RedrawKind(benchmark::State& state)
{
    const BaseImage& image = screen();
    QList<Annotation> list;
    for (const Annotation& a : mixedAnnotations())
        if (state.range(0) < 0 ? int(a.kind) != -state.range(0) : int(a.kind) == state.range(0))
            list.append(a);
    QImage target = image.image().copy();
    RenderCaches caches; // as an editor view keeps them
    const AnnotationRenderer canvas(list, std::nullopt, image.pointSize(), image, &caches);
    {
        QPainter warm(&target);
        canvas.paint(warm);
    }
    for (auto _ : state) {
        QPainter painter(&target);
        canvas.paint(painter);
        painter.end();
    }
}
BENCHMARK(BM_RedrawKind)->DenseRange(0, 12)->Arg(-12)->Arg(-9)->Unit(benchmark::kMillisecond);
} // namespace

namespace {

// Times flattening `list` (no caches) onto a grey 400 × 300 picture.
void flattenOnGrey(benchmark::State& state, const QList<Annotation>& list)
{
    QImage picture(400, 300, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::gray);
    const BaseImage image(picture);
    for (auto _ : state) {
        QImage target = picture.copy();
        QPainter painter(&target);
        AnnotationRenderer(list, std::nullopt, image.pointSize(), image).paint(painter);
    }
}

// A document of many lenses over many small marks on a 400 × 300 picture, flattened (no caches):
// every lens redraws the marks beneath it, within a budget shared by all the lenses of a paint.
// Arguments: lenses, marks.
void BM_ManyLenses(benchmark::State& state)
{
    const qsizetype lenses = state.range(0), marks = state.range(1);
    QRandomGenerator rng(3);
    QList<Annotation> list;
    for (qsizetype i = 0; i < lenses + marks; ++i) {
        const bool lens = i % ((lenses + marks) / lenses) == 0;
        const QPointF p(rng.bounded(380.0), rng.bounded(280.0));
        const double side = lens ? 60 : 10;
        list.append(Annotation{.kind = lens ? AnnotationKind::magnifier : AnnotationKind::rectangle,
                               .p1 = p,
                               .p2 = p + QPointF(side, side)});
    }
    flattenOnGrey(state, list);
}
BENCHMARK(BM_ManyLenses)
    ->Args({1000, 40'000})
    ->Args({100'000, 10'000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// 20,000 short pen strokes of 10 points each over a 400 × 300 picture, flattened: each drawn
// through its own coverage, which must cost about what the stroke covers.
void BM_ManyPenStrokes(benchmark::State& state)
{
    QRandomGenerator rng(3);
    QList<Annotation> list;
    for (int i = 0; i < 20'000; ++i) {
        Annotation pen{.kind = AnnotationKind::pen};
        const QPointF p(rng.bounded(380.0), rng.bounded(280.0));
        for (int k = 0; k < 10; ++k)
            pen.points.append(p + QPointF(rng.bounded(20.0), rng.bounded(20.0)));
        list.append(pen);
    }
    flattenOnGrey(state, list);
}
BENCHMARK(BM_ManyPenStrokes)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
