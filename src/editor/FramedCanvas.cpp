#include "editor/FramedCanvas.h"

#include "canvas/CanvasView.h"
#include "model/AnnotationStore.h"

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
        const QPixmap& picture = m_owner->layer(m_owner->m_aboveCache, devicePixelRatioF(), true);
        QPainter painter(this);
        const QRect area = event->rect();
        if (picture.isNull()) {
            painter.setClipRect(area);
            m_owner->paintLayer(painter, true);
            return;
        }
        const qreal dpr = picture.devicePixelRatio();
        painter.drawPixmap(area, picture,
                           QRectF(area.topLeft() * dpr, QSizeF(area.size()) * dpr).toRect());
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
    m_canvas = new CanvasView(store, m_clip);
    m_above = new AboveLayer(this);
    m_above->hide();
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

QSize FramedCanvas::scaledSize() const
{
    return wholePixels(m_composition.layout.canvasSize * m_scale);
}

void FramedCanvas::sync(double scale)
{
    FrameComposition composition{m_store.frameLayout(), m_store.frame(), m_store.watermark(),
                                 m_store.image(), true};
    const bool changed = scale != m_scale ||
                         composition.layout.canvasSize != m_composition.layout.canvasSize ||
                         composition.layout.imageRect != m_composition.layout.imageRect ||
                         composition.frame != m_composition.frame ||
                         composition.watermark != m_composition.watermark ||
                         composition.image.serial() != m_composition.image.serial();
    m_composition = std::move(composition);
    m_scale = scale;
    if (changed) ++m_generation;

    setFixedSize(scaledSize());
    m_canvas->setZoom(scale);
    const QRectF image = m_composition.layout.imageRect;
    const QPointF origin = image.topLeft() * scale;
    m_clip->setGeometry(QRect(QPoint(int(std::lround(origin.x())), int(std::lround(origin.y()))),
                              wholePixels(image.size() * scale)));

    const bool covers = m_composition.hasCornerCover() || m_composition.hasWatermark();
    m_above->setGeometry(rect());
    m_above->setVisible(covers);
    if (covers && !m_composition.hasWatermark()) {
        // Only the image's four corners are covered: the layer takes part in repaints of
        // those squares alone, not of the whole canvas.
        const QRect image = m_clip->geometry();
        const int r = int(std::ceil(m_composition.cornerRadius() * scale)) + 2;
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
    // Stretched by under a pixel so the layer fills the widget's whole pixels exactly.
    const QSizeF canvas = m_composition.layout.canvasSize;
    if (canvas.width() > 0 && canvas.height() > 0)
        painter.scale(width() / canvas.width(), height() / canvas.height());
    if (above)
        m_composition.paintAboveContent(painter);
    else
        m_composition.paintBelowContent(painter);
}

const QPixmap& FramedCanvas::layer(Cached& cache, qreal dpr, bool above)
{
    const QSize pixels(int(std::ceil(width() * dpr)), int(std::ceil(height() * dpr)));
    if (cache.key == m_generation && cache.canvasPixels == pixels &&
        cache.pixmap.devicePixelRatio() == dpr)
        return cache.pixmap;
    cache = {};
    cache.key = m_generation;
    cache.canvasPixels = pixels;
    if (pixels.isEmpty() || qint64(pixels.width()) * pixels.height() > maxCachedPixels)
        return cache.pixmap;
    // The layer below covers every pixel, so it is kept opaque and copied without blending.
    QImage image(pixels, above ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) return cache.pixmap; // too large to keep: nothing is drawn
    image.setDevicePixelRatio(dpr);
    image.fill(above ? QColor(Qt::transparent) : palette().color(QPalette::Window));
    {
        QPainter painter(&image);
        paintLayer(painter, above);
    }
    cache.pixmap = QPixmap::fromImage(std::move(image));
    return cache.pixmap;
}

void FramedCanvas::paintEvent(QPaintEvent* event)
{
    if (!m_composition.frame) return; // the canvas covers everything
    const QPixmap& picture = layer(m_belowCache, devicePixelRatioF(), false);
    QPainter painter(this);
    const QRect area = event->rect();
    if (picture.isNull()) {
        painter.setClipRect(area);
        paintLayer(painter, false);
        return;
    }
    const qreal dpr = picture.devicePixelRatio();
    painter.drawPixmap(area, picture,
                       QRectF(area.topLeft() * dpr, QSizeF(area.size()) * dpr).toRect());
}

} // namespace snapkin
