#include "canvas/AnnotationRenderer.h"

#include "canvas/RenderPictures.h"
#include "model/Color.h"
#include "platform/ImageFilters.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

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

void drawLensShadow(QPainter& painter, const QRectF& box, bool round, RenderCaches* caches)
{
    // Black at 0.35, blurred by about 6 points, 2 points down: drawn once into a picture per
    // lens size and device scale, then reused on every redraw.
    constexpr double kPad = 10;
    constexpr double kSigma = 3;
    const double scale = deviceScale(painter);
    const int w = int(std::ceil((box.width() + 2 * kPad) * scale));
    const int h = int(std::ceil((box.height() + 2 * kPad) * scale));
    if (qint64(w) * h > 16'000'000) return; // a lens larger than any screen goes without
    const QImage shadow = cachedPicture(caches, {QString(), w, h, round ? 1 : 2}, [&] {
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

} // namespace

QList<qsizetype> AnnotationRenderer::magnifierContentIndices(qsizetype index) const
{
    QList<qsizetype> below;
    QList<qsizetype> obscuresAbove;
    for (qsizetype i = 0; i < m_annotations.size(); ++i) {
        const Annotation& a = m_annotations[i];
        if (i < index) {
            if (m_editingID && a.id == *m_editingID) continue;
            if (a.kind == AnnotationKind::spotlight || a.kind == AnnotationKind::magnifier)
                continue;
            below.append(i);
        } else if (i > index && a.kind == AnnotationKind::pixelate) {
            // A lens never shows unobscured what an obscure region covers.
            obscuresAbove.append(i);
        }
    }
    return below + obscuresAbove;
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
                                       const QList<qsizetype>& contents) const
{
    const QRectF box = magnifier.box();
    if (!(box.width() >= 1 && box.height() >= 1)) return;
    const QPainterPath outline = magnifierPath(magnifier);
    const double zoom = magnifierZoom(magnifier);
    const QPointF c = box.center();

    drawLensShadow(painter, box, magnifier.magnifierRound, m_caches);
    painter.fillPath(outline, Qt::white);

    // A redraw at the larger scale, not a copy of pixels: strokes and text stay sharp.
    painter.save();
    painter.setClipPath(outline, Qt::IntersectClip);
    painter.translate(c);
    painter.scale(zoom, zoom);
    painter.translate(-c);
    const QRectF shown = lensSourceRect(magnifier);
    if (!m_source.isNull()) {
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

void AnnotationRenderer::drawLens(QPainter& painter, qsizetype index,
                                  const QRectF& visible) const
{
    const Annotation& a = m_annotations[index];
    const QRectF bounds = drawnBounds(a);
    if (!visible.isNull() && !bounds.intersects(visible)) return;
    // Only what the lens can show decides whether its picture is still good.
    QList<qsizetype> shown;
    QList<Annotation> context;
    const QRectF area = lensSourceRect(a);
    for (qsizetype k : magnifierContentIndices(index))
        if (drawnBounds(m_annotations[k]).intersects(area)) {
            shown.append(k);
            context.append(m_annotations[k]);
        }
    const RenderCaches::RasterSource source{a, context, m_source.serial(), m_imageSize};
    if (!drawThroughRasterCache(painter, source, bounds,
                                [&](QPainter& p) { drawMagnifier(p, a, shown); }))
        drawMagnifier(painter, a, shown);
}

} // namespace snapkin
