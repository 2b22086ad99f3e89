#include "editor/EditorZoom.h"

#include "platform/Observable.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

void EditorZoom::setScale(double scale)
{
    if (!std::isfinite(scale)) return;
    const double bounded = std::clamp(scale, minScale, maxScale);
    if (bounded == m_scale) return;
    platform::publish(this, m_scale, bounded, &EditorZoom::scaleChanged);
}

} // namespace snapkin
