#include "canvas/AnnotationRenderer.h"

#include "canvas/ArrowPaths.h"
#include "canvas/ImageEffects.h"
#include "canvas/MarkPath.h"
#include "canvas/PenStroke.h"
#include "canvas/RenderPictures.h"
#include "canvas/StampPaths.h"
#include "canvas/StrokePictures.h"
#include "model/Color.h"
#include "platform/ImageReader.h"

#include <QCache>
#include <QGuiApplication>
#include <QPaintDevice>

#include <algorithm>
#include <cmath>
#include <functional>

namespace snapkin {

namespace {

constexpr auto kEmojiFamily = "Noto Color Emoji";

// A placed image is decoded at most this large (it is drawn into a box on a screenshot).
constexpr qint64 kOverlayMaxPixels = 64'000'000;

double clamp01(double v)
{
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

double boundedFontSize(double size)
{
    if (!std::isfinite(size)) return 1;
    return std::clamp(size, 1.0, AnnotationRenderer::maxFontSize);
}

// Text in the application font centred on a point (stamp glyphs and labels).
void drawCentredText(QPainter& painter, const StampPaths::TextGlyph& glyph, QFont::Weight weight,
                     const QColor& color)
{
    QFont font = QGuiApplication::font();
    font.setWeight(weight);
    AnnotationRenderer::setFontSize(font, glyph.fontSize, painter);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QRectF(glyph.center, QSizeF(0, 0)), Qt::AlignCenter | Qt::TextDontClip,
                     glyph.text);
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
    if (layout.text) drawCentredText(painter, *layout.text, QFont::Bold, glyphColor);
    if (layout.label) {
        QPainterPath label;
        label.addRoundedRect(*layout.label, layout.labelCornerRadius, layout.labelCornerRadius);
        painter.fillPath(label, color);
        drawCentredText(painter, *layout.labelText, QFont::DemiBold, Qt::white);
    }
}

void drawText(QPainter& painter, const Annotation& a, const QColor& color)
{
    // Shown verbatim; an empty text is a space, so nothing visible is drawn.
    const QString content = a.text.isEmpty() ? QStringLiteral(" ") : a.text;
    QFont font = a.fontName.isEmpty() ? QGuiApplication::font() : QFont(a.fontName);
    AnnotationRenderer::setFontSize(font, boundedFontSize(a.fontSize), painter);
    font.setWeight(a.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(a.italic);
    painter.setFont(font);
    painter.setPen(color);
    // Top-left corner at p1; lines break only at the text's own line breaks.
    painter.drawText(QRectF(a.p1, QSizeF(0, 0)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextExpandTabs, content);
}

void drawSticker(QPainter& painter, const Annotation& a, RenderCaches* caches)
{
    const double size = AnnotationRenderer::stickerFontSize(a);
    const QString text = AnnotationRenderer::stickerText(a);
    // Colour emoji are bitmaps: each is drawn once into a picture at the device's size (at most
    // 256 pixels, beyond which the font has no finer detail) and that picture is reused.
    constexpr int kMaxEmojiPixels = 256;
    const int pixels =
        std::clamp(int(std::lround(size * deviceScale(painter))), 1, kMaxEmojiPixels);
    // The picture is larger than the font size: glyphs overhang their nominal size a little.
    const int side = pixels * 3 / 2 + 2;
    PictureCache* pictures = caches ? &caches->pictures() : nullptr;
    const QImage picture = cachedPicture(pictures, {text, pixels, pixels, 0}, [&] {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                         QPainter::SmoothPixmapTransform);
        QFont font(kEmojiFamily);
        AnnotationRenderer::setFontSize(font, pixels, p);
        p.setFont(font);
        p.setPen(QGuiApplication::palette().color(QPalette::WindowText));
        p.drawText(QRectF(0, 0, side, side), Qt::AlignCenter | Qt::TextDontClip, text);
        return image;
    });
    const double drawn = size * side / double(pixels);
    painter.drawImage(
        QRectF(a.box().center() - QPointF(drawn / 2, drawn / 2), QSizeF(drawn, drawn)), picture);
}

// 45-degree grey stripes filling `rect`, 12 points apart and 6 wide.
void drawStripes(QPainter& painter, const QRectF& rect)
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
    const double highest =
        std::min(rect.right(), visible.right() + visible.bottom() - rect.bottom() + 6);
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

// Pictures larger than this are not kept (a long thin outline would waste a lot of memory).
constexpr double kRasterCacheMaxPixels = 1'500'000;

} // namespace

AnnotationRenderer::AnnotationRenderer(QList<Annotation> annotations,
                                       std::optional<QUuid> editingID, QSizeF imageSize,
                                       platform::BaseImage source, RenderCaches* caches)
    : m_annotations(std::move(annotations)), m_editingID(editingID), m_imageSize(imageSize),
      m_source(std::move(source)), m_caches(caches)
{
}

void AnnotationRenderer::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform |
                           QPainter::TextAntialiasing);
    drawSpotlights(painter);
    const QRectF visible = PenStroke::paintable(painter);
    const std::optional<Lenses> lenses = this->lenses();
    for (qsizetype i = 0; i < m_annotations.size(); ++i) {
        if (m_cancelled && m_cancelled->load(std::memory_order_relaxed)) break;
        const Annotation& a = m_annotations[i];
        if (m_editingID && a.id == *m_editingID) continue;
        if (a.kind == AnnotationKind::magnifier) {
            drawLens(painter, i, visible, *lenses);
        } else {
            drawIfVisible(painter, a, visible);
        }
    }
    painter.restore();
}

