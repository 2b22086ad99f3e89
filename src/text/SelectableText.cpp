#include "text/SelectableText.h"

#include "editor/EditorCanvasArea.h"
#include "editor/EditorView.h"
#include "editor/FramedCanvas.h"
#include "model/AnnotationStore.h"
#include "text/SelectableTextOverlay.h"
#include "text/SelectableTextStatusBadge.h"
#include "ui/canvas/CanvasView.h"

#include <QEvent>
#include <QTimer>

namespace snapkin {

SelectableText::SelectableText(EditorView& view, LinkOpening& links,
                               SelectableTextModel::Analyze analyze)
    : QObject(&view), m_view(view), m_viewport(view.canvasArea()->viewport())
{
    setObjectName(QStringLiteral("selectableText"));
    m_model = new SelectableTextModel(std::move(analyze), this);
    FramedCanvas* framed = view.canvasArea()->framedCanvas();
    m_overlay = new SelectableTextOverlay(view.store(), framed, {framed->canvas(), framed}, links);
    m_overlay->setVisible(view.isSelectableTextEnabled());
    m_badge = new SelectableTextStatusBadge(m_model->status(), view.canvasArea());
    // The viewport's own resize, not the area's: the area lays its viewport out only after its
    // resize event, so the viewport's geometry is up to date only then.
    m_viewport->installEventFilter(this);

    connect(m_model, &SelectableTextModel::analysisChanged, m_overlay,
            &SelectableTextOverlay::setAnalysis);
    connect(m_model, &SelectableTextModel::statusChanged, this,
            [this](const SelectableTextModel::Status& status) {
                m_badge->setStatus(status);
                placeBadge();
            });
    connect(&view, &EditorView::selectableTextRefresh, this, &SelectableText::refresh);
    connect(&view, &EditorView::selectableTextEnabledChanged, this, &SelectableText::setEnabled);
}

SelectableTextOverlay* SelectableText::overlay() const
{
    return m_overlay;
}

SelectableTextStatusBadge* SelectableText::badge() const
{
    return m_badge;
}

SelectableText* SelectableText::of(const EditorView& view)
{
    return view.findChild<SelectableText*>(QStringLiteral("selectableText"),
                                           Qt::FindDirectChildrenOnly);
}

void SelectableText::refresh()
{
    m_model->stop();
    if (!m_view.isSelectableTextEnabled()) return;
    // The store announces a new image before it keeps it, so the image read now may be the one
    // being replaced: the analysis starts on the next turn, from the image the store then holds.
    if (!m_startPending) {
        m_startPending = true;
        QTimer::singleShot(0, this, &SelectableText::startAnalysis);
    }
}

void SelectableText::startAnalysis()
{
    m_startPending = false;
    if (!m_view.isSelectableTextEnabled()) return;
    const platform::BaseImage& image = m_view.store().image();
    if (!image.isNull()) m_model->start(image.image(), image.serial());
}

void SelectableText::setEnabled(bool enabled)
{
    m_overlay->setVisible(enabled);
    if (enabled) refresh();
}

void SelectableText::placeBadge()
{
    if (!m_badge || !m_viewport) return;
    m_badge->setGeometry(m_badge->placement(m_viewport->geometry()));
}

bool SelectableText::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_viewport.data() && event->type() == QEvent::Resize) placeBadge();
    return QObject::eventFilter(watched, event);
}

} // namespace snapkin
