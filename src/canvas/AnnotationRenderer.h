#pragma once

#include "canvas/RenderCaches.h"
#include "model/Annotation.h"
#include "platform/BaseImage.h"

#include <QCache>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QSizeF>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace snapkin {

// The one renderer of annotations, for the editor's canvas and for export alike, so what the
// editor shows is what an export writes.
//
// Coordinates are image points, origin at the image's top-left corner, y down; the painter
// handed to paint() must already map image points to its device (for example
// `painter.scale(pixelScale, pixelScale)` for an export at the image's pixel scale). Draw the
// base image first: highlights multiply with what lies beneath them.
//
//     AnnotationRenderer(store.annotations(), editingId, image.pointSize(), image).paint(painter);
//
// What it keeps between paints lives in the RenderCaches it is given (a view's own); without
// one it keeps nothing, so it may paint on any thread at once with any other.
//
// Layering: all spotlights make one dimming layer beneath everything else; then the annotations
// in list order, each magnifier as a lens showing the image and the annotations below it.
class AnnotationRenderer {
public:
    // `editingID` names the annotation whose text is edited in place; it is not drawn.
    // `imageSize` is the base image's size in points (the dimming layer covers exactly this);
    // `source` is what obscure regions and magnifiers sample (a null image is allowed).
    // `caches`, when given, must outlive this object and be used by one thread only.
    AnnotationRenderer(QList<Annotation> annotations, std::optional<QUuid> editingID,
                       QSizeF imageSize, platform::BaseImage source,
                       RenderCaches* caches = nullptr);

    void paint(QPainter& painter) const;

    // ---- Spotlight and magnifier ----

    // The dimming layer: the image rectangle with one hole per spotlight, for an even-odd fill.
    // Empty when there is no spotlight or the image size is zero.
    QPainterPath spotlightPath() const;
    // What the magnifier at `index` redraws inside its lens, in drawing order: the annotations
    // before it (not the one being edited, no spotlight, no magnifier), then the obscure regions
    // after it, of those only what reaches the part of the image it shows.
    //
    // Bounded: all the lenses of a paint look at most lensLookBudget annotations beneath them
    // and redraw at most lensDrawBudget, shared out alike, each taking the topmost ones; an
    // obscure region that reaches a lens is always redrawn. A lens that would have more obscure
    // regions to check than its share shows nothing at all (no image either), never what one
    // hides. A few lenses over a few thousand annotations redraw all they show.
    QList<Annotation> magnifierContents(qsizetype index) const;
    // The same as indices into the annotation list, without copying annotations.
    QList<qsizetype> magnifierContentIndices(qsizetype index) const;
    static constexpr qsizetype lensLookBudget = 20'000'000;
    static constexpr qsizetype lensDrawBudget = 200'000;
    static QPainterPath magnifierPath(const Annotation& magnifier);
    static double magnifierZoom(const Annotation& magnifier);
    static double magnifierBorderWidth(const Annotation& magnifier);
    // The part of the image a lens shows enlarged (with a point of margin).
    static QRectF lensSourceRect(const Annotation& magnifier);

    // ---- Per-kind helpers ----

    // The decoded image of a placed image, kept per annotation id in `caches` when given;
    // nothing when the bytes do not decode.
    static std::optional<QImage> overlayImage(const Annotation& annotation,
                                              RenderCaches* caches = nullptr);

    // With caches, curved vector annotations (arrows, ellipses, pens, stamps) are kept as
    // pictures at the device's scale and redrawn from them while they stay unchanged. This
    // turns that off while keeping the other caches.
    void setRasterCacheEnabled(bool enabled) { m_rasterCache = enabled; }

    // Once `*cancelled` is set, paint() stops early (between annotations, and between the
    // pieces of a long pen stroke), leaving the picture unfinished: for a drawing that may be
    // given up, such as a preview when the application must end. Null: paint() always finishes.
    void setCancellation(const std::atomic<bool>* cancelled) { m_cancelled = cancelled; }

    // The font size of a sticker's emoji: the box's smaller side, at least 8.
    static double stickerFontSize(const Annotation& sticker);
    // What a sticker shows: its text, or a slightly smiling face when empty.
    static QString stickerText(const Annotation& sticker);

    // A generous rectangle holding everything drawn for `annotation` (heads, caps, tails,
    // labels, text estimated without laying it out), used to skip what cannot be seen.
    static QRectF drawnBounds(const Annotation& annotation);

    // `size` in image points, whatever the painter's device resolution.
    static void setFontSize(QFont& font, double size, const QPainter& painter);

    // Font sizes from documents are drawn at most this large.
    static constexpr double maxFontSize = 2000;

private:
    void drawAnnotation(QPainter& painter, const Annotation& annotation) const;
    // drawAnnotation, unless the annotation lies wholly outside `visible`.
    void drawIfVisible(QPainter& painter, const Annotation& annotation,
                       const QRectF& visible) const;
    void drawSpotlights(QPainter& painter) const;
    // What the lenses of one paint share, gathered once: where each annotation draws, the
    // obscure regions, and each lens's share of the budgets.
    struct Lenses {
        std::vector<QRectF> bounds;
        std::vector<qsizetype> obscures;
        qsizetype lookLimit = 0;
        qsizetype drawLimit = 0;
        // Lens shadows for this paint only, when there are no caches.
        std::unique_ptr<QCache<RenderCaches::PictureKey, QImage>> shadows;
    };
    // None when there is no magnifier.
    std::optional<Lenses> lenses() const;
    // What the lens at `index` redraws (magnifierContentIndices); `blind` when it may show
    // nothing.
    QList<qsizetype> lensContents(qsizetype index, const Lenses& lenses, bool& blind) const;
    // The magnifier at `index`, with what it shows, unless it lies wholly outside `visible`.
    void drawLens(QPainter& painter, qsizetype index, const QRectF& visible,
                  const Lenses& lenses) const;
    // A blind lens shows neither the image nor annotations. `pictures` keeps its shadow.
    void drawMagnifier(QPainter& painter, const Annotation& magnifier,
                       const QList<qsizetype>& contents, bool blind,
                       QCache<RenderCaches::PictureKey, QImage>* pictures) const;
    void drawObscure(QPainter& painter, const Annotation& annotation) const;
    // Draws a vector annotation from (or into) the raster cache; false when it cannot.
    bool drawFromRasterCache(QPainter& painter, const Annotation& annotation,
                             const QRectF& bounds) const;
    bool drawThroughRasterCache(QPainter& painter, const RenderCaches::RasterSource& source,
                                const QRectF& bounds,
                                const std::function<void(QPainter&)>& draw) const;

    QList<Annotation> m_annotations;
    std::optional<QUuid> m_editingID;
    QSizeF m_imageSize;
    platform::BaseImage m_source;
    RenderCaches* m_caches = nullptr;
    bool m_rasterCache = true;
    const std::atomic<bool>* m_cancelled = nullptr;
};

} // namespace snapkin
