#include "support/SampleAnnotations.h"

#include <QRandomGenerator>

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

} // namespace snapkin::bench
