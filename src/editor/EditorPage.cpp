#include "editor/EditorPage.h"

#include "canvas/CanvasCursor.h"
#include "canvas/CanvasView.h"
#include "canvas/CanvasZoomWheel.h"
#include "editor/EditorCanvasCursor.h"
#include "editor/EditorTabHost.h"
#include "editor/EditorWindowSizing.h"
#include "editor/EditorZoom.h"
#include "editor/UnsavedChangesAlert.h"
#include "model/AnnotationStore.h"
#include "platform/Observable.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFileInfo>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace snapkin {

namespace {

// Writes the canvas viewport's size into the zoom, for fitting.
class ViewportWatcher : public QObject {
public:
    ViewportWatcher(QWidget* viewport, EditorZoom& zoom) : QObject(viewport), m_zoom(zoom)
    {
        viewport->installEventFilter(this);
        m_zoom.setViewportSize(viewport->size());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            m_zoom.setViewportSize(static_cast<QWidget*>(watched)->size());
        return false;
    }

private:
    EditorZoom& m_zoom;
};

} // namespace

EditorPage::EditorPage(std::unique_ptr<AnnotationStore> store, std::unique_ptr<EditorZoom> zoom,
                       QString title, QWidget* parent)
    : QWidget(parent), m_store(std::move(store)), m_zoom(std::move(zoom)), m_title(std::move(title))
{
    buildContent();
    // The image is announced before it is stored: its size is taken from the signal.
    platform::subscribe(m_store.get(), &AnnotationStore::image, &AnnotationStore::imageChanged,
                        this, [this](const platform::BaseImage& image) {
                            m_dimensions = editorsizing::dimensionsText(image);
                            emit presentationChanged();
                        });
    platform::subscribe(m_store.get(), &AnnotationStore::documentURL,
                        &AnnotationStore::documentURLChanged, this,
                        [this](const QUrl& url) { followDocument(url); });
}

EditorPage::~EditorPage()
{
    // The widgets that show the store go first; the store and zoom members outlive them.
    delete m_area;
}

// The page's content: the canvas in a scroll area at the page's zoom, centred when it is
// smaller than the viewport.
void EditorPage::buildContent()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_area = new QScrollArea(this);
    m_area->setAlignment(Qt::AlignCenter);
    m_area->setFrameShape(QFrame::NoFrame);
    m_canvas = new CanvasView(*m_store);
    m_canvas->setZoom(m_zoom->scale());
    m_area->setWidget(m_canvas);
    layout->addWidget(m_area);
    setFocusProxy(m_canvas);

    connect(m_zoom.get(), &EditorZoom::scaleChanged, m_canvas,
            [canvas = m_canvas](double scale) { canvas->setZoom(scale); });
    new ViewportWatcher(m_area->viewport(), *m_zoom);
    new CanvasZoomWheel(m_area, [zoom = m_zoom.get()](double factor) { zoom->zoomBy(factor); });
    // The store announces a change before it stores it, so each signal's own value is used.
    auto* cursor = new CanvasCursor(m_area);
    cursor->setCursor(editorCanvasCursor(m_store->tool(), m_store->isCropping()));
    connect(m_store.get(), &AnnotationStore::toolChanged, cursor, [this, cursor](Tool tool) {
        cursor->setCursor(editorCanvasCursor(tool, m_store->isCropping()));
    });
    connect(m_store.get(), &AnnotationStore::isCroppingChanged, cursor,
            [this, cursor](bool cropping) {
                cursor->setCursor(editorCanvasCursor(m_store->tool(), cropping));
            });
}

QString EditorPage::windowTitleText() const
{
    return editorsizing::windowTitle(m_title, m_dimensions);
}

QString EditorPage::documentPath() const
{
    return m_documentPath;
}

EditorTabHost* EditorPage::host() const
{
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* host = qobject_cast<EditorTabHost*>(w)) return host;
    }
    return nullptr;
}

void EditorPage::focusCanvasSoon()
{
    QTimer::singleShot(0, this, [this] {
        if (m_canvas) m_canvas->setFocus(Qt::OtherFocusReason);
    });
}

void EditorPage::followDocument(const QUrl& url)
{
    // Leaving a document (a nil location) keeps the title the page has.
    if (url.isEmpty()) return;
    // The location is announced before it is stored, so it is taken from the signal.
    m_documentPath = url.isLocalFile() ? url.toLocalFile() : QString();
    m_title = url.isLocalFile() ? QFileInfo(m_documentPath).fileName() : url.fileName();
    emit presentationChanged();
}

void EditorPage::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (UnsavedChangesAlert::run(*m_store, window()) == UnsavedChangesDecision::keepOpen) {
        event->ignore();
        return;
    }
    event->accept();
    m_closed = true;
    emit closed(this);
}

} // namespace snapkin
