#pragma once

#include "text/SelectableTextModel.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace snapkin {

class EditorView;
class LinkOpening;
class SelectableTextOverlay;
class SelectableTextStatusBadge;

// Selectable Text on one editor page: the model, the overlay over the framed canvas and the
// status badge in the canvas area, kept in step with the page. While the
// keys::selectableTextEnabled setting is on, the page's base image is analysed when the feature is
// turned on and again after every stop the page asks for (a change of the image, the annotations,
// the frame or the watermark); the overlay shows the words the analysis found.
class SelectableText : public QObject {
    Q_OBJECT
public:
    // Owned by `view`; clicked links go to `links`, which outlives it.
    SelectableText(EditorView& view, LinkOpening& links,
                   SelectableTextModel::Analyze analyze = &SelectableTextModel::analyze);

    SelectableTextModel& model() const { return *m_model; }
    SelectableTextOverlay* overlay() const;
    SelectableTextStatusBadge* badge() const;

    // The page's instance, or nullptr.
    static SelectableText* of(const EditorView& view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    void startAnalysis();
    void setEnabled(bool enabled);
    void placeBadge();

    EditorView& m_view;
    // The canvas area's viewport, where the badge is placed, kept apart from the view: the view's
    // children (this object and the area among them) outlive the view's own destructor, and
    // events while they are destroyed must not call into a view that is no longer whole.
    QPointer<QWidget> m_viewport;
    SelectableTextModel* m_model = nullptr;
    QPointer<SelectableTextOverlay> m_overlay;
    QPointer<SelectableTextStatusBadge> m_badge;
    bool m_startPending = false;
};

} // namespace snapkin
