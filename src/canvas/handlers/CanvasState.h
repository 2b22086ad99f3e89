#pragma once

#include "model/Annotation.h"

#include <QPointF>
#include <QString>
#include <QUuid>

#include <optional>

namespace snapkin {

// Which string of an annotation an in-place edit changes: a text annotation's words or a
// numbered stamp's number (`text`), or the label beside a stamp (`stampLabel`).
enum class EditField { text, stampLabel };

// One handle of a selection: the eight box handles, the two ends of a line or straight arrow,
// a stamp's tail tip and a curved arrow's bend point.
enum class HandleID { nw, n, ne, e, se, s, sw, w, p1, p2, tail, curve };

// One event of the canvas's pointer drag, in image points. A press is the first event, with
// the location still at the start.
struct DragValue {
    QPointF startLocation;
    QPointF location;

    QPointF translation() const { return location - startLocation; }
};

// The state the canvas's handlers share. None of it is saved; a new canvas starts empty.
struct CanvasState {
    // The annotation the current drag of a creation tool is making.
    std::optional<QUuid> draftID;

    // The select tool's drag: the anchors of the annotation being moved, or the handle being
    // dragged with a copy of the annotation as the resize began.
    struct MoveOrigin {
        QPointF p1;
        QPointF p2;
    };
    std::optional<MoveOrigin> dragOrigin;
    std::optional<HandleID> resizeHandle;
    std::optional<Annotation> resizeOrigin;
    // The current select drag has recorded its undo step; such a drag never counts as a tap.
    bool changeSnapshotTaken = false;

    // The open in-place edit, if any.
    std::optional<QUuid> editingTextID;
    EditField editingField = EditField::text;
    // The edited annotation was created for this edit (a new text).
    bool editingIsNew = false;
    QString editingOriginalText;
    // The inline field should have keyboard focus (given on the next turn of the event loop).
    bool textFocused = false;

    // The previous select-tool tap, for telling a double tap.
    std::optional<QUuid> lastSelectTapID;
    std::optional<qint64> lastSelectTapTime; // milliseconds of a monotonic clock
};

} // namespace snapkin
