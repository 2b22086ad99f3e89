#include "canvas/AnnotationsCanvas.h"

#include "canvas/ArrowPaths.h"
#include "canvas/ImageEffects.h"
#include "canvas/MarkPath.h"
#include "canvas/StampPaths.h"
#include "model/Color.h"
#include "platform/ImageReader.h"

#include <QCache>
#include <QGuiApplication>
#include <QPaintDevice>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

constexpr auto kEmojiFamily = "Noto Color Emoji";

// Placed images are decoded once per id and kept up to this many kilobytes in all.
constexpr int kOverlayCacheKilobytes = 512 * 1024;
// A placed image is decoded at most this large (it is drawn into a box on a screenshot).
constexpr qint64 kOverlayMaxPixels = 64'000'000;
// Rendered exports larger than this are refused rather than allocated.
constexpr qint64 kRenderMaxPixels = 400'000'000;

double clamp01(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }

double boundedFontSize(double size)
{
    if (!std::isfinite(size)) return 1;
    return std::clamp(size, 1.0, AnnotationsCanvas::maxFontSize);
}

struct OverlayKey {
    QUuid id;
    qsizetype bytes;
    friend bool operator==(const OverlayKey&, const OverlayKey&) = default;
};

size_t qHash(const OverlayKey& k, size_t seed = 0) { return qHashMulti(seed, k.id, k.bytes); }

QCache<OverlayKey, QImage>& overlayCache()
{
    static QCache<OverlayKey, QImage> cache(kOverlayCacheKilobytes);
    return cache;
}

// Text centred on a point (stamp glyphs and labels).
void drawCentredText(QPainter& painter, const QString& text, QFont font, double size,
                     QPointF centre, const QColor& color)
{
    AnnotationsCanvas::setFontSize(font, size, painter);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRectF(centre, QSizeF(0, 0)), Qt::AlignCenter | Qt::TextDontClip, text);
}

void drawStamp(QPainter& painter, const Annotation& a, const QColor& color)
{
    const StampPaths::Layout layout = StampPaths::layout(a);
    if (!layout.tail.isEmpty()) painter.fillPath(layout.tail, color);
    if (layout.disc) {
        QPainterPath disc;
        disc.addEllipse(*layout.disc);
        painter.fillPath(disc, color);
    }
    const QColor glyphColor = layout.glyphOnDisc ? QColor(Qt::white) : color;
    MarkPath::drawAll(painter, layout.glyph, glyphColor);
    if (layout.text) {
        QFont font = QGuiApplication::font();
        font.setWeight(QFont::Bold);
        drawCentredText(painter, layout.text->text, font, layout.text->fontSize,
                        layout.text->center, glyphColor);
    }
    if (layout.label) {
        QPainterPath label;
        label.addRoundedRect(*layout.label, layout.labelCornerRadius, layout.labelCornerRadius);
        painter.fillPath(label, color);
        QFont font = QGuiApplication::font();
        font.setWeight(QFont::DemiBold);
        drawCentredText(painter, layout.labelText->text, font, layout.labelText->fontSize,
                        layout.labelText->center, Qt::white);
    }
}

