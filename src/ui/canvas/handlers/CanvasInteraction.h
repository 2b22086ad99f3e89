#pragma once

#include "canvas/handlers/CanvasState.h"
#include "canvas/handlers/KeyHandler.h"
#include "canvas/handlers/SelectionHandler.h"
#include "canvas/handlers/TextEditing.h"
#include "model/Tool.h"
#include "ui/canvas/handlers/CreationHandler.h"

#include <optional>

class QWidget;

namespace snapkin {

class AnnotationStore;
class ImagePicker;

// The canvas's input, without a window: one pointer drag per press (the press is its first
// change, with zero translation; every move another; the release its end) dispatched to the
// handler of the tool the drag started with, and the canvas's keys.
//
// A drag stays with the tool it started with: if the tool changes mid-drag (a tool key), the
// drag's remaining events still reach its own handler, so a draft is judged at release and
// the select state is cleared, never left for a later drag to pick up.
class CanvasInteraction {
public:
    explicit CanvasInteraction(AnnotationStore& store, SelectionHandler::Clock clock = {});

    void pointerPressed(QPointF location);
    void pointerMoved(QPointF location);
    void pointerReleased(QPointF location);
    bool isDragging() const { return m_drag.has_value(); }

    // Where the image tool asks for a file, and the parent of its dialog.
    void setImagePicker(ImagePicker* picker, QWidget* dialogParent);

    AnnotationStore& store() { return m_store; }
    const CanvasState& state() const { return m_state; }
    TextEditing& textEditing() { return m_textEditing; }
    const TextEditing& textEditing() const { return m_textEditing; }
    KeyHandler& keys() { return m_keys; }

private:
    struct Drag {
        QPointF start;
        QPointF last;
        Tool tool;
    };
    void changed(const DragValue& value, Tool tool);
    void ended(const DragValue& value, Tool tool);

    AnnotationStore& m_store;
    CanvasState m_state;
    TextEditing m_textEditing;
    CreationHandler m_creation;
    SelectionHandler m_selection;
    KeyHandler m_keys;
    ImagePicker* m_picker = nullptr;
    QWidget* m_dialogParent = nullptr;
    std::optional<Drag> m_drag;
};

} // namespace snapkin
