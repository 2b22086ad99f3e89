#pragma once

#include "model/Annotation.h"

#include <QList>
#include <QSizeF>

namespace snapkin::bench {

// `count` ordinary marks spread over a 3840 x 2160 capture, the same for the same `seed`:
// boxes, arrows, ellipses, lines, text, pen strokes and highlights, in turn.
QList<Annotation> ordinaryAnnotations(int count, quint32 seed);

} // namespace snapkin::bench

namespace snapkin::bench {

// One pen stroke of `points` points scribbled over the whole of a 3840 x 2160 capture at the
// pointer's rate (steps of 1.5 points, turning a little at each), 20 points wide.
Annotation scribble(int points);

// One pen stroke of `points` points thrown back and forth across a picture of `size` points,
// 4 points wide: each point lies anywhere in it (to a tenth of a point), so every segment
// crosses much of the picture and the stroke crosses itself everywhere.
Annotation thrownStroke(int points, QSizeF size);

} // namespace snapkin::bench
