// Pictures of long strokes are drawn on a worker while their views ask for others, cancel them
// and go away: the worker shares nothing with the views unguarded, and what arrives is right.
#include "canvas/PenStroke.h"
#include "canvas/StrokePictures.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace snapkin;

namespace {

Annotation spiral(int count, QPointF centre, const char* color)
{
    Annotation a{.kind = AnnotationKind::pen};
    a.id = QUuid::createUuid();
    a.colorHex = QString::fromLatin1(color);
    a.lineWidth = 7;
    for (int i = 0; i < count; ++i) {
        const double t = i * 0.01;
        a.points.append(centre + QPointF(std::cos(t), std::sin(t)) * (20 + 0.004 * i));
    }
    return a;
}

QImage paint(StrokePictures& pictures, const Annotation& a, double scale, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    EXPECT_TRUE(pictures.draw(p, a, QColor(a.colorHex), a.lineWidth));
    return image;
}

QImage direct(const Annotation& a, double scale, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    PenStroke::draw(p, a, QColor(a.colorHex), a.lineWidth, nullptr);
    return image;
}

int differentPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 3 || std::abs(qGreen(p) - qGreen(q)) > 3 ||
                std::abs(qBlue(p) - qBlue(q)) > 3)
                ++count;
        }
    return count;
}

} // namespace

TEST(StrokePicturesConcurrency, ViewsAskCancelAndGoAwayWhileWorkersDraw)
{
    const QSize size(420, 420);
    const std::vector<Annotation> strokes{spiral(40'000, {210, 210}, "#1E6FD9"),
                                          spiral(30'000, {200, 220}, "#E5322D")};
    std::vector<std::unique_ptr<StrokePictures>> views;
    for (int i = 0; i < 4; ++i)
        views.push_back(std::make_unique<StrokePictures>());

    // Every view asks for each stroke at several scales in a row: each request cancels the one
    // before it, mid-band or queued.
    for (int round = 0; round < 3; ++round)
        for (auto& view : views)
            for (const Annotation& a : strokes)
                for (double scale : {0.5, 0.75, 1.0})
                    paint(*view, a, scale, size);
    // One view goes away with its jobs running.
    views.pop_back();

    // The last request of each view comes whole and looks as the stroke drawn directly.
    const QDeadlineTimer deadline(60'000);
    const auto busy = [&] {
        for (auto& view : views)
            if (view->busy()) return true;
        return false;
    };
    while (busy() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_FALSE(busy());
    const QImage expected = direct(strokes.back(), 1.0, size);
    for (auto& view : views)
        EXPECT_LT(differentPixels(paint(*view, strokes.back(), 1.0, size), expected), 20);
}
