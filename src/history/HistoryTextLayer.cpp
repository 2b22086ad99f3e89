#include "history/HistoryTextLayer.h"

namespace snapkin {

HistoryTextLayer HistoryTextLayer::of(const QList<Annotation>& annotations,
                                      const std::optional<Watermark>& watermark)
{
    HistoryTextLayer layer;
    for (const Annotation& a : annotations) {
        switch (a.kind) {
        case AnnotationKind::arrow:
        case AnnotationKind::line:
        case AnnotationKind::pen:
            continue;
        case AnnotationKind::rectangle:
        case AnnotationKind::ellipse:
            if (!a.filled) continue;
            break;
        default:
            break;
        }
        layer.annotations.append(a);
    }
    if (watermark && watermark->isVisible()) layer.watermark = watermark;
    return layer;
}

} // namespace snapkin
