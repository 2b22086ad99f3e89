#include "canvas/handlers/SelectionHandler.h"

#include "canvas/handlers/SelectionHandles.h"
#include "canvas/handlers/TextEditing.h"
#include "model/AnnotationStore.h"

#include <QElapsedTimer>

#include <cmath>

namespace snapkin {

namespace {

qint64 monotonicMilliseconds()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

} // namespace

SelectionHandler::SelectionHandler(AnnotationStore& store, CanvasState& state,
                                   TextEditing& textEditing, Clock clock)
    : m_store(store), m_state(state), m_textEditing(textEditing),
      m_clock(clock ? std::move(clock) : Clock(monotonicMilliseconds))
{
}

void SelectionHandler::recordOnce()
{
    if (m_state.changeSnapshotTaken) return;
    m_store.beginChange();
    m_state.changeSnapshotTaken = true;
}

void SelectionHandler::selectChanged(const DragValue& drag)
{
    if (!m_state.dragOrigin && !m_state.resizeHandle) {
        // The selection's own handles come first, even under another annotation.
        const std::optional<Annotation> selected = m_store.selected();
        if (selected) {
            if (auto handle = SelectionHandles::handleHit(drag.startLocation, *selected)) {
                m_state.resizeHandle = handle;
                m_state.resizeOrigin = selected;
                m_state.changeSnapshotTaken = false;
            }
        }
        if (!m_state.resizeHandle) {
            const std::optional<Annotation> hit = m_store.annotationAt(drag.startLocation);
            if (!hit) {
                m_store.setSelectedID(std::nullopt);
                return;
            }
            m_store.setSelectedID(hit->id);
            m_state.dragOrigin = CanvasState::MoveOrigin{hit->p1, hit->p2};
            m_state.changeSnapshotTaken = false;
        }
    }

    const QPointF d = drag.translation();
    const std::optional<QUuid> selectedID = m_store.selectedID();
    if (!selectedID) return;
    const auto index = m_store.indexOf(*selectedID);
    if (!index) return; // removed during the drag

    if (m_state.resizeHandle) {
        if (!m_state.resizeOrigin) return;
        if (std::abs(d.x()) <= resizeThreshold && std::abs(d.y()) <= resizeThreshold) return;
        recordOnce();
        Annotation changed = m_store.annotations()[*index];
        SelectionHandles::applyResize(changed, *m_state.resizeOrigin, *m_state.resizeHandle, d.x(),
                                      d.y());
        m_store.replaceAnnotation(*index, changed);
        return;
    }

    if (m_state.dragOrigin) {
        if (std::abs(d.x()) <= moveThreshold && std::abs(d.y()) <= moveThreshold) return;
        recordOnce();
        Annotation changed = m_store.annotations()[*index];
        const QPointF newP1 = m_state.dragOrigin->p1 + d;
        const QPointF step = newP1 - changed.p1;
        changed.p1 = newP1;
        changed.p2 = m_state.dragOrigin->p2 + d;
        // A stroke's path follows its anchors by the amount they moved on this event.
        for (QPointF& p : changed.points)
            p += step;
        m_store.replaceAnnotation(*index, changed);
    }
}

void SelectionHandler::selectEnded(const DragValue& drag)
{
    const QPointF d = drag.translation();
    if (std::abs(d.x()) <= tapTolerance && std::abs(d.y()) <= tapTolerance &&
        !m_state.changeSnapshotTaken) {
        handleSelectTap(drag.startLocation);
    }
    m_state.dragOrigin.reset();
    m_state.resizeHandle.reset();
    m_state.resizeOrigin.reset();
    m_state.changeSnapshotTaken = false;
}

void SelectionHandler::handleSelectTap(QPointF location)
{
    const std::optional<Annotation> hit = m_store.annotationAt(location);
    if (!hit || (hit->kind != AnnotationKind::text && hit->kind != AnnotationKind::stamp)) {
        m_state.lastSelectTapID.reset();
        m_state.lastSelectTapTime.reset();
        return;
    }
    const EditField field = hit->kind == AnnotationKind::text || hit->stamp == StampKind::number
                                ? EditField::text
                                : EditField::stampLabel;
    const qint64 now = m_clock();
    if (m_state.lastSelectTapID == hit->id && m_state.lastSelectTapTime &&
        now - *m_state.lastSelectTapTime < doubleTapInterval) {
        m_state.lastSelectTapID.reset();
        m_state.lastSelectTapTime.reset();
        m_textEditing.beginTextEditing(hit->id, false, field);
        return;
    }
    m_state.lastSelectTapID = hit->id;
    m_state.lastSelectTapTime = now;
}

} // namespace snapkin