void AnnotationRenderer::setFontSize(QFont& font, double size, const QPainter& painter)
{
    // Fonts are sized in points of the device; convert so `size` is in painter units.
    const QPaintDevice* device = painter.device();
    const int dpi = device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96;
    font.setPointSizeF(std::max(size, 0.1) * 72.0 / dpi);
}

QRectF AnnotationRenderer::drawnBounds(const Annotation& a)
{
    const double w = boundedLineWidth(a.lineWidth);
    // Arrow heads reach 3.6 line widths across and round caps half a width; 20 covers the
    // minimum head sizes, the lens shadow and antialiasing.
    const double margin = 4 * w + 20;
    switch (a.kind) {
    case AnnotationKind::text: {
        // Generous: no glyph is wider than 1.5 em or a line taller than 2 em.
        const double size = boundedFontSize(a.fontSize);
        const QStringList lines = a.text.split(QLatin1Char('\n'));
        qsizetype longest = 1;
        for (const QString& line : lines)
            longest = std::max(longest, line.size());
        // Tabs expand to several em each.
        const double tabs = 8.0 * a.text.count(QLatin1Char('\t'));
        return QRectF(a.p1, QSizeF((double(longest) * 1.5 + tabs) * size + 20,
                                   double(lines.size()) * 2 * size + 20))
            .adjusted(-size, -size, 0, 0);
    }
    case AnnotationKind::arrow:
        return a.boundingRect().adjusted(-margin, -margin, margin, margin);
    case AnnotationKind::pen:
        if (a.points.isEmpty()) return QRectF();
        return PenStroke::bounds(a.points).adjusted(-margin, -margin, margin, margin);
    case AnnotationKind::stamp: {
        // The label's text is centred in its rectangle and may run past it when long.
        QRectF r = a.boundingRect();
        if (const std::optional<QRectF> label = a.stampLabelRect())
            r |= label->adjusted(-label->height() * a.stampLabel.size(), 0,
                                 label->height() * a.stampLabel.size(), 0);
        // So may a number stamp's text (an em at most per character).
        const QRectF box = a.box();
        const double textWidth =
            std::clamp(0.52 * box.height(), 8.0, StampPaths::maxFontSize) * double(a.text.size());
        r |= box.adjusted(-textWidth, 0, textWidth, 0);
        return r.adjusted(-margin, -margin, margin, margin);
    }
    case AnnotationKind::sticker: {
        // An emoji glyph is about as wide as its size, centred in the box.
        const double size = stickerFontSize(a);
        return a.box().adjusted(-size, -size, size, size);
    }
    default:
        return a.box().adjusted(-margin, -margin, margin, margin);
    }
}

