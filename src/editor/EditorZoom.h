#pragma once

#include <QObject>
#include <QSizeF>

#include <array>

namespace snapkin {

class AnnotationStore;

// The zoom of one editor page, shared by everything in the page that shows or changes it
// (canvas area, status bar, toolbar, menu commands, the zoom wheel).
//
// `scale` is screen points per image point (1 = actual size). Two ranges apply: a step or a
// preset stays within 0.25 … 4, while fitting the image to the page (and a page's first zoom)
// may go down to 0.1 so that a huge capture can be seen whole. `viewportSize` is the size of
// the canvas viewport in points, written by the view that shows the canvas; fitting divides by
// it and does nothing while it is still empty.
class EditorZoom : public QObject {
    Q_OBJECT
public:
    static constexpr double stepFactor = 1.25;
    static constexpr double minStepScale = 0.25;
    static constexpr double minFitScale = 0.1;
    static constexpr double maxScale = 4.0;
    // Space kept around the image on each axis when fitting.
    static constexpr double fitMargin = 48;
    // The zoom menu's entries, in menu order.
    static constexpr std::array<double, 7> presets = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0};

    explicit EditorZoom(double scale = 1.0, QObject* parent = nullptr);

    double scale() const { return m_scale; }
    // Sets the scale as given (kept within 0.1 … 4; a value that is not a finite number is
    // ignored). Announces only real changes.
    void setScale(double scale);

    QSizeF viewportSize() const { return m_viewportSize; }
    void setViewportSize(QSizeF size) { m_viewportSize = size; }

    // The scale at which `imageSize` fits the viewport less the margin, within 0.1 … 4; none
    // while the image or the viewport has no area.
    static std::optional<double> fitScale(QSizeF imageSize, QSizeF viewportSize);
    // Fits `imageSize` (the canvas size, frame included) into the viewport; nothing while the
    // viewport has no size yet.
    void fit(QSizeF imageSize);
    // Fits what the page shows: the bare image while cropping, otherwise the canvas with any
    // frame around it.
    void zoomToFit(const AnnotationStore& store);

    // A step or preset value brought into 0.25 … 4: the lower bound first, then the upper, so
    // a scale below 0.25 (after a fit) steps to 0.25 in both directions.
    static double stepClamped(double scale);
    void zoomIn() { setScale(stepClamped(m_scale * stepFactor)); }
    void zoomOut() { setScale(stepClamped(m_scale / stepFactor)); }
    // Multiplies the scale by a pinch or wheel factor, within the step range.
    void zoomBy(double factor);
    void choosePreset(double preset) { setScale(stepClamped(preset)); }
    void actualSize() { setScale(1.0); }

    // True when `preset` counts as the current zoom (the menu's check mark).
    static bool matchesPreset(double preset, double scale);

signals:
    void willChange();
    void scaleChanged(const double& scale);

private:
    double m_scale = 1.0;
    QSizeF m_viewportSize{0, 0};
};

} // namespace snapkin
