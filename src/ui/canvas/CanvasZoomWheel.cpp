#include "ui/canvas/CanvasZoomWheel.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QNativeGestureEvent>
#include <QWheelEvent>

#include <algorithm>

namespace snapkin {

CanvasZoomWheel::CanvasZoomWheel(QAbstractScrollArea* area, ZoomAction onZoom)
    : QObject(area), m_area(area), m_onZoom(std::move(onZoom))
{
    // Events reach the canvas, a child of the area, before the area sees them; watching the
    // application lets us take zoom events wherever over the area they land.
    qApp->installEventFilter(this);
}

CanvasZoomWheel::~CanvasZoomWheel()
{
    if (qApp) qApp->removeEventFilter(this);
}

std::optional<double> CanvasZoomWheel::wheelFactor(const QWheelEvent& event)
{
    const QPoint pixels = event.pixelDelta();
    if (!pixels.isNull()) {
        if (pixels.y() == 0) return std::nullopt;
        return std::clamp(pixels.y() / 100.0 + 1.0, minPreciseFactor, maxPreciseFactor);
    }
    const int angle = event.angleDelta().y();
    if (angle == 0) return std::nullopt;
    return angle > 0 ? notchIn : notchOut;
}

bool CanvasZoomWheel::isOverArea(QObject* watched, QPointF globalPosition) const
{
    if (!m_area || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget != m_area && !m_area->isAncestorOf(widget)) return false;
    const QPoint local = m_area->mapFromGlobal(globalPosition.toPoint());
    return m_area->rect().contains(local);
}

bool CanvasZoomWheel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
        if (!isOverArea(watched, wheel->globalPosition())) return false;
        if (const auto factor = wheelFactor(*wheel); factor && m_onZoom) m_onZoom(*factor);
        wheel->accept(); // consumed even without an action or a factor: not passed to parents
        return true;
    }
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        if (gesture->gestureType() != Qt::ZoomNativeGesture) return false;
        if (!isOverArea(watched, gesture->globalPosition())) return false;
        if (m_onZoom)
            m_onZoom(std::clamp(gesture->value() + 1.0, minPreciseFactor, maxPreciseFactor));
        gesture->accept();
        return true;
    }
    return false;
}

} // namespace snapkin
