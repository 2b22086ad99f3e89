// A view draws a very long pen stroke from a picture made off the GUI thread: a paint never
// waits for it, and once it has come the stroke looks as when drawn directly.
#include "CanvasWidgetTestSupport.h"

#include "canvas/AnnotationRenderer.h"
#include "canvas/StrokePictures.h"

#include <QDeadlineTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <cmath>

using namespace snapkin;
using namespace snapkin::canvastest;

namespace {

// A scribble at the pointer's rate over `area`, long enough to be drawn from a picture.
Annotation longStroke(QSizeF area, int count = int(StrokePictures::minPoints) + 5'000)
{
    QRandomGenerator rng(11);
    Annotation a{.kind = AnnotationKind::pen};
    a.colorHex = "#E5322D";
    a.lineWidth = 9;
    double x = area.width() / 2, y = area.height() / 2, angle = 0;
    for (int i = 0; i < count; ++i) {
        angle += (rng.generateDouble() - 0.5) * 0.6;
        x = std::clamp(x + 1.5 * std::cos(angle), 12.0, area.width() - 12);
        y = std::clamp(y + 1.5 * std::sin(angle), 12.0, area.height() - 12);
        if (x <= 12 || x >= area.width() - 12) angle = M_PI - angle;
        if (y <= 12 || y >= area.height() - 12) angle = -angle;
        a.points.append(QPointF(x, y));
    }
    a.p1 = a.points.first();
    a.p2 = a.points.last();
    return a;
}

// The view's scene drawn directly, the stroke stroked on this thread.
QImage direct(const AnnotationStore& store, const CanvasView& view)
{
    QImage image(view.size(), QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), view.palette().window());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(view.zoom(), view.zoom());
    p.drawImage(QRectF(QPointF(0, 0), store.image().pointSize()), store.image().image());
    AnnotationRenderer(store.annotations(), std::nullopt, store.image().pointSize(), store.image(),
                       nullptr)
        .paint(p);
    return image;
}

QImage shown(CanvasView& view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int differentPixels(const QImage& a, const QImage& b, int tolerance)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance ||
                std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance)
                ++count;
        }
    return count;
}

// Until the view shows its sharp picture with every long stroke's picture in it.
bool waitForPictures(CanvasView& view)
{
    const QDeadlineTimer deadline(20'000);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    } while ((view.makesStrokePictures() || view.showsStandIn()) && !deadline.hasExpired());
    QCoreApplication::processEvents();
    return !view.makesStrokePictures();
}

} // namespace

TEST(StrokePictures, AViewDrawsALongStrokeWithoutWaitingThenAsDrawnDirectly)
{
    CanvasFixture f(Tool::select, plainImage({500, 360}));
    const Annotation stroke = f.add(longStroke(QSizeF(500, 360)));
    f.store->setSelectedID(std::nullopt);
    f.view->show();

    // The first paint leaves the stroke to the worker: none of its pixels yet.
    QImage bare(f.view->size(), QImage::Format_RGB32);
    bare.fill(QColor(236, 240, 244));
    EXPECT_EQ(differentPixels(shown(*f.view), bare, 2), 0);
    EXPECT_TRUE(f.view->makesStrokePictures());

    ASSERT_TRUE(waitForPictures(*f.view));
    EXPECT_LT(differentPixels(shown(*f.view), direct(*f.store, *f.view), 3), 20);

    // A new zoom: the old picture stands in, stretched, and the sharp one follows.
    f.view->setZoom(0.6);
    ASSERT_TRUE(waitForPictures(*f.view));
    EXPECT_LT(differentPixels(shown(*f.view), direct(*f.store, *f.view), 3), 20);

    // The stroke moved (as an undo or a drag leaves it): at once its old picture shows it at
    // the new place (40, 25 points are whole pixels at 0.6), never where it was nor not at all.
    Annotation moved = stroke;
    for (QPointF& p : moved.points)
        p += QPointF(40, 25);
    f.store->setAnnotations({moved});
    const QImage standIn = shown(*f.view);
    EXPECT_TRUE(f.view->makesStrokePictures());
    EXPECT_LT(differentPixels(standIn, direct(*f.store, *f.view), 3), 20);
    ASSERT_TRUE(waitForPictures(*f.view));
    EXPECT_LT(differentPixels(shown(*f.view), direct(*f.store, *f.view), 3), 20);
}
