#pragma once

#include "editor/crop/CropGeometry.h"

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <optional>

namespace snapkin {

class AnnotationStore;
class EditorZoom;

// The crop overlay shown in place of the canvas while the store is cropping: the image with
// its annotations, everything outside the crop rectangle dimmed, the rectangle's border with a
// rule-of-thirds grid and eight handles. A drag moves the rectangle or one of its edges and
// writes the store's `cropRect` on every step; nothing is recorded for undo and the document
// is not marked as changed (applying the crop is one step of its own).
//
// The widget is laid out at the image's point size times the zoom, and draws in image points
// scaled by the zoom; the overlay's lines and handles keep a constant size on screen. The image
// with its annotations does not change during a drag, so it is kept as one picture at the
// device's resolution and only the overlay is drawn anew.
class CropView : public QWidget {
    Q_OBJECT
public:
    // Both must outlive the view.
    CropView(AnnotationStore& store, EditorZoom& zoom, QWidget* parent = nullptr);

    double zoom() const;
    QPointF toImagePoint(QPointF widgetPoint) const;
    // What the current drag acts on; none when no drag is under way or it grabbed nothing.
    std::optional<CropHandle> dragHandle() const { return m_handle; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const QImage& picture(QSize deviceSize, qreal dpr);

    AnnotationStore& m_store;
    EditorZoom& m_zoom;
    // The drag under way: where it started and the rectangle then.
    std::optional<QPointF> m_start;
    QRectF m_origin;
    std::optional<CropHandle> m_handle;

    struct Picture {
        std::uint64_t serial = 0;
        QSize deviceSize;
        bool stale = true;
        QImage image;
    };
    Picture m_picture;
};

} // namespace snapkin
