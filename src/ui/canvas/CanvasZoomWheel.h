#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QAbstractScrollArea;
class QWheelEvent;

namespace snapkin {

// Turns pinch gestures, and wheel movement with Ctrl held, over the editor's canvas area into
// zoom factors for the editor, which multiplies its zoom scale by them. Plain wheel movement is
// left alone, so the canvas scrolls as usual. Watches the application's events without taking
// focus or clicks from the canvas.
class CanvasZoomWheel : public QObject {
    Q_OBJECT
public:
    using ZoomAction = std::function<void(double factor)>;

    CanvasZoomWheel(QAbstractScrollArea* area, ZoomAction onZoom);
    ~CanvasZoomWheel() override;

    // The factor for one Ctrl+wheel event, or nothing when it must not zoom (no vertical
    // movement). A mouse wheel zooms by a fixed step per notch; a touchpad's precise pixel
    // deltas zoom in proportion, bounded per event so that a fast flick cannot reach zero.
    static std::optional<double> wheelFactor(const QWheelEvent& event);
    static constexpr double notchIn = 1.25;
    static constexpr double notchOut = 0.8;
    static constexpr double minPreciseFactor = 0.5;
    static constexpr double maxPreciseFactor = 2.0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isOverArea(QObject* watched, QPointF globalPosition) const;

    QPointer<QAbstractScrollArea> m_area;
    ZoomAction m_onZoom;
};

} // namespace snapkin
