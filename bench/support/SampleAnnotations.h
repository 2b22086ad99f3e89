#pragma once

#include "model/Annotation.h"

#include <QList>

namespace snapkin::bench {

// `count` ordinary marks spread over a 3840 x 2160 capture, the same for the same `seed`:
// boxes, arrows, ellipses, lines, text, pen strokes and highlights, in turn.
QList<Annotation> ordinaryAnnotations(int count, quint32 seed);

} // namespace snapkin::bench
