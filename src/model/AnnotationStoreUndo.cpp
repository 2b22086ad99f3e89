#include "model/AnnotationStore.h"

namespace snapkin {

AnnotationStore::Snapshot AnnotationStore::currentSnapshot() const
{
    // The image and the annotations' strings and bytes are implicitly shared: a snapshot costs
    // the annotation records, never the pixels.
    return Snapshot{m_annotations, m_image, m_nextStampNumber, m_frame, m_watermark, 0};
}

void AnnotationStore::restore(const Snapshot& snapshot)
{
    setAnnotations(snapshot.annotations);
    setImage(snapshot.image);
    setNextStampNumber(snapshot.nextStampNumber);
    assignFrame(snapshot.frame);
    assignWatermark(snapshot.watermark);
}

void AnnotationStore::beginChange()
{
    Snapshot snapshot = currentSnapshot();
    snapshot.step = ++m_lastStep;
    if (m_undoStack.size() >= static_cast<std::size_t>(maxUndoSteps))
        m_undoStack.erase(m_undoStack.begin(), m_undoStack.end() - (maxUndoSteps - 1));
    m_undoStack.push_back(std::move(snapshot));
    m_redoStack.clear();
    setHasUnsavedChanges(true);
}

void AnnotationStore::cancelLastChange(std::optional<QUuid> removing)
{
    if (removing) {
        Annotations kept = m_annotations;
        const auto removed = kept.removeIf([&](const Annotation& a) { return a.id == *removing; });
        if (removed > 0) setAnnotations(std::move(kept));
    }
    // Only the step opened by the newest beginChange() is ours to drop. If the user undid it
    // (or redid something over it) in the meantime, the step on top belongs to another edit.
    if (!m_undoStack.empty() && m_undoStack.back().step != 0 &&
        m_undoStack.back().step == m_lastStep) {
        m_undoStack.pop_back();
    }
    setSelectedID(std::nullopt);
}

void AnnotationStore::deleteSelected()
{
    if (!m_selectedID) return;
    beginChange();
    const QUuid id = *m_selectedID;
    Annotations kept = m_annotations;
    kept.removeIf([&](const Annotation& a) { return a.id == id; });
    setAnnotations(std::move(kept));
    setSelectedID(std::nullopt);
}

void AnnotationStore::setFrame(std::optional<FrameStyle> frame, bool recordingUndo)
{
    if (frame == m_frame) return;
    if (recordingUndo)
        beginChange();
    else
        setHasUnsavedChanges(true);
    assignFrame(std::move(frame));
}

void AnnotationStore::setWatermark(std::optional<Watermark> watermark, bool recordingUndo)
{
    if (watermark == m_watermark) return;
    if (recordingUndo)
        beginChange();
    else
        setHasUnsavedChanges(true);
    assignWatermark(std::move(watermark));
}

void AnnotationStore::swapSnapshot(std::vector<Snapshot>& from, std::vector<Snapshot>& to)
{
    if (from.empty()) return;
    Snapshot target = std::move(from.back());
    from.pop_back();
    // Every snapshot on the redo stack came off the undo stack, so no cap is needed here.
    to.push_back(currentSnapshot());
    restore(target);
    setSelectedID(std::nullopt);
}

void AnnotationStore::undo()
{
    swapSnapshot(m_undoStack, m_redoStack);
}

void AnnotationStore::redo()
{
    swapSnapshot(m_redoStack, m_undoStack);
}

void AnnotationStore::markExported()
{
    if (m_documentURL.isEmpty()) setHasUnsavedChanges(false);
}

} // namespace snapkin
