#pragma once

#include "canvas/handlers/CanvasState.h"

#include <QPointF>

#include <functional>

namespace snapkin {

class AnnotationStore;
class TextEditing;

// The select tool: picking an annotation, moving it, reshaping it by a handle, and the double
// tap that opens a text or a stamp for editing. A move or a resize is one undo step, recorded
// at the first event that passes its movement threshold.
class SelectionHandler {
public:
    // `clock` gives milliseconds of a monotonic clock (tests pass their own).
    using Clock = std::function<qint64()>;

    SelectionHandler(AnnotationStore& store, CanvasState& state, TextEditing& textEditing,
                     Clock clock = {});

    // Every event of a select-tool drag.
    void selectChanged(const DragValue& drag);
    // The end of a select-tool drag: a tap when it stayed within tapTolerance on both axes
    // and recorded nothing. Always clears the drag state.
    void selectEnded(const DragValue& drag);
    // A tap at `location`: the second tap on the same text or stamp opens it for editing.
    void handleSelectTap(QPointF location);

    static constexpr double tapTolerance = 4;        // per axis, at release
    static constexpr double moveThreshold = 1;       // per axis, before a move starts
    static constexpr double resizeThreshold = 0.5;   // per axis, before a resize starts
    static constexpr qint64 doubleTapInterval = 500; // milliseconds, strict

private:
    void recordOnce();

    AnnotationStore& m_store;
    CanvasState& m_state;
    TextEditing& m_textEditing;
    Clock m_clock;
};

} // namespace snapkin