void drawText(QPainter& painter, const Annotation& a, const QColor& color)
{
    // Shown verbatim; an empty text is a space, so nothing visible is drawn.
    const QString content = a.text.isEmpty() ? QStringLiteral(" ") : a.text;
    QFont font = a.fontName.isEmpty() ? QGuiApplication::font() : QFont(a.fontName);
    AnnotationsCanvas::setFontSize(font, boundedFontSize(a.fontSize), painter);
    font.setWeight(a.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(a.italic);
    painter.setFont(font);
    painter.setPen(color);
    // Top-left corner at p1; lines break only at the text's own line breaks.
    painter.drawText(QRectF(a.p1, QSizeF(0, 0)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextExpandTabs, content);
}

void drawSticker(QPainter& painter, const Annotation& a)
{
    const double size = AnnotationsCanvas::stickerFontSize(a);
    // Colour emoji are bitmaps; above this size they are drawn at it and scaled up, so a huge
    // box never asks the font engine for a huge glyph.
    constexpr double kMaxEmojiSize = 256;
    const double drawn = std::min(size, kMaxEmojiSize);
    QFont font(kEmojiFamily);
    painter.save();
    painter.translate(a.box().center());
    painter.scale(size / drawn, size / drawn);
    AnnotationsCanvas::setFontSize(font, drawn, painter);
    painter.setFont(font);
    painter.setPen(QGuiApplication::palette().color(QPalette::WindowText));
    painter.drawText(QRectF(0, 0, 0, 0), Qt::AlignCenter | Qt::TextDontClip,
                     AnnotationsCanvas::stickerText(a));
    painter.restore();
}

void drawLensShadow(QPainter& painter, const QPainterPath& outline)
{
    // A soft drop shadow (black at 0.35, about 6 points of blur, 2 points down) made of a few
    // widening translucent strokes under a fill, so no offscreen blur is needed per frame.
    const QPainterPath shifted = outline.translated(0, 2);
    for (double width : {12.0, 8.0, 4.0}) {
        QPen pen(QColor::fromRgbF(0, 0, 0, 0.35 / 4), width);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(shifted, pen);
    }
    painter.fillPath(shifted, QColor::fromRgbF(0, 0, 0, 0.35));
}

} // namespace

AnnotationsCanvas::AnnotationsCanvas(QList<Annotation> annotations, std::optional<QUuid> editingID,
                                     QSizeF imageSize, platform::BaseImage source)
    : m_annotations(std::move(annotations))
    , m_editingID(editingID)
    , m_imageSize(imageSize)
    , m_source(std::move(source))
{
}

void AnnotationsCanvas::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform
                           | QPainter::TextAntialiasing);
    drawSpotlights(painter);
    for (qsizetype i = 0; i < m_annotations.size(); ++i) {
        const Annotation& a = m_annotations[i];
        if (m_editingID && a.id == *m_editingID) continue;
        if (a.kind == AnnotationKind::magnifier)
            drawMagnifier(painter, a, magnifierContents(i));
        else
            drawAnnotation(painter, a);
    }
    painter.restore();
}

