#pragma once

#include "model/Annotation.h"
#include "model/Watermark.h"

#include <QList>

#include <optional>

namespace snapkin {

// The marks that text recognition has to see: annotations that put or hide text (text,
// highlight, pixelate, stamp, spotlight, sticker, placed image, magnifier, and filled
// rectangles and ellipses) and a visible watermark. Arrows, lines, pen strokes and outlined
// shapes leave the text readable, so when nothing else is there the base image is recognised
// without rendering the document.
struct HistoryTextLayer {
    QList<Annotation> annotations;
    std::optional<Watermark> watermark;

    static HistoryTextLayer of(const QList<Annotation>& annotations,
                               const std::optional<Watermark>& watermark);

    bool isEmpty() const { return annotations.isEmpty() && !watermark; }
    bool operator==(const HistoryTextLayer&) const = default;
};

} // namespace snapkin
