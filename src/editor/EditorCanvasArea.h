#pragma once

#include <QPointer>
#include <QScrollArea>
#include <QSizeF>
#include <QTimer>

namespace snapkin {

class AnnotationStore;
class CanvasCursor;
class EditorZoom;
class FramedCanvas;

// The scrolling canvas of an editor page. Its content, the zoom host, is the shown canvas
// times the zoom plus 24 points on every side, and at least the viewport, so a canvas smaller
// than the viewport sits in its middle and a larger one scrolls. The host draws the page's
// backdrop and, around the framed canvas, a faint 1-point border with a soft shadow.
//
// While the store is cropping, the host shows the crop overlay over the bare image (from the
// installed factory; the bare image alone without one) instead of the framed canvas.
//
// The viewport's size is written to the zoom on every resize, but only entering or leaving
// crop mode and a change of the canvas size (frame padding, crop, rotation, resize) refit the
// zoom; resizing the window keeps it.
class EditorCanvasArea : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int margin = 24;

    // Both must outlive the area.
    EditorCanvasArea(AnnotationStore& store, EditorZoom& zoom, QWidget* parent = nullptr);
    ~EditorCanvasArea() override;

    FramedCanvas* framedCanvas() const { return m_framed; }
    // The crop overlay (or bare image) while cropping; null otherwise.
    QWidget* cropContent() const { return m_crop; }
    // Where the shown content sits in the host (the framed canvas, or the crop content).
    QRect contentGeometry() const;
    CanvasCursor* cursor() const { return m_cursor; }

    // Brings the area in line with the store now instead of on the next turn.
    void syncNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class ZoomHost;

    void sync();
    void applyScale(double scale);
    void layoutHost();
    QSize contentSize() const;

    AnnotationStore& m_store;
    EditorZoom& m_zoom;
    ZoomHost* m_host = nullptr;
    FramedCanvas* m_framed = nullptr;
    QPointer<QWidget> m_crop;
    CanvasCursor* m_cursor = nullptr;
    double m_scale = 1;
    bool m_cropping = false;
    QSizeF m_canvasSize;
    // The store publishes before it stores; changes are read back on the next turn.
    QTimer m_syncTimer;
};

} // namespace snapkin
