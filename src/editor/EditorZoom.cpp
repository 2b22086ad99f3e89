#include "editor/EditorZoom.h"

#include "model/AnnotationStore.h"
#include "platform/Observable.h"

#include <algorithm>
#include <cmath>

namespace snapkin {

EditorZoom::EditorZoom(double scale, QObject* parent) : QObject(parent)
{
    if (std::isfinite(scale)) m_scale = std::clamp(scale, minFitScale, maxScale);
}

void EditorZoom::setScale(double scale)
{
    if (!std::isfinite(scale)) return;
    const double bounded = std::clamp(scale, minFitScale, maxScale);
    if (bounded == m_scale) return;
    platform::publish(this, m_scale, bounded, &EditorZoom::scaleChanged);
}

std::optional<double> EditorZoom::fitScale(QSizeF imageSize, QSizeF viewportSize)
{
    if (!(imageSize.width() > 0 && imageSize.height() > 0 && viewportSize.width() > 0 &&
          viewportSize.height() > 0)) {
        return std::nullopt;
    }
    const double fit =
        std::min(std::max(viewportSize.width() - fitMargin, 1.0) / imageSize.width(),
                 std::max(viewportSize.height() - fitMargin, 1.0) / imageSize.height());
    return std::max(std::min(fit, maxScale), minFitScale);
}

void EditorZoom::fit(QSizeF imageSize)
{
    if (const auto scale = fitScale(imageSize, m_viewportSize)) setScale(*scale);
}

void EditorZoom::zoomToFit(const AnnotationStore& store)
{
    fit(store.isCropping() ? store.image().pointSize() : store.frameLayout().canvasSize);
}

double EditorZoom::stepClamped(double scale)
{
    return std::min(std::max(scale, minStepScale), maxScale);
}

void EditorZoom::zoomBy(double factor)
{
    if (!std::isfinite(factor) || factor <= 0) return;
    setScale(stepClamped(m_scale * factor));
}

bool EditorZoom::matchesPreset(double preset, double scale)
{
    return std::abs(preset - scale) < 0.001;
}

} // namespace snapkin
