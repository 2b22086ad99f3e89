#pragma once

#include "model/Annotation.h"
#include "output/FrameComposition.h"

#include <QPixmap>
#include <QTimer>
#include <QTransform>
#include <QWidget>

#include <memory>

namespace snapkin {

class AnnotationStore;
class CanvasView;
class RenderCaches;

// The editor's live canvas inside the document's framed presentation, at the zoom's scale:
// the frame's background and the image's shadow below, the interactive canvas view placed on
// the image, the corner cover and the watermark above it. A document without frame and
// watermark is the canvas alone. Sized to the layout's canvas times the scale.
//
// The layers around the canvas change only with the document's presentation or the scale, so
// each is kept as a picture at the screen's pixel density and only copied on repaint.
//
// A frame with square corners does not clip the content in an export, so what annotations put
// past the image's edge shows over the padding; it is painted here too, around the canvas
// view (which covers the image alone), so the editor shows what is exported.
class FramedCanvas : public QWidget {
    Q_OBJECT
public:
    // After a zoom step the frame shows its last picture stretched; this long after the last
    // step it is painted afresh.
    static constexpr int refineDelayMs = 150;

    // `store` must outlive the widget.
    explicit FramedCanvas(AnnotationStore& store, QWidget* parent = nullptr);
    ~FramedCanvas() override;

    CanvasView* canvas() const { return m_canvas; }

    // Reads the presentation from the store and lays everything out at `scale`.
    void sync(double scale);
    // The size this widget takes at the current scale.
    QSize scaledSize() const { return m_size; }
    // What shows around the frame (blended into its outermost pixels).
    void setBackdrop(const QColor& color) { m_backdrop = color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class AboveLayer;
    struct Cached {
        QPixmap pixmap;
        QSize canvasPixels;
        std::uint64_t presentation = 0;
    };
    // Larger layers (a big canvas zoomed in) are painted afresh, clipped to what is exposed.
    static constexpr qint64 maxCachedPixels = 12'000'000;

    void paintLayer(QPainter& painter, bool above) const;
    void annotationsChanged(const QList<Annotation>& annotations);
    void paintOverflow(QPainter& painter, const QRegion& area);
    void placeImage();
    // The layer as a picture of this widget's size at `dpr`; null when too large to keep.
    // `stretched` tells that it is the picture of another scale, drawn stretched meanwhile.
    const QPixmap& layer(Cached& cache, qreal dpr, bool above, bool& stretched);
    void drawLayer(QPainter& painter, const QRect& area, Cached& cache, bool above);

    AnnotationStore& m_store;
    QWidget* m_clip = nullptr;
    CanvasView* m_canvas = nullptr;
    AboveLayer* m_above = nullptr;
    FrameComposition m_composition;
    double m_scale = 1;
    QSize m_size{1, 1};
    QRect m_imageGeometry;
    // From canvas points to this widget's pixels.
    QTransform m_toWidget;
    QColor m_backdrop = Qt::lightGray;
    // Changes whenever the presentation does; the layer caches key on it and on their size.
    std::uint64_t m_presentation = 1;
    QTimer m_refine;
    bool m_refineDue = false;
    Cached m_belowCache;
    Cached m_aboveCache;
    // The annotations as last published, for the parts painted past the image.
    QList<Annotation> m_annotations;
    std::unique_ptr<RenderCaches> m_caches;
};

} // namespace snapkin
