#pragma once

#include <QObject>

namespace snapkin {

// The editor window's zoom: the factor by which the canvas is shown (1 = actual size).
class EditorZoom : public QObject {
    Q_OBJECT
public:
    static constexpr double minScale = 0.25;
    static constexpr double maxScale = 4.0;

    using QObject::QObject;

    double scale() const { return m_scale; }
    // Sets the scale, kept within 0.25 … 4.
    void setScale(double scale);
    // Multiplies the scale by `factor` (the zoom wheel's action).
    void zoom(double factor) { setScale(factor * m_scale); }

signals:
    void willChange();
    void scaleChanged(const double& scale);

private:
    double m_scale = 1.0;
};

} // namespace snapkin
