// The canvas view repaints only what a change touches, from a picture of what does not move:
// the pixels it leaves must be those of a full repaint, with no trail of the moving mark.
#include "CanvasWidgetTestSupport.h"

#include "canvas/CanvasDamage.h"

#include <QPaintEvent>
#include <QPainter>
#include <gtest/gtest.h>

using namespace snapkin;
using namespace snapkin::canvastest;

namespace {

// Paints every region the view asks to repaint into one picture, as a window would keep it.
struct Screen : QObject {
    CanvasView* view;
    QImage pixels;
    QList<QRegion> paints;
    QList<QRegion> pending;
    bool rendering = false;

    explicit Screen(CanvasView* v) : view(v), pixels(v->size(), QImage::Format_RGB32)
    {
        view->render(&pixels);
        view->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !rendering) {
            const QRegion region = static_cast<QPaintEvent*>(event)->region();
            paints.append(region);
            pending.append(region);
        }
        return false;
    }
    // Lets the view take its turns, then paints what it asked for (not from inside its paint).
    void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
        rendering = true;
        for (const QRegion& region : std::exchange(pending, {}))
            view->render(&pixels, region.boundingRect().topLeft(), region);
        rendering = false;
    }
};

// How many pixels of `a` and `b` differ in a channel by more than `tolerance`. A fresh view
// draws curved marks directly where a used one copies its pictures of them, which may differ
// by 2 in a channel.
int differentPixels(const QImage& a, const QImage& b, int tolerance = 2)
{
    int count = 0;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            if (std::abs(qRed(p) - qRed(q)) > tolerance ||
                std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance) {
                if (count == 0)
                    ADD_FAILURE() << "first at " << col << "," << row << ": " << std::hex << p
                                  << " against " << q << std::dec;
                ++count;
            }
        }
    return count;
}

QImage fullRepaint(AnnotationStore& store, double zoom)
{
    CanvasView fresh(store);
    fresh.setZoom(zoom);
    QImage out(fresh.size(), QImage::Format_RGB32);
    fresh.render(&out);
    return out;
}

Annotation mark(AnnotationKind kind, QPointF p1, QPointF p2, const char* color = "#E5322D")
{
    Annotation a{.kind = kind, .p1 = p1, .p2 = p2};
    a.colorHex = QString::fromLatin1(color);
    a.lineWidth = 6;
    return a;
}

} // namespace

TEST(CanvasRepaint, DraggingAMarkRepaintsAroundItAndLeavesWhatAFullRepaintDraws)
{
    CanvasFixture f(Tool::select, plainImage({800, 600}));
    f.add(mark(AnnotationKind::rectangle, {40, 40}, {300, 200}, "#1E6FD9"));
    Annotation arrow = mark(AnnotationKind::arrow, {100, 400}, {500, 250});
    arrow.curved = true;
    f.add(arrow);
    const Annotation moving = f.add(mark(AnnotationKind::ellipse, {320, 260}, {440, 340}));
    // Above the moving mark: it must stay above it while it moves.
    Annotation cover = mark(AnnotationKind::rectangle, {360, 200}, {700, 300}, "#2BA84A");
    cover.filled = true;
    f.add(cover);
    f.add(mark(AnnotationKind::highlight, {300, 480}, {760, 560}, "#F5D90A"));
    Annotation text = mark(AnnotationKind::text, {560, 60}, {700, 100});
    text.text = "Repaint";
    text.fontSize = 28;
    f.add(text);
    f.view->setZoom(0.75);
    f.view->show();
    Screen screen(f.view.get());
    screen.settle();
    screen.paints.clear();

    // Pressed on the ellipse's outline, dragged down and right in small steps.
    const QPoint from(int(320 * 0.75), int(300 * 0.75));
    QTest::mousePress(f.view.get(), Qt::LeftButton, {}, from);
    screen.settle();
    ASSERT_EQ(f.store->selectedID(), moving.id);
    const QRectF bounds = CanvasDamage::markArea(moving);
    const double markPixels = bounds.width() * bounds.height() * 0.75 * 0.75;
    screen.paints.clear();
    for (int i = 1; i <= 30; ++i) {
        QTest::mouseMove(f.view.get(), from + QPoint(3 * i, 2 * i));
        screen.settle();
    }
    ASSERT_GE(screen.paints.size(), 20) << "a repaint for each move, more or less";
    double largest = 0;
    for (const QRegion& region : screen.paints) {
        const QRect r = region.boundingRect();
        largest = std::max(largest, double(r.width()) * r.height());
    }
    EXPECT_LE(largest, 4 * markPixels) << "only around the moving mark and its handles";

    // Mid-drag, the window shows what a fresh view of the same document draws, plus the
    // selection: compared without it, then after the drag with it.
    const Annotation& now = f.store->annotations()[2];
    EXPECT_NE(now.p1, moving.p1);
    f.store->activate(Tool::arrow); // hides the selection outline in both pictures
    screen.settle();
    f.store->activate(Tool::select);
    screen.settle();
    QTest::mouseMove(f.view.get(), from + QPoint(93, 62));
    screen.settle();
    f.store->setSelectedID(std::nullopt);
    screen.settle();
    const QImage midDrag = screen.pixels;
    EXPECT_EQ(differentPixels(midDrag, fullRepaint(*f.store, 0.75)), 0);
    midDrag.save(QStringLiteral("canvas-repaint-mid-drag.png"));

    QTest::mouseRelease(f.view.get(), Qt::LeftButton, {}, from + QPoint(93, 62));
    screen.settle();
    f.store->setSelectedID(moving.id);
    screen.settle();
    QImage expected(f.view->size(), QImage::Format_RGB32);
    f.view->render(&expected);
    EXPECT_EQ(differentPixels(screen.pixels, expected, 0), 0) << "no trail, handles where they are";
}

TEST(CanvasRepaint, EveryKindOfChangeLeavesWhatAFullRepaintDraws)
{
    CanvasFixture f(Tool::select, plainImage({600, 400}));
    Annotation lens = mark(AnnotationKind::magnifier, {380, 40}, {560, 220});
    const Annotation dot =
        f.add(mark(AnnotationKind::rectangle, {440, 100}, {480, 140}, "#1E6FD9"));
    f.add(lens);
    f.add(mark(AnnotationKind::line, {20, 380}, {300, 300}));
    Annotation pen = mark(AnnotationKind::pen, {}, {});
    pen.points = {{30, 30}, {90, 80}, {160, 40}};
    f.add(pen);
    f.view->setZoom(1.25);
    f.view->show();
    Screen screen(f.view.get());
    screen.settle();

    const auto check = [&](const char* what) {
        screen.settle();
        EXPECT_EQ(differentPixels(screen.pixels, fullRepaint(*f.store, 1.25)), 0) << what;
    };
    f.store->activate(Tool::arrow);
    check("selection hidden");
    QList<Annotation> list = f.store->annotations();
    list[0].p1 += QPointF(6, 4); // under the lens: the lens shows it moved
    list[0].p2 += QPointF(6, 4);
    f.store->setAnnotations(list);
    check("a mark under a lens");
    list.move(0, 3);
    f.store->setAnnotations(list);
    check("reordered");
    list.removeAt(2);
    f.store->setAnnotations(list);
    check("removed");
    Annotation spot = mark(AnnotationKind::spotlight, {100, 100}, {200, 200});
    list.append(spot);
    f.store->setAnnotations(list);
    check("a spotlight dims everything else");
    list.last().spotDim = 0.8;
    f.store->setAnnotations(list);
    check("a deeper spotlight");
    Q_UNUSED(dot);
}
