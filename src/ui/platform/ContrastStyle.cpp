#include "ui/platform/ContrastStyle.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

#include <cmath>

namespace snapkin::platform {

namespace {

double channel(double value)
{
    value /= 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) +
           0.0722 * channel(rgb.blue());
}

QColor mix(const QColor& from, const QColor& to, double t)
{
    const QColor a = from.toRgb(), b = to.toRgb();
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

ContrastStyle::ContrastStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

double ContrastStyle::contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ContrastStyle::outlineColor(const QColor& background, const QColor& ink, double ratio)
{
    for (int step = 1; step <= 20; ++step) {
        const QColor candidate = mix(background, ink, step / 20.0);
        if (contrastRatio(candidate, background) >= ratio) return candidate;
    }
    return ink;
}

void ContrastStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const
{
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    const bool box = element == PE_IndicatorCheckBox;
    const bool radio = element == PE_IndicatorRadioButton;
    if (!(box || radio)) return;
    // Menus draw their marks on their own colours.
    if (qstyleoption_cast<const QStyleOptionMenuItem*>(option)) return;

    const QPalette& palette = option->palette;
    QColor outline =
        outlineColor(palette.color(QPalette::Window), palette.color(QPalette::WindowText));
    if (!(option->state & State_Enabled)) outline.setAlphaF(0.5f);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, radio);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(outline, 1));
    if (box) {
        // Over Fusion's own outline, which runs along the indicator's inside edge.
        painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    } else {
        painter->drawEllipse(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter->restore();
}

} // namespace snapkin::platform
