#include "editor/FramedCanvas.h"

#include "canvas/AnnotationRenderer.h"
#include "canvas/CanvasDamage.h"
#include "canvas/RenderCaches.h"
#include "model/AnnotationStore.h"
#include "ui/canvas/CanvasView.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace snapkin {

// The corner cover and the watermark, over the canvas; it takes no clicks.
class FramedCanvas::AboveLayer : public QWidget {
public:
    explicit AboveLayer(FramedCanvas* owner) : QWidget(owner), m_owner(owner)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        // Without a watermark only the corners are drawn, also where the mask is not applied
        // (rendering into an image).
        if (!mask().isEmpty()) {
            const QRegion area = event->region() & mask();
            if (area.isEmpty()) return;
            painter.setClipRegion(area);
        }
        m_owner->drawLayer(painter, event->rect(), m_owner->m_aboveCache, true);
    }

private:
    FramedCanvas* m_owner;
};

FramedCanvas::FramedCanvas(AnnotationStore& store, QWidget* parent)
    : QWidget(parent), m_store(store)
{
    // Opaque everywhere: the frame's background (a checkerboard where transparent) or the
    // canvas covers every pixel, so nothing behind needs painting.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The canvas view rounds its size up; the clip cuts the part-covered last pixel column and
    // row, so the frame around never shows a seam of the canvas's own background.
    m_clip = new QWidget(this);
    // Wholly covered by the canvas view, so the frame is not painted under it.
    m_clip->setAttribute(Qt::WA_OpaquePaintEvent);
    m_canvas = new CanvasView(store, m_clip);
    m_above = new AboveLayer(this);
    m_above->hide();
    m_annotations = store.annotations();
    connect(&store, &AnnotationStore::annotationsChanged, this,
            [this](const AnnotationStore::Annotations& annotations) {
                annotationsChanged(annotations);
            });
    // Zooming repaints the frame from its last picture; once zooming pauses, it is painted
    // afresh at the new scale.
    m_refine.setSingleShot(true);
    m_refine.setInterval(refineDelayMs);
    connect(&m_refine, &QTimer::timeout, this, [this] {
        m_refineDue = true;
        update();
        m_above->update();
    });
    sync(1.0);
}

FramedCanvas::~FramedCanvas() = default;

namespace {

QSize wholePixels(QSizeF size)
{
    return QSize(std::max(1, int(std::floor(size.width()))),
                 std::max(1, int(std::floor(size.height()))));
}

} // namespace

void FramedCanvas::placeImage()
{
    // The image lands on whole pixels (the canvas view's); the frame around it is mapped so
    // that its image rectangle is exactly there, which keeps the corner cover on the corners.
    const QRectF image = m_composition.layout.imageRect;
    const QSizeF canvas = m_composition.layout.canvasSize;
    const QPoint origin(int(std::lround(image.left() * m_scale)),
                        int(std::lround(image.top() * m_scale)));
    const QSize size = wholePixels(image.size() * m_scale);
    m_imageGeometry = QRect(origin, size);
    const double sx = image.width() > 0 ? size.width() / image.width() : m_scale;
    const double sy = image.height() > 0 ? size.height() / image.height() : m_scale;
    m_toWidget =
        QTransform::fromTranslate(origin.x() - image.left() * sx, origin.y() - image.top() * sy)
            .scale(sx, sy);
    const QPointF end = m_toWidget.map(QPointF(canvas.width(), canvas.height()));
    m_size = QSize(std::max(1, int(std::lround(end.x()))), std::max(1, int(std::lround(end.y()))));
}

void FramedCanvas::sync(double scale)
{
    FrameComposition composition{m_store.frameLayout(), m_store.frame(), m_store.watermark(),
                                 m_store.image(), true};
    const bool presentationChanged =
        composition.layout.canvasSize != m_composition.layout.canvasSize ||
        composition.layout.imageRect != m_composition.layout.imageRect ||
        composition.frame != m_composition.frame ||
        composition.watermark != m_composition.watermark ||
        composition.image.serial() != m_composition.image.serial();
    const bool changed = presentationChanged || scale != m_scale;
    m_composition = std::move(composition);
    m_scale = scale;
    if (presentationChanged) ++m_presentation;
    if (changed) m_refineDue = false;

    placeImage();
    setFixedSize(m_size);
    m_canvas->setZoom(scale);
    m_clip->setGeometry(m_imageGeometry);

    const bool covers = m_composition.hasCornerCover() || m_composition.hasWatermark();
    m_above->setGeometry(rect());
    m_above->setVisible(covers);
    if (covers && !m_composition.hasWatermark()) {
        // Only the image's four corners are covered: the layer takes part in repaints of
        // those squares alone, not of the whole canvas.
        const QRect image = m_clip->geometry();
        const int r = int(std::ceil(m_composition.cornerExtent() * scale)) + 2;
        QRegion corners;
        corners += QRect(image.topLeft() - QPoint(1, 1), QSize(r, r));
        corners += QRect(QPoint(image.right() - r + 2, image.top() - 1), QSize(r, r));
        corners += QRect(QPoint(image.left() - 1, image.bottom() - r + 2), QSize(r, r));
        corners += QRect(image.bottomRight() - QPoint(r - 2, r - 2), QSize(r, r));
        m_above->setMask(corners);
    } else {
        m_above->clearMask();
    }
    if (covers) m_above->raise();
    if (changed) {
        update();
        if (covers) m_above->update();
    }
}

