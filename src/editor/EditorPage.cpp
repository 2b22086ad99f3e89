#include "editor/EditorPage.h"

#include "editor/EditorCanvasArea.h"
#include "editor/EditorTabHost.h"
#include "editor/EditorView.h"
#include "editor/EditorWindowSizing.h"
#include "editor/EditorZoom.h"
#include "editor/FramedCanvas.h"
#include "editor/UnsavedChangesAlert.h"
#include "model/AnnotationStore.h"
#include "platform/Observable.h"
#include "ui/canvas/CanvasView.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QTimer>
#include <QVBoxLayout>

namespace snapkin {

EditorPage::EditorPage(std::unique_ptr<AnnotationStore> store, std::unique_ptr<EditorZoom> zoom,
                       QString title, ExportDialogs& exports, const EditorViewHooks& hooks,
                       QWidget* parent)
    : QWidget(parent), m_store(std::move(store)), m_zoom(std::move(zoom)), m_exports(exports),
      m_title(std::move(title))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new EditorView(*m_store, *m_zoom, m_exports, hooks, this);
    layout->addWidget(m_view);
    m_canvas = m_view->canvasArea()->framedCanvas()->canvas();
    setFocusProxy(m_canvas);
    // The image is announced before it is stored: its size is taken from the signal.
    platform::subscribe(m_store.get(), &AnnotationStore::image, &AnnotationStore::imageChanged,
                        this, [this](const platform::BaseImage& image) {
                            m_dimensions = editorsizing::dimensionsText(image);
                            emit presentationChanged();
                        });
    // So is the document's location.
    platform::subscribe(m_store.get(), &AnnotationStore::documentURL,
                        &AnnotationStore::documentURLChanged, this, [this](const QUrl& url) {
                            // Leaving a document (a nil location) keeps the title the page has.
                            if (url.isEmpty()) return;
                            m_documentPath = url.isLocalFile() ? url.toLocalFile() : QString();
                            m_title = url.isLocalFile() ? QFileInfo(m_documentPath).fileName()
                                                        : url.fileName();
                            emit presentationChanged();
                        });
}

EditorPage::~EditorPage()
{
    // The widgets that show the store go first; the store and zoom members outlive them.
    delete m_view;
}

QString EditorPage::windowTitleText() const
{
    return editorsizing::windowTitle(m_title, m_dimensions);
}

EditorTabHost* EditorPage::host() const
{
    // A tab host is always a window of its own.
    return qobject_cast<EditorTabHost*>(window());
}

void EditorPage::focusCanvasSoon()
{
    QTimer::singleShot(0, this, [this] {
        if (m_canvas) m_canvas->setFocus(Qt::OtherFocusReason);
    });
}

void EditorPage::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (UnsavedChangesAlert::run(m_exports, *m_store, window()) ==
        UnsavedChangesDecision::keepOpen) {
        event->ignore();
        return;
    }
    event->accept();
    m_closed = true;
    emit closed(this);
}

} // namespace snapkin
