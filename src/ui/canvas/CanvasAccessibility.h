#pragma once

#include "model/Annotation.h"

#include <QString>

class QAccessibleInterface;
class QObject;

namespace snapkin {

class AnnotationStore;

// What assistive technologies read of the canvas: a summary of the screenshot, and one
// element per annotation that can be found, read and selected.
struct CanvasAccessibility {
    // "Screenshot, 640 by 400 pixels, 3 annotations", in the image's pixels.
    static QString baseImageDescription(const AnnotationStore& store);
    // "Arrow", "Text: Note", "Stamp: Check, Done", …
    static QString annotationLabel(const Annotation& annotation);

    // Makes Qt's accessibility ask us for the canvas view's interface. Called once per
    // process by the first canvas view; further calls do nothing.
    static void installFactory();
    static QAccessibleInterface* factory(const QString& className, QObject* object);
};

} // namespace snapkin