void AnnotationRenderer::drawIfVisible(QPainter& painter, const Annotation& a,
                                       const QRectF& visible) const
{
    const QRectF bounds = drawnBounds(a);
    if (!visible.isNull() && !bounds.intersects(visible)) return;
    if (!drawFromRasterCache(painter, a, bounds)) drawAnnotation(painter, a);
}

bool AnnotationRenderer::drawFromRasterCache(QPainter& painter, const Annotation& a,
                                             const QRectF& bounds) const
{
    // Curved marks whose drawing costs far more than copying their pixels, and which draw with
    // plain source-over blending. Straight outlines and lines stroke faster than their mostly
    // empty pictures copy; text is left out as its extent is only estimated.
    switch (a.kind) {
    case AnnotationKind::arrow:
    case AnnotationKind::ellipse:
    case AnnotationKind::stamp:
        break;
    case AnnotationKind::pen:
        // A very long stroke comes from a picture already, which may still be arriving.
        if (a.points.size() >= StrokePictures::minPoints) return false;
        break;
    default:
        return false;
    }
    return drawThroughRasterCache(painter, RenderCaches::RasterSource{a, {}, 0, {}}, bounds,
                                  [&](QPainter& p) { drawAnnotation(p, a); });
}

bool AnnotationRenderer::drawThroughRasterCache(QPainter& painter,
                                                const RenderCaches::RasterSource& source,
                                                const QRectF& bounds,
                                                const std::function<void(QPainter&)>& draw) const
{
    if (!m_caches || !m_rasterCache || !painter.paintEngine() ||
        painter.paintEngine()->type() != QPaintEngine::Raster ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter.opacity() != 1.0)
        return false;
    // Only scaled and translated painters: a picture made at one scale and sub-pixel offset
    // is reused as long as those stay the same (a scroll by whole pixels keeps it).
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale) return false;
    const QRectF device = t.mapRect(bounds);
    if (!(device.width() * device.height() <= kRasterCacheMaxPixels)) return false;
    const double baseX = std::floor(t.dx());
    const double baseY = std::floor(t.dy());
    const QRect pixels = device.toAlignedRect();
    const RenderCaches::RasterKey key{source.annotation.id, t.m11(), t.m22(), t.dx() - baseX,
                                      t.dy() - baseY};

    QCache<RenderCaches::RasterKey, RenderCaches::RasterEntry>& cache = m_caches->rasters();
    const RenderCaches::RasterEntry* entry = cache.object(key);
    if (!entry || !(entry->source == source)) {
        // Seen for the first time, or changed since: drawn directly, and only noted. Something
        // that changes on every frame (a stroke being drawn, a lens being dragged) is never
        // worth a picture; one that stays the same for a second frame is.
        cache.insert(key, new RenderCaches::RasterEntry{source, QImage(), QPoint()}, 1);
        return false;
    }
    if (entry->picture.isNull()) {
        QImage picture(pixels.size(), QImage::Format_ARGB32_Premultiplied);
        if (picture.isNull()) return false;
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setRenderHints(painter.renderHints());
        p.setTransform(t * QTransform::fromTranslate(-pixels.left(), -pixels.top()));
        draw(p);
        p.end();
        const QPoint origin = pixels.topLeft() - QPoint(int(baseX), int(baseY));
        auto* made = new RenderCaches::RasterEntry{source, std::move(picture), origin};
        const qsizetype kilobytes = std::max<qsizetype>(1, made->picture.sizeInBytes() / 1024);
        if (!cache.insert(key, made, kilobytes)) return false;
        entry = cache.object(key);
        if (!entry) return false;
    }
    // Blit in device pixels: undo the painter's own transform. What stays is the device's
    // (its pixel ratio and, for a child widget painted into its window, the widget's offset),
    // so the device position is mapped back through it rather than drawn at as it stands.
    const double dpr = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    const QTransform deviceOnly = painter.worldTransform().inverted() * t;
    painter.save();
    painter.setWorldTransform(QTransform());
    QImage picture = entry->picture;
    picture.setDevicePixelRatio(dpr);
    const QPointF at =
        deviceOnly.inverted().map(QPointF(entry->origin + QPoint(int(baseX), int(baseY))));
    painter.drawImage(at, picture);
    painter.restore();
    return true;
}

