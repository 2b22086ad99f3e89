#pragma once

#include "model/Annotation.h"
#include "platform/BaseImage.h"

#include <QImage>
#include <QList>

namespace snapkin {

// The base image with every annotation drawn over it by the renderer, `pixelScale` pixels per
// point. Null when the image is null or the result would be unreasonably large.
QImage renderAnnotated(const platform::BaseImage& image, const QList<Annotation>& annotations,
                       double pixelScale);

} // namespace snapkin
