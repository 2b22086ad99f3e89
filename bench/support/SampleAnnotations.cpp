#include "support/SampleAnnotations.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace snapkin::bench {

QList<Annotation> ordinaryAnnotations(int count, quint32 seed)
{
    constexpr AnnotationKind kinds[] = {
        AnnotationKind::rectangle, AnnotationKind::arrow, AnnotationKind::ellipse,
        AnnotationKind::line,      AnnotationKind::text,  AnnotationKind::pen,
        AnnotationKind::highlight,
    };
    QRandomGenerator rng(seed);
    QList<Annotation> list;
    for (int i = 0; i < count; ++i) {
        const AnnotationKind kind = kinds[i % std::size(kinds)];
        const QPointF p1(100 + rng.bounded(3300), 100 + rng.bounded(1700));
        Annotation a{.kind = kind,
                     .p1 = p1,
                     .p2 = p1 + QPointF(80 + rng.bounded(300), 60 + rng.bounded(240))};
        a.lineWidth = 3 + i % 6;
        if (kind == AnnotationKind::text) a.text = QStringLiteral("Look here %1").arg(i);
        if (kind == AnnotationKind::pen)
            for (int k = 0; k < 60; ++k)
                a.points.append(p1 + QPointF(k * 5, 30 * std::sin(k * 0.3)));
        list.append(a);
    }
    return list;
}

Annotation scribble(int points)
{
    constexpr double width = 3840, height = 2160;
    QRandomGenerator rng(42);
    Annotation pen{.kind = AnnotationKind::pen, .p1 = {0, 0}, .p2 = {0, 0}};
    pen.lineWidth = 20;
    pen.points.reserve(points);
    double x = width / 2, y = height / 2, angle = 0;
    for (int i = 0; i < points; ++i) {
        angle += (rng.generateDouble() - 0.5) * 0.5;
        x += 1.5 * std::cos(angle);
        y += 1.5 * std::sin(angle);
        if (x < 20 || x > width - 20) angle = M_PI - angle;
        if (y < 20 || y > height - 20) angle = -angle;
        x = std::clamp(x, 20.0, width - 20.0);
        y = std::clamp(y, 20.0, height - 20.0);
        pen.points.append(QPointF(x, y));
    }
    pen.p1 = pen.points.first();
    pen.p2 = pen.points.last();
    return pen;
}

Annotation thrownStroke(int points, QSizeF size)
{
    QRandomGenerator rng(7);
    Annotation pen{.kind = AnnotationKind::pen};
    pen.lineWidth = 4;
    pen.points.reserve(points);
    for (int i = 0; i < points; ++i)
        pen.points.append(QPointF(std::round(rng.bounded(size.width()) * 10) / 10,
                                  std::round(rng.bounded(size.height()) * 10) / 10));
    pen.p1 = pen.points.value(0);
    pen.p2 = pen.points.value(points - 1);
    return pen;
}

} // namespace snapkin::bench
