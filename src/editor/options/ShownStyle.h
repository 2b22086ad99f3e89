#pragma once

#include "model/Annotation.h"
#include "model/Tool.h"

#include <QString>

namespace snapkin {

class AnnotationStore;

// The values a tool's style row shows. While an annotation of the kind the tool makes is
// selected, they are that annotation's own colour, width and kind, so the row describes what
// the user is looking at; otherwise they are the store's settings for new annotations. Display
// only: the controls still write the settings (and carry them onto the selection) as before.
struct ShownStyle {
    QString colorHex;
    double lineWidth = 0;
    ArrowHeadStyle arrowHead = ArrowHeadStyle::tapered;
    bool doubleHeaded = false;
    double textSize = 0;
    bool bold = false;
    bool italic = false;
    QString fontName;
    bool filled = false;
    double highlightOpacity = 0;
    StampKind stampKind = StampKind::check;

    static ShownStyle of(const AnnotationStore& store, Tool tool);
};

} // namespace snapkin
