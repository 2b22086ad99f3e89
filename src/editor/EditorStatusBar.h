#pragma once

#include <QTimer>
#include <QWidget>

class QMenu;
class QToolButton;

namespace snapkin {

class AnnotationStore;
class EditorZoom;
class IconButton;

// The thin bar under an editor's canvas: zoom out, the zoom menu showing the percentage, zoom
// in, a short rule, the image's pixel size and resolution (a click opens Resize Image…) and
// the Resize Image… button. It shows what the store and the zoom hold, whoever changed them,
// and changes only the zoom scale and, through Resize Image…, the store's resize request.
// "Fit to window" fits what the page shows (see EditorZoom::zoomToFit).
class EditorStatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int barHeight = 28;

    // Both must outlive the bar.
    EditorStatusBar(AnnotationStore& store, EditorZoom& zoom, QWidget* parent = nullptr);

    // "13%": the scale in percent, rounded half away from zero; not localised.
    static QString percentText(double scale);
    // A preset's menu title: its percentage truncated ("75%").
    static QString presetTitle(double preset);

    QToolButton* zoomMenuButton() const { return m_zoomButton; }
    // The zoom menu as it would open now (checkmarks for the current scale).
    QMenu* zoomMenu() const { return m_zoomMenu; }
    QToolButton* dimensionReadout() const { return m_readout; }
    IconButton* zoomOutButton() const { return m_zoomOut; }
    IconButton* zoomInButton() const { return m_zoomIn; }
    IconButton* resizeButton() const { return m_resize; }

private:
    void showDimensions();
    void fillZoomMenu();

    AnnotationStore& m_store;
    EditorZoom& m_zoom;
    IconButton* m_zoomOut = nullptr;
    IconButton* m_zoomIn = nullptr;
    IconButton* m_resize = nullptr;
    QToolButton* m_zoomButton = nullptr;
    QMenu* m_zoomMenu = nullptr;
    QToolButton* m_readout = nullptr;
    // The store publishes before it stores: the read-out is refreshed on the next turn.
    QTimer m_dimensionsRefresh;
};

} // namespace snapkin
