#include "canvas/AnnotationRenderer.h"

#include "canvas/RenderPictures.h"
#include "model/Color.h"
#include "platform/ImageFilters.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace snapkin {

namespace {

QPainterPath lensOutline(const QRectF& box, bool round)
{
    QPainterPath path;
    if (round) {
        path.addEllipse(box);
    } else {
        const double radius = std::min(box.width(), box.height()) * 0.18;
        path.addRoundedRect(box, radius, radius);
    }
    return path;
}

void drawLensShadow(QPainter& painter, const QRectF& box, bool round, PictureCache* pictures)
{
    // Black at 0.35, blurred by about 6 points, 2 points down: drawn once into a picture per
    // lens size and device scale, then reused on every redraw.
    constexpr double kPad = 10;
    constexpr double kSigma = 3;
    const double scale = deviceScale(painter);
    const int w = int(std::ceil((box.width() + 2 * kPad) * scale));
    const int h = int(std::ceil((box.height() + 2 * kPad) * scale));
    if (qint64(w) * h > 16'000'000) return; // a lens larger than any screen goes without
    const QImage shadow = cachedPicture(pictures, {QString(), w, h, round ? 1 : 2}, [&] {
        QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(scale, scale);
        p.fillPath(lensOutline(QRectF(kPad, kPad, box.width(), box.height()), round),
                   QColor::fromRgbF(0, 0, 0, 0.35f));
        p.end();
        return platform::ImageFilters::gaussianBlur(image, kSigma * scale);
    });
    painter.drawImage(QRectF(box.left() - kPad, box.top() - kPad + 2, w / scale, h / scale),
                      shadow);
}

constexpr int kPaintShadowKilobytes = 16 * 1024;

} // namespace

std::optional<AnnotationRenderer::Lenses> AnnotationRenderer::lenses() const
{
    const auto count =
        std::count_if(m_annotations.cbegin(), m_annotations.cend(),
                      [](const auto& a) { return a.kind == AnnotationKind::magnifier; });
    if (count == 0) return std::nullopt;
    Lenses lenses;
    lenses.bounds.reserve(size_t(m_annotations.size()));
    for (qsizetype i = 0; i < m_annotations.size(); ++i) {
        lenses.bounds.push_back(drawnBounds(m_annotations[i]));
        if (m_annotations[i].kind == AnnotationKind::pixelate) lenses.obscures.push_back(i);
    }
    // A flatten keeps no pictures, but its lenses of one size share one shadow.
    if (!m_caches) lenses.shadows = std::make_unique<PictureCache>(kPaintShadowKilobytes);
    lenses.lookLimit = std::max<qsizetype>(1, lensLookBudget / count);
    lenses.drawLimit = std::max<qsizetype>(1, lensDrawBudget / count);
    return lenses;
}

QList<qsizetype> AnnotationRenderer::lensContents(qsizetype index, const Lenses& lenses,
                                                  bool& blind) const
{
    // Every obscure region is checked, wherever it lies in the list: a lens never shows
    // unobscured what one covers, neither beneath it nor above it (its own drawing covers the
    // original place only, not the enlarged one).
    blind = qsizetype(lenses.obscures.size()) > lenses.lookLimit;
    if (blind) return {};
    const QRectF area = lensSourceRect(m_annotations[index]);
    QList<qsizetype> beneath;
    QList<qsizetype> above;
    for (const qsizetype k : lenses.obscures) {
        if (k == index || !lenses.bounds[size_t(k)].intersects(area)) continue;
        (k < index ? beneath : above).append(k);
    }
    // The rest from the top down, within the lens's share.
    QList<qsizetype> marks;
    qsizetype looked = 0;
    for (qsizetype k = index - 1;
         k >= 0 && looked < lenses.lookLimit && marks.size() < lenses.drawLimit; --k, ++looked) {
        const Annotation& a = m_annotations[k];
        if (m_editingID && a.id == *m_editingID) continue;
        if (a.kind == AnnotationKind::spotlight || a.kind == AnnotationKind::magnifier ||
            a.kind == AnnotationKind::pixelate)
            continue;
        if (lenses.bounds[size_t(k)].intersects(area)) marks.append(k);
    }
    std::reverse(marks.begin(), marks.end());
    QList<qsizetype> contents;
    contents.reserve(beneath.size() + marks.size() + above.size());
    std::merge(beneath.cbegin(), beneath.cend(), marks.cbegin(), marks.cend(),
               std::back_inserter(contents));
    return contents + above;
}

