#include "editor/crop/CropView.h"

#include "canvas/AnnotationRenderer.h"
#include "editor/EditorZoom.h"
#include "model/AnnotationStore.h"
#include "model/Color.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace snapkin {

CropView::CropView(AnnotationStore& store, EditorZoom& zoom, QWidget* parent)
    : QWidget(parent), m_store(store), m_zoom(zoom)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    const auto invalidate = [this] {
        m_picture.stale = true;
        update();
    };
    connect(&store, &AnnotationStore::annotationsChanged, this, invalidate);
    connect(&store, &AnnotationStore::imageChanged, this, invalidate);
    connect(&store, &AnnotationStore::cropRectChanged, this, [this] { update(); });
    connect(&zoom, &EditorZoom::scaleChanged, this, [this] { update(); });
}

double CropView::zoom() const
{
    return std::max(m_zoom.scale(), EditorZoom::minFitScale);
}

QPointF CropView::toImagePoint(QPointF widgetPoint) const
{
    return widgetPoint / zoom();
}

const QImage& CropView::picture(QSize deviceSize, qreal dpr)
{
    const platform::BaseImage& image = m_store.image();
    if (!m_picture.stale && m_picture.serial == image.serial() &&
        m_picture.deviceSize == deviceSize)
        return m_picture.image;
    QImage picture(deviceSize, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    const QSizeF size = image.pointSize();
    if (!image.isNull() && size.width() > 0 && size.height() > 0) {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF target(0, 0, size.width(), size.height());
        painter.scale(deviceSize.width() / size.width(), deviceSize.height() / size.height());
        painter.drawImage(target, image.image());
        AnnotationRenderer(m_store.annotations(), std::nullopt, size, image).paint(painter);
    }
    picture.setDevicePixelRatio(dpr);
    m_picture = {image.serial(), deviceSize, false, std::move(picture)};
    return m_picture.image;
}

void CropView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    const QSize device(std::max(1, int(std::lround(width() * dpr))),
                       std::max(1, int(std::lround(height() * dpr))));
    painter.drawImage(QRectF(rect()), picture(device, dpr));

    const double z = zoom();
    const QSizeF size = m_store.image().pointSize();
    const QRectF r = m_store.cropRect();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(z, z);

    QPainterPath dimming;
    dimming.setFillRule(Qt::OddEvenFill);
    dimming.addRect(QRectF(QPointF(0, 0), size));
    dimming.addRect(r);
    painter.fillPath(dimming, QColor::fromRgbF(0, 0, 0, CropGeometry::dimmingOpacity));

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, CropGeometry::borderWidth(z)));
    painter.drawRect(r);

    QColor grid(Qt::white);
    grid.setAlphaF(CropGeometry::gridOpacity);
    painter.setPen(QPen(grid, CropGeometry::gridWidth(z)));
    for (int i = 1; i <= 2; ++i) {
        const double x = r.left() + r.width() * i / 3;
        const double y = r.top() + r.height() * i / 3;
        painter.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
        painter.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }

    const double side = CropGeometry::handleSide(z);
    const double radius = CropGeometry::handleCornerRadius(z);
    painter.setPen(QPen(Color::brand(), CropGeometry::handleOutlineWidth(z)));
    painter.setBrush(Qt::white);
    for (const CropGeometry::HandlePoint& handle : CropGeometry::handlePoints(r)) {
        const QRectF square(handle.point - QPointF(side / 2, side / 2), QSizeF(side, side));
        painter.drawRoundedRect(square, radius, radius);
    }
}

void CropView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QPointF at = toImagePoint(event->position());
    m_start = at;
    m_origin = m_store.cropRect();
    m_handle = CropGeometry::dragTarget(m_origin, at, zoom());
}

void CropView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_start || !m_handle) return;
    const QPointF delta = toImagePoint(event->position()) - *m_start;
    m_store.setCropRect(CropGeometry::applied(m_origin, *m_handle, delta,
                                              m_store.image().pointSize(), m_store.activeRatio()));
}

void CropView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    mouseMoveEvent(event);
    m_start.reset();
    m_handle.reset();
}

} // namespace snapkin
