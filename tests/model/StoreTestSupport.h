#pragma once

#include "model/AnnotationStore.h"
#include "platform/BaseImage.h"

#include <QColor>
#include <QImage>

#include <memory>

namespace snapkin::testing {

// An opaque image of `pixels`, filled with `fill`, laid out at `points`.
platform::BaseImage makeImage(QSize pixels, QSizeF points, QColor fill = Qt::white);
// A store over `image` that reads an empty settings store.
std::unique_ptr<AnnotationStore> makeStore(const platform::BaseImage& image);
inline std::unique_ptr<AnnotationStore> makeStore(QSize pixels = {200, 100})
{
    return makeStore(makeImage(pixels, QSizeF(pixels)));
}

Annotation rectangle(QPointF p1, QPointF p2);

} // namespace snapkin::testing