QList<qsizetype> AnnotationRenderer::magnifierContentIndices(qsizetype index) const
{
    const std::optional<Lenses> all = lenses();
    if (!all || index < 0 || index >= m_annotations.size()) return {};
    bool blind = false;
    return lensContents(index, *all, blind);
}

QList<Annotation> AnnotationRenderer::magnifierContents(qsizetype index) const
{
    QList<Annotation> out;
    for (qsizetype i : magnifierContentIndices(index))
        out.append(m_annotations[i]);
    return out;
}

QRectF AnnotationRenderer::lensSourceRect(const Annotation& magnifier)
{
    const QRectF box = magnifier.box();
    const double zoom = magnifierZoom(magnifier);
    const QPointF c = box.center();
    return QRectF(c.x() - box.width() / (2 * zoom), c.y() - box.height() / (2 * zoom),
                  box.width() / zoom, box.height() / zoom)
        .adjusted(-1, -1, 1, 1);
}

QPainterPath AnnotationRenderer::magnifierPath(const Annotation& magnifier)
{
    return lensOutline(magnifier.box(), magnifier.magnifierRound);
}

double AnnotationRenderer::magnifierZoom(const Annotation& magnifier)
{
    if (std::isnan(magnifier.magnification)) return 1;
    return std::clamp(magnifier.magnification, 1.0, 8.0);
}

double AnnotationRenderer::magnifierBorderWidth(const Annotation& magnifier)
{
    const QRectF box = magnifier.box();
    return std::clamp(std::min(box.width(), box.height()) * 0.03, 2.0, 6.0);
}

void AnnotationRenderer::drawMagnifier(QPainter& painter, const Annotation& magnifier,
                                       const QList<qsizetype>& contents, bool blind,
                                       PictureCache* pictures) const
{
    const QRectF box = magnifier.box();
    if (!(box.width() >= 1 && box.height() >= 1)) return;
    const QPainterPath outline = magnifierPath(magnifier);
    const double zoom = magnifierZoom(magnifier);
    const QPointF c = box.center();

    drawLensShadow(painter, box, magnifier.magnifierRound, pictures);
    painter.fillPath(outline, Qt::white);

    // A redraw at the larger scale, not a copy of pixels: strokes and text stay sharp.
    painter.save();
    painter.setClipPath(outline, Qt::IntersectClip);
    painter.translate(c);
    painter.scale(zoom, zoom);
    painter.translate(-c);
    const QRectF shown = lensSourceRect(magnifier);
    if (!m_source.isNull() && !blind) {
        const QSizeF size = m_imageSize.width() == 0 && m_imageSize.height() == 0
                                ? QSizeF(m_source.image().size())
                                : m_imageSize;
        // Only the part under the lens is drawn, not the whole image through the clip.
        const QRectF target = shown.intersected(QRectF(QPointF(0, 0), size));
        if (!target.isEmpty() && size.width() > 0 && size.height() > 0) {
            const double sx = m_source.image().width() / size.width();
            const double sy = m_source.image().height() / size.height();
            const QRectF pixels(target.x() * sx, target.y() * sy, target.width() * sx,
                                target.height() * sy);
            painter.drawImage(target, m_source.image(), pixels);
        }
    }
    for (qsizetype i : contents)
        drawIfVisible(painter, m_annotations[i], shown);
    painter.restore();

    QPen border(Color::fromHex(magnifier.colorHex), magnifierBorderWidth(magnifier));
    border.setMiterLimit(10);
    painter.strokePath(outline, border);
}

void AnnotationRenderer::drawLens(QPainter& painter, qsizetype index, const QRectF& visible,
                                  const Lenses& lenses) const
{
    const Annotation& a = m_annotations[index];
    const QRectF bounds = lenses.bounds[size_t(index)];
    if (!visible.isNull() && !bounds.intersects(visible)) return;
    bool blind = false;
    const QList<qsizetype> shown = lensContents(index, lenses, blind);
    PictureCache* pictures = m_caches ? &m_caches->pictures() : lenses.shadows.get();
    // Only what the lens shows decides whether its picture is still good.
    QList<Annotation> context;
    context.reserve(shown.size());
    for (const qsizetype k : shown)
        context.append(m_annotations[k]);
    const RenderCaches::RasterSource source{a, context, blind ? 0 : m_source.serial(), m_imageSize};
    if (!drawThroughRasterCache(painter, source, bounds,
                                [&](QPainter& p) { drawMagnifier(p, a, shown, blind, pictures); }))
        drawMagnifier(painter, a, shown, blind, pictures);
}

} // namespace snapkin
