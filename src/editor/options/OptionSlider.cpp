#include "editor/options/OptionSlider.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

OptionSlider::OptionSlider(double minimum, double maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), m_minimum(minimum), m_maximum(maximum)
{
    setRange(0, steps);
    setSingleStep(steps / 50);
    setPageStep(steps / 10);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QSlider::sliderPressed, this, [this] {
        m_coalescer.reset();
        if (onDragBegin) onDragBegin();
    });
    connect(this, &QSlider::valueChanged, this, &OptionSlider::valueEdited);
}

void OptionSlider::showValue(double value)
{
    if (isSliderDown()) return;
    const double span = m_maximum - m_minimum;
    const double fraction = span > 0 ? (value - m_minimum) / span : 0;
    const int position =
        std::isfinite(fraction) ? int(std::lround(std::clamp(fraction, 0.0, 1.0) * steps)) : 0;
    m_showing = true;
    setValue(position);
    m_showing = false;
}

void OptionSlider::valueEdited(int)
{
    if (m_showing || !onEdit) return;
    onEdit(doubleValue(), !isSliderDown() && m_coalescer.opensStep());
}

} // namespace snapkin
