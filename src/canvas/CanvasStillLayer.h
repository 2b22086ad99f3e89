#pragma once

#include "model/Annotation.h"

#include <QImage>
#include <QList>
#include <QSize>

#include <cstdint>
#include <functional>

class QPainter;

namespace snapkin {

// A canvas view's picture of what does not move: the base image at the view's scale with the
// annotations it is given, kept in the view's device pixels so a repaint copies it instead of
// drawing everything again. A change of the annotations redraws only the area it touches
// (CanvasDamage); a new zoom, base picture or size redraws it whole.
class CanvasStillLayer {
public:
    // What the whole picture depends on besides the annotations.
    struct Key {
        qint64 base = 0; // the base image as drawn (its cache key)
        QSize deviceSize;
        qreal devicePixelRatio = 1;
        double zoom = 1;
        QRgb background = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    // Draws the view's background, base image and `annotations`, in the view's coordinates,
    // within the painter's clip.
    using Painter = std::function<void(QPainter& painter, const QList<Annotation>& annotations)>;

    // The picture of `annotations` under `key`; null when it would be too large to keep (the
    // caller then draws directly).
    const QImage& picture(const Key& key, const QList<Annotation>& annotations,
                          const Painter& paint);
    // The picture as last made, whatever its key, when it shows `annotations`; null otherwise.
    // While zooming it stands in, stretched, until the zoom pauses.
    QImage lastPicture(const QList<Annotation>& annotations) const;
    void clear();

    static constexpr qint64 maxPixels = 40'000'000;

private:
    Key m_key;
    QList<Annotation> m_annotations;
    QImage m_image;
};

} // namespace snapkin