void FramedCanvas::paintLayer(QPainter& painter, bool above) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(m_toWidget, true);
    if (above)
        m_composition.paintAboveContent(painter);
    else
        m_composition.paintBelowContent(painter);
}

const QPixmap& FramedCanvas::layer(Cached& cache, qreal dpr, bool above, bool& stretched)
{
    stretched = false;
    const QSize pixels(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)));
    if (cache.presentation == m_presentation && cache.canvasPixels == pixels &&
        cache.pixmap.devicePixelRatio() == dpr)
        return cache.pixmap;
    if (cache.presentation == m_presentation && !cache.pixmap.isNull() && !m_refineDue) {
        // Only the zoom changed: the last picture, stretched, stands in until zooming pauses.
        stretched = true;
        m_refine.start();
        return cache.pixmap;
    }
    cache = {};
    cache.presentation = m_presentation;
    cache.canvasPixels = pixels;
    if (pixels.isEmpty() || qint64(pixels.width()) * pixels.height() > maxCachedPixels)
        return cache.pixmap;
    // The layer below covers every pixel, so it is kept opaque and copied without blending.
    QImage image(pixels, above ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) return cache.pixmap; // too large to keep: nothing is drawn
    image.setDevicePixelRatio(dpr);
    // Below, an outer edge pixel the frame covers only in part blends with the backdrop.
    image.fill(above ? QColor(Qt::transparent) : m_backdrop);
    {
        QPainter painter(&image);
        paintLayer(painter, above);
    }
    cache.pixmap = QPixmap::fromImage(std::move(image));
    return cache.pixmap;
}

void FramedCanvas::drawLayer(QPainter& painter, const QRect& area, Cached& cache, bool above)
{
    bool stretched = false;
    const QPixmap& picture = layer(cache, devicePixelRatioF(), above, stretched);
    if (picture.isNull()) {
        painter.setClipRect(area, Qt::IntersectClip);
        paintLayer(painter, above);
        return;
    }
    if (stretched) {
        painter.setClipRect(area, Qt::IntersectClip);
        painter.drawPixmap(QRectF(rect()), picture, QRectF(picture.rect()));
        return;
    }
    const qreal dpr = picture.devicePixelRatio();
    painter.drawPixmap(area, picture,
                       QRectF(area.topLeft() * dpr, QSizeF(area.size()) * dpr).toRect());
}

void FramedCanvas::annotationsChanged(const QList<Annotation>& annotations)
{
    // Marks show past the image's edge whenever there is a frame, whatever its corners: the
    // editor never clips them (the export does, to rounded corners), and the corner cover paints
    // only inside the image.
    if (!m_composition.frame) {
        m_annotations = annotations;
        return;
    }
    const std::optional<QRectF> changed = CanvasDamage::between(m_annotations, annotations);
    m_annotations = annotations;
    const QRegion outside = QRegion(rect()) - m_imageGeometry;
    if (!changed) {
        update(outside);
        return;
    }
    const QRectF area =
        m_toWidget.mapRect(changed->translated(m_composition.layout.imageRect.topLeft()));
    const QRegion damaged = outside & area.toAlignedRect().adjusted(-1, -1, 1, 1);
    if (!damaged.isEmpty()) update(damaged);
}

void FramedCanvas::paintOverflow(QPainter& painter, const QRegion& area)
{
    const QRegion outside = area - m_imageGeometry;
    if (outside.isEmpty() || m_annotations.isEmpty()) return;
    if (!m_caches) m_caches = std::make_unique<RenderCaches>();
    painter.save();
    painter.setClipRegion(outside);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(m_toWidget);
    painter.translate(m_composition.layout.imageRect.topLeft());
    AnnotationRenderer(m_annotations, std::nullopt, m_composition.image.pointSize(),
                       m_composition.image, m_caches.get())
        .paint(painter);
    painter.restore();
}

void FramedCanvas::paintEvent(QPaintEvent* event)
{
    if (!m_composition.frame) return; // the canvas covers everything
    QPainter painter(this);
    drawLayer(painter, event->rect(), m_belowCache, false);
    paintOverflow(painter, event->region());
}

} // namespace snapkin