void AnnotationRenderer::drawAnnotation(QPainter& painter, const Annotation& a) const
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
    case AnnotationKind::rectangle:
    case AnnotationKind::ellipse: {
        QPainterPath path;
        if (a.kind == AnnotationKind::rectangle)
            path.addRoundedRect(box, 6, 6);
        else
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
    case AnnotationKind::pen:
        PenStroke::draw(painter, a, color, width, m_caches, m_cancelled);
        break;
    case AnnotationKind::sticker:
        drawSticker(painter, a, m_caches);
        break;
    case AnnotationKind::imageOverlay:
        if (const std::optional<QImage> image = overlayImage(a, m_caches))
            painter.drawImage(box, *image);
        else
            painter.fillRect(box, QColor::fromRgbF(0.5, 0.5, 0.5, 0.3));
        break;
    case AnnotationKind::spotlight: // drawn by the dimming layer
    case AnnotationKind::magnifier: // drawn as a lens by paint()
        break;
    }
}

void AnnotationRenderer::drawObscure(QPainter& painter, const Annotation& a) const
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
    const std::optional<ImageEffects::Region> region = ImageEffects::obscuredRegion(
        m_source, box, a.obscure, a.obscureStrength, m_caches ? &m_caches->effects() : nullptr);
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

double AnnotationRenderer::stickerFontSize(const Annotation& sticker)
{
    const QRectF box = sticker.box();
    return std::clamp(std::min(box.width(), box.height()), 8.0, maxFontSize);
}

QString AnnotationRenderer::stickerText(const Annotation& sticker)
{
    return sticker.text.isEmpty() ? QString::fromUcs4(U"\U0001F642") : sticker.text;
}

std::optional<QImage> AnnotationRenderer::overlayImage(const Annotation& a, RenderCaches* caches)
{
    if (!a.imageData) return std::nullopt;
    const RenderCaches::OverlayKey key{a.id, a.imageData->size()};
    if (caches)
        if (const QImage* cached = caches->overlays().object(key)) return *cached;
    auto decoded =
        platform::readImage(*a.imageData, platform::ImageReadLimits{kOverlayMaxPixels, 512});
    if (!decoded || decoded->isNull()) return std::nullopt; // not cached: tried again next time
    QImage image = decoded->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qsizetype kilobytes = std::max<qsizetype>(1, image.sizeInBytes() / 1024);
    // An image larger than the whole budget is still returned, just not kept.
    if (caches) caches->overlays().insert(key, new QImage(image), kilobytes);
    return image;
}

// ---- Spotlights ----

QPainterPath AnnotationRenderer::spotlightPath() const
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

void AnnotationRenderer::drawSpotlights(QPainter& painter) const
{
    const QPainterPath path = spotlightPath();
    if (path.isEmpty()) return;
    // The one opacity of the whole layer: the largest dim of any spotlight.
    double dim = 0;
    for (const Annotation& a : m_annotations)
        if (a.kind == AnnotationKind::spotlight) dim = std::max(dim, clamp01(a.spotDim));
    // One fill for every spotlight: a point in exactly one hole is enclosed twice and stays clear.
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, float(dim)));
}

} // namespace snapkin
