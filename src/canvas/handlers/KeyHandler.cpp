#include "canvas/handlers/KeyHandler.h"

#include "model/AnnotationStore.h"

namespace snapkin {

KeyHandler::KeyHandler(AnnotationStore& store) : m_store(store) {}

bool KeyHandler::handles(int key) const
{
    if (m_store.tool() != Tool::select) return false;
    const std::optional<QUuid> id = m_store.selectedID();
    if (!id || !m_store.indexOf(*id)) return false;
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

bool KeyHandler::handleKeyPress(int key, Qt::KeyboardModifiers modifiers)
{
    if (!handles(key)) return false;
    // Shift picks the large step whatever other modifiers are held.
    const double s = modifiers.testFlag(Qt::ShiftModifier) ? shiftStep : step;
    const QPointF offset = key == Qt::Key_Left    ? QPointF(-s, 0)
                           : key == Qt::Key_Right ? QPointF(s, 0)
                           : key == Qt::Key_Up    ? QPointF(0, -s)
                                                  : QPointF(0, s);
    const auto index = m_store.indexOf(*m_store.selectedID());
    m_store.beginChange();
    Annotation moved = m_store.annotations()[*index];
    moved.p1 += offset;
    moved.p2 += offset;
    for (QPointF& p : moved.points)
        p += offset;
    m_store.replaceAnnotation(*index, moved);
    return true;
}

} // namespace snapkin