QImage AnnotationsCanvas::render(const platform::BaseImage& image,
                                 const QList<Annotation>& annotations, double pixelScale)
{
    if (image.isNull() || !(pixelScale > 0) || !std::isfinite(pixelScale)) return {};
    const QSizeF points = image.pointSize();
    const double w = std::ceil(points.width() * pixelScale - 1e-6);
    const double h = std::ceil(points.height() * pixelScale - 1e-6);
    if (!(w >= 1 && h >= 1) || w * h > double(kRenderMaxPixels)) return {};
    QImage out(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return {};
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(pixelScale, pixelScale);
    painter.drawImage(QRectF(QPointF(0, 0), points), image.image());
    AnnotationsCanvas(annotations, std::nullopt, points, image).paint(painter);
    painter.end();
    return out;
}

void AnnotationsCanvas::setFontSize(QFont& font, double size, const QPainter& painter)
{
    // Fonts are sized in points of the device; convert so `size` is in painter units.
    const QPaintDevice* device = painter.device();
    const int dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    font.setPointSizeF(std::max(size, 0.1) * 72.0 / dpi);
}

void AnnotationsCanvas::drawAnnotation(QPainter& painter, const Annotation& a) const
{
    const QColor color = Color::fromHex(a.colorHex);
    const QRectF box = a.box();
    const double width = boundedLineWidth(a.lineWidth);
    auto strokeShape = [&](const QPainterPath& path, Qt::PenCapStyle cap, Qt::PenJoinStyle join) {
        MarkPath::stroked(path, width, cap, join).draw(painter, color);
    };

    switch (a.kind) {
    case AnnotationKind::arrow:
        MarkPath::drawAll(painter, ArrowPaths::arrow(a), color);
        break;
    case AnnotationKind::text:
        drawText(painter, a, color);
        break;
    case AnnotationKind::rectangle: {
        QPainterPath path;
        path.addRoundedRect(box, 6, 6);
        if (a.filled)
            painter.fillPath(path, color);
        else
            strokeShape(path, Qt::FlatCap, Qt::MiterJoin);
        break;
    }
    case AnnotationKind::ellipse: {
        QPainterPath path;
        path.addEllipse(box);
        if (a.filled)
            painter.fillPath(path, color);
        else
            strokeShape(path, Qt::FlatCap, Qt::MiterJoin);
        break;
    }
    case AnnotationKind::line: {
        // Always straight, whatever `curved` says.
        QPainterPath path(a.p1);
        path.lineTo(a.p2);
        strokeShape(path, Qt::RoundCap, Qt::MiterJoin);
        break;
    }
    case AnnotationKind::highlight: {
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        QColor fill = color;
        fill.setAlphaF(float(clamp01(a.highlightOpacity)));
        painter.fillRect(box, fill);
        painter.restore();
        break;
    }
    case AnnotationKind::pixelate:
        drawObscure(painter, a);
        break;
    case AnnotationKind::stamp:
        drawStamp(painter, a, color);
        break;
    case AnnotationKind::pen: {
        if (a.points.isEmpty()) break;
        QPainterPath path;
        path.addPolygon(QPolygonF(a.points));
        strokeShape(path, Qt::RoundCap, Qt::RoundJoin);
        break;
    }
    case AnnotationKind::sticker:
        drawSticker(painter, a);
        break;
    case AnnotationKind::imageOverlay:
        if (const std::optional<QImage> image = overlayImage(a))
            painter.drawImage(box, *image);
        else
            painter.fillRect(box, QColor::fromRgbF(0.5, 0.5, 0.5, 0.3));
        break;
    case AnnotationKind::spotlight: // drawn by the dimming layer
    case AnnotationKind::magnifier: // drawn as a lens by paint()
        break;
    }
}

void AnnotationsCanvas::drawObscure(QPainter& painter, const Annotation& a) const
{
    const QRectF box = a.box();
    switch (a.obscure) {
    case ObscureStyle::solid:
        painter.fillRect(box, Qt::black);
        return;
    case ObscureStyle::stripes:
        drawStripes(painter, box);
        return;
    case ObscureStyle::pixelate:
    case ObscureStyle::blur:
        break;
    }
    const std::optional<ImageEffects::Region> region =
        ImageEffects::obscuredRegion(m_source, box, a.obscure, a.obscureStrength);
    if (!region) {
        // Never show unobscured what the region covers.
        painter.fillRect(box, Qt::black);
        return;
    }
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.drawImage(region->rect, region->image);
    painter.restore();
}

void AnnotationsCanvas::drawStripes(QPainter& painter, const QRectF& rect)
{
    if (rect.isEmpty()) return;
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.fillRect(rect, QColor::fromRgbF(0.18f, 0.18f, 0.18f));
    // Only the stripes that cross what can be seen are built: a huge rectangle from a document
    // costs no more than the visible part. A stripe starting at x runs to (x + h, minY); every
    // point on it has x + y = x + maxY.
    QRectF visible = rect;
    if (painter.device()) {
        const QRectF device(0, 0, painter.device()->width(), painter.device()->height());
        visible = visible.intersected(painter.transform().inverted().mapRect(device));
    }
    const double h = rect.height();
    const double first = rect.left() - h;
    double x = first;
    const double lowest = visible.left() + visible.top() - rect.bottom() - 6;
    if (lowest > x) x = first + std::floor((lowest - first) / 12.0) * 12.0;
    const double highest = std::min(rect.right(), visible.right() + visible.bottom() - rect.bottom() + 6);
    QPainterPath stripes;
    for (; x < highest; x += 12) {
        stripes.moveTo(x, rect.bottom());
        stripes.lineTo(x + h, rect.top());
    }
    QPen pen(QColor::fromRgbF(0.34f, 0.34f, 0.34f), 6, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.strokePath(stripes, pen);
    painter.restore();
}

double AnnotationsCanvas::stickerFontSize(const Annotation& sticker)
{
    const QRectF box = sticker.box();
    return std::clamp(std::min(box.width(), box.height()), 8.0, maxFontSize);
}

QString AnnotationsCanvas::stickerText(const Annotation& sticker)
{
    return sticker.text.isEmpty() ? QString::fromUcs4(U"\U0001F642") : sticker.text;
}

std::optional<QImage> AnnotationsCanvas::overlayImage(const Annotation& a)
{
    if (!a.imageData) return std::nullopt;
    const OverlayKey key{a.id, a.imageData->size()};
    QCache<OverlayKey, QImage>& cache = overlayCache();
    if (const QImage* cached = cache.object(key)) return *cached;
    auto decoded = platform::readImage(*a.imageData, platform::ImageReadLimits{kOverlayMaxPixels, 512});
    if (!decoded || decoded->isNull()) return std::nullopt; // not cached: tried again next time
    QImage image = decoded->format() == QImage::Format_ARGB32_Premultiplied
        ? *decoded
        : decoded->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qsizetype kilobytes = std::max<qsizetype>(1, image.sizeInBytes() / 1024);
    // An image larger than the whole budget is still returned, just not kept.
    cache.insert(key, new QImage(image), kilobytes);
    return image;
}

int AnnotationsCanvas::overlayCacheCount() { return int(overlayCache().count()); }

void AnnotationsCanvas::clearOverlayCache() { overlayCache().clear(); }

// ---- Spotlights ----

QPainterPath AnnotationsCanvas::spotlightPath() const
{
    QPainterPath path;
    if (m_imageSize.width() == 0 && m_imageSize.height() == 0) return path;
    bool any = false;
    for (const Annotation& a : m_annotations) {
        if (a.kind != AnnotationKind::spotlight) continue;
        if (!any) path.addRect(QRectF(QPointF(0, 0), m_imageSize));
        any = true;
        if (a.spotEllipse)
            path.addEllipse(a.box());
        else
            path.addRoundedRect(a.box(), 10, 10);
    }
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

double AnnotationsCanvas::spotlightDim() const
{
    double dim = 0;
    for (const Annotation& a : m_annotations)
        if (a.kind == AnnotationKind::spotlight) dim = std::max(dim, clamp01(a.spotDim));
    return dim;
}

void AnnotationsCanvas::drawSpotlights(QPainter& painter) const
{
    const QPainterPath path = spotlightPath();
    if (path.isEmpty()) return;
    // One fill for every spotlight: a point in exactly one hole is enclosed twice and stays clear.
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, float(spotlightDim())));
}

// ---- Magnifier ----

QList<Annotation> AnnotationsCanvas::magnifierContents(qsizetype index) const
{
    QList<Annotation> below;
    QList<Annotation> obscuresAbove;
    for (qsizetype i = 0; i < m_annotations.size(); ++i) {
        const Annotation& a = m_annotations[i];
        if (i < index) {
            if (m_editingID && a.id == *m_editingID) continue;
            if (a.kind == AnnotationKind::spotlight || a.kind == AnnotationKind::magnifier) continue;
            below.append(a);
        } else if (i > index && a.kind == AnnotationKind::pixelate) {
            // A lens never shows unobscured what an obscure region covers.
            obscuresAbove.append(a);
        }
    }
    return below + obscuresAbove;
}

QPainterPath AnnotationsCanvas::magnifierPath(const Annotation& magnifier)
{
    const QRectF box = magnifier.box();
    QPainterPath path;
    if (magnifier.magnifierRound) {
        path.addEllipse(box);
    } else {
        const double radius = std::min(box.width(), box.height()) * 0.18;
        path.addRoundedRect(box, radius, radius);
    }
    return path;
}

double AnnotationsCanvas::magnifierZoom(const Annotation& magnifier)
{
    if (std::isnan(magnifier.magnification)) return 1;
    return std::clamp(magnifier.magnification, 1.0, 8.0);
}

double AnnotationsCanvas::magnifierBorderWidth(const Annotation& magnifier)
{
    const QRectF box = magnifier.box();
    return std::clamp(std::min(box.width(), box.height()) * 0.03, 2.0, 6.0);
}

void AnnotationsCanvas::drawMagnifier(QPainter& painter, const Annotation& magnifier,
                                      const QList<Annotation>& contents) const
{
    const QRectF box = magnifier.box();
    if (!(box.width() >= 1 && box.height() >= 1)) return;
    const QPainterPath outline = magnifierPath(magnifier);
    const double zoom = magnifierZoom(magnifier);
    const QPointF c = box.center();

    drawLensShadow(painter, outline);
    painter.fillPath(outline, Qt::white);

    // A redraw at the larger scale, not a copy of pixels: strokes and text stay sharp.
    painter.save();
    painter.setClipPath(outline, Qt::IntersectClip);
    painter.translate(c);
    painter.scale(zoom, zoom);
    painter.translate(-c);
    if (!m_source.isNull()) {
        const QSizeF size = m_imageSize.width() == 0 && m_imageSize.height() == 0
            ? QSizeF(m_source.image().size())
            : m_imageSize;
        painter.drawImage(QRectF(QPointF(0, 0), size), m_source.image());
    }
    for (const Annotation& a : contents) drawAnnotation(painter, a);
    painter.restore();

    QPen border(Color::fromHex(magnifier.colorHex), magnifierBorderWidth(magnifier));
    border.setMiterLimit(10);
    painter.strokePath(outline, border);
}

} // namespace snapkin
