#pragma once

#include "model/Annotation.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRegion>
#include <QSize>

#include <cstdint>
#include <functional>

class QPainter;

namespace snapkin {

// A canvas view's picture of what does not move: the base image at the view's scale with the
// annotations it is given, kept in the view's device pixels so a repaint copies it instead of
// drawing everything again.
//
// The picture covers only an area of the view: the part the user can see, with a margin for
// scrolling, since a zoomed-in 4K canvas is many times the screen. A change of the annotations
// redraws only the area it touches (CanvasDamage); scrolling moves what stays in view and draws
// only what comes into it; a new zoom, base picture or background redraws the area whole. The
// pixels are kept while they are large enough, so zooming neither allocates nor frees a
// screenful each step; the picture then fills their top left.
//
// When the zoom changes, the picture made at the old zoom can stand in, stretched, until the
// view has time to draw the sharp one (`standIn`).
class CanvasStillLayer {
public:
    // What the whole picture depends on besides the annotations and the area.
    struct Key {
        qint64 base = 0;          // the base image as drawn (its cache key)
        std::uint64_t serial = 0; // the base image's serial
        QSize viewSize;           // the view's size, in its own (device-independent) pixels
        qreal devicePixelRatio = 1;
        double zoom = 1;
        QRgb background = 0;
        friend bool operator==(const Key&, const Key&) = default;
    };
    // Draws the view's background, base image and `annotations`, in the view's coordinates,
    // within the painter's clip.
    using Painter = std::function<void(QPainter& painter, const QList<Annotation>& annotations)>;

    // A picture made for an earlier zoom: `area` of the view at `zoom`.
    struct StandIn {
        QImage image;
        QRect area;
        double zoom = 0;
        bool isNull() const { return image.isNull(); }
    };

    // The picture of `annotations` under `key`, covering at least `visible` (in the view's
    // coordinates; its area is `area()`); null when it would be too large to keep (the caller
    // then draws directly).
    const QImage& picture(const Key& key, const QRect& visible,
                          const QList<Annotation>& annotations, const Painter& paint);
    // Where the picture lies in the view.
    QRect area() const { return m_area; }
    // Copies the picture onto `painter` (in the view's coordinates) wherever `region` lies in it.
    void draw(QPainter& painter, const QRegion& region) const;

    // The picture as last made, whatever its zoom, when it shows `annotations` over the image
    // numbered `serial`; null otherwise.
    StandIn standIn(const QList<Annotation>& annotations, std::uint64_t serial) const;
    // Draws `standIn`, made at its own zoom, stretched to `zoom` (nearest pixel: smooth
    // resampling of a screenful takes longer than a frame) wherever `region` lies in it, and
    // returns the part of `region` it does not cover.
    static QRegion drawStretched(QPainter& painter, const StandIn& standIn, double zoom,
                                 const QRegion& region);

    // Draws `area` (in the view's coordinates) afresh at the next call of `picture`: what is
    // drawn there changed without the annotations changing (a long stroke's picture arrived).
    void redraw(const QRect& area) { m_stale += area; }

    // Frees the pixels (the picture is made afresh at the next call).
    void clear();

    static constexpr qint64 maxPixels = 40'000'000;
    // How far the picture reaches past the visible part on each side, in view pixels, so a
    // short scroll finds it drawn.
    static constexpr int scrollMargin = 0;

private:
    // Whether the pixels can take a picture of `size` in place.
    bool reusable(QSize size, qreal dpr) const;
    // Moves what `area` shares with the current area to where `area` puts it, in place; false
    // when the pixels cannot be reused so.
    bool scrollTo(const QRect& area);

    Key m_key;
    QRect m_area;
    QList<Annotation> m_annotations;
    QImage m_image;
    QRegion m_stale;
};

} // namespace snapkin
