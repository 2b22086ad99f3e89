#include "StoreTestSupport.h"

#include "platform/Defaults.h"

#include <QTemporaryDir>

namespace snapkin::testing {

platform::BaseImage makeImage(QSize pixels, QSizeF points, QColor fill)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return platform::BaseImage(image, points);
}

std::unique_ptr<AnnotationStore> makeStore(const platform::BaseImage& image)
{
    static QTemporaryDir folder;
    static platform::Defaults empty(folder.filePath("empty-settings.json"));
    return std::make_unique<AnnotationStore>(image, empty);
}

Annotation rectangle(QPointF p1, QPointF p2)
{
    return Annotation{.kind = AnnotationKind::rectangle, .p1 = p1, .p2 = p2};
}

} // namespace snapkin::testing
