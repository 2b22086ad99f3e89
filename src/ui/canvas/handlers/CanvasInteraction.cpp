#include "ui/canvas/handlers/CanvasInteraction.h"

#include "model/AnnotationStore.h"

namespace snapkin {

CanvasInteraction::CanvasInteraction(AnnotationStore& store, SelectionHandler::Clock clock)
    : m_store(store), m_textEditing(store, m_state), m_creation(store, m_state, m_textEditing),
      m_selection(store, m_state, m_textEditing, std::move(clock)), m_keys(store)
{
}

void CanvasInteraction::setImagePicker(ImagePicker* picker, QWidget* dialogParent)
{
    m_picker = picker;
    m_dialogParent = dialogParent;
}

void CanvasInteraction::pointerPressed(QPointF location)
{
    // A press while a drag is open means its release never arrived (the pointer grab was
    // lost): end that drag where it was last seen, so its draft or select state is settled.
    if (m_drag) pointerReleased(m_drag->last);
    m_drag = Drag{location, location, m_store.tool()};
    changed(DragValue{location, location}, m_drag->tool);
}

void CanvasInteraction::pointerMoved(QPointF location)
{
    if (!m_drag) return;
    m_drag->last = location;
    changed(DragValue{m_drag->start, location}, m_drag->tool);
}

void CanvasInteraction::pointerReleased(QPointF location)
{
    if (!m_drag) return;
    const Drag drag = *m_drag;
    m_drag.reset();
    ended(DragValue{drag.start, location}, drag.tool);
}

void CanvasInteraction::changed(const DragValue& value, Tool tool)
{
    // Any press on the canvas first ends the open in-place edit.
    if (m_state.editingTextID) m_textEditing.finishTextEditing();

    switch (tool) {
    case Tool::select:
        m_selection.selectChanged(value);
        break;
    case Tool::text:
    case Tool::stamp:
    case Tool::sticker:
    case Tool::imageOverlay:
        break; // these act when the press ends
    default:
        m_creation.createChanged(value, tool);
        break; // nothing for crop and frame
    }
}

void CanvasInteraction::ended(const DragValue& value, Tool tool)
{
    switch (tool) {
    case Tool::select:
        m_selection.selectEnded(value);
        break;
    case Tool::text:
        m_creation.textTap(value);
        break;
    case Tool::stamp:
        m_creation.stampTap(value);
        break;
    case Tool::sticker:
        m_creation.stickerTap(value);
        break;
    case Tool::imageOverlay:
        m_creation.imageTap(value, m_picker, m_dialogParent);
        break;
    default:
        m_creation.createEnded();
        break;
    }
}

} // namespace snapkin
