#pragma once

// Helpers shared by the editor's widget tests.

#include "model/AnnotationStore.h"
#include "platform/BaseImage.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QWidget>

#include <cmath>
#include <memory>

namespace snapkin::editortest {

inline platform::BaseImage plainImage(QSize pixels = {400, 300},
                                      std::optional<QSizeF> points = std::nullopt,
                                      QColor color = QColor(236, 240, 244))
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return platform::BaseImage(image, points);
}

inline std::unique_ptr<AnnotationStore> plainStore(QSize pixels = {400, 300},
                                                   std::optional<QSizeF> points = std::nullopt)
{
    return std::make_unique<AnnotationStore>(plainImage(pixels, points));
}

// What the window system sends when the pointer comes over a widget and leaves it.
inline void hover(QWidget* widget)
{
    const QPointF inside = QRectF(widget->rect()).center();
    QEnterEvent enter(inside, widget->mapTo(widget->window(), inside), widget->mapToGlobal(inside));
    QApplication::sendEvent(widget, &enter);
}

inline void unhover(QWidget* widget)
{
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(widget, &leave);
}

// The widget drawn on its own, at one device pixel per point.
inline QImage render(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// True when `a` and `b` differ by at most `tolerance` in each channel.
inline bool near(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// `over` composited at `opacity` on `under`.
inline QColor blend(QColor over, double opacity, QColor under)
{
    const auto mix = [&](int o, int u) {
        return int(std::lround(o * opacity + u * (1 - opacity)));
    };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()),
                  mix(over.blue(), under.blue()));
}

} // namespace snapkin::editortest
