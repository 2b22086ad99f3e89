#include "output/FrameComposition.h"

#include "output/Checkerboard.h"
#include "output/FrameBackgroundView.h"
#include "output/FrameCornerMask.h"
#include "output/FrameShadow.h"
#include "output/OpaqueImages.h"
#include "output/WatermarkView.h"
#include "platform/ContinuousCorners.h"

#include <QImage>
#include <QPaintDevice>
#include <QRect>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>

namespace snapkin {

namespace {

// Axis scales of a transform that only scales and translates.
bool isAxisAligned(const QTransform& t)
{
    return t.type() <= QTransform::TxScale && t.m11() > 0 && t.m22() > 0;
}

// The parts of the canvas that an opaque image with rounded corners does not cover, as
// disjoint whole device pixels: the four bands around the image and the four corner squares
// inside it. Pixels only partly covered by the image belong to the bands, so nothing painted
// under the image can show as a seam. Empty when the painter is rotated or the image has no
// whole pixel inside.
std::vector<QRect> uncoveredPixels(const QTransform& t, const QRectF& canvasRect,
                                   const QRectF& imageRect, double radius)
{
    if (!isAxisAligned(t)) return {};
    const QRectF image = t.mapRect(imageRect);
    const QRectF canvas = t.mapRect(canvasRect);
    const double big = 1.0e9;
    if (!(std::abs(canvas.left()) < big && std::abs(canvas.right()) < big &&
          std::abs(canvas.top()) < big && std::abs(canvas.bottom()) < big))
        return {};
    const int x0 = static_cast<int>(std::ceil(image.left()));
    const int y0 = static_cast<int>(std::ceil(image.top()));
    const int x1 = static_cast<int>(std::floor(image.right()));
    const int y1 = static_cast<int>(std::floor(image.bottom()));
    if (x1 <= x0 || y1 <= y0) return {};
    const int cx0 = static_cast<int>(std::floor(canvas.left()));
    const int cy0 = static_cast<int>(std::floor(canvas.top()));
    const int cx1 = static_cast<int>(std::ceil(canvas.right()));
    const int cy1 = static_cast<int>(std::ceil(canvas.bottom()));
    // A continuous corner leaves the straight edge further from the corner than its radius.
    const double extent = platform::ContinuousCorners::extent(imageRect, radius);
    const int rx = std::min(static_cast<int>(std::ceil(extent * t.m11())), (x1 - x0) / 2);
    const int ry = std::min(static_cast<int>(std::ceil(extent * t.m22())), (y1 - y0) / 2);

    std::vector<QRect> parts;
    const auto add = [&](int left, int top, int right, int bottom) {
        if (right > left && bottom > top)
            parts.emplace_back(QPoint(left, top), QPoint(right - 1, bottom - 1));
    };
    add(cx0, cy0, cx1, y0);
    add(cx0, y1, cx1, cy1);
    add(cx0, y0, x0, y1);
    add(x1, y0, cx1, y1);
    if (rx > 0 && ry > 0) {
        add(x0, y0, x0 + rx, y0 + ry);
        add(x1 - rx, y0, x1, y0 + ry);
        add(x0, y1 - ry, x0 + rx, y1);
        add(x1 - rx, y1 - ry, x1, y1);
    }
    return parts;
}

// Runs `draw` once per part, clipped to it; when there are no parts (the painter is rotated),
// once without a clip.
template <typename Draw>
void paintWithin(QPainter& painter, const std::vector<QRect>& parts, bool restrict, Draw draw)
{
    if (!restrict) {
        draw();
        return;
    }
    const QTransform world = painter.worldTransform();
    for (const QRect& part : parts) {
        painter.save();
        painter.setWorldTransform(QTransform());
        painter.setClipRect(part, Qt::IntersectClip);
        painter.setWorldTransform(world);
        draw();
        painter.restore();
    }
}

QImage* imageDevice(QPainter& painter)
{
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image) return nullptr;
    return static_cast<QImage*>(device);
}

} // namespace

double FrameComposition::cornerRadius() const
{
    if (!frame) return 0;
    const double r = frame->cornerRadius;
    return std::isfinite(r) ? std::clamp(r, 0.0, FrameStyle::maxCornerRadius) : 0.0;
}

double FrameComposition::cornerExtent() const
{
    return platform::ContinuousCorners::extent(layout.imageRect, cornerRadius());
}

bool FrameComposition::hasCornerCover() const
{
    return forEditor && frame && cornerRadius() > 0;
}

bool FrameComposition::hasWatermark() const
{
    return watermark && watermark->isVisible();
}

bool FrameComposition::paint(QPainter& painter, const Content& content) const
{
    bool ok = paintBelowContent(painter);
    ok = paintContent(painter, content) && ok;
    paintAboveContent(painter);
    return ok;
}

bool FrameComposition::paintBelowContent(QPainter& painter) const
{
    if (!frame) return true;
    const QSizeF canvas = layout.canvasSize;
    const QRectF imageRect = layout.imageRect;
    const double radius = cornerRadius();

    // Under an opaque image nothing shows, so background and shadow are painted only around
    // it (on a 4K capture that is most of the frame's cost).
    const bool opaque = !image.isNull() && OpaqueImages::isOpaque(image);
    const std::vector<QRect> parts =
        opaque ? uncoveredPixels(painter.worldTransform(), QRectF(QPointF(), canvas), imageRect,
                                 radius)
               : std::vector<QRect>{};
    const bool restrict = !parts.empty();

    painter.save();
    const FrameBackgroundView background{*frame, forEditor};
    paintWithin(painter, parts, restrict, [&] { background.paint(painter, canvas); });

    bool ok = true;
    if (std::isfinite(frame->shadow) && frame->shadow > 0) {
        const FrameShadow shadow = FrameShadow::of(imageRect, frame->shadow);
        const auto rendition = FrameShadow::render(image, imageRect.size(), radius, shadow,
                                                   deviceScaleOf(painter), opaque);
        if (!rendition) {
            ok = false;
        } else if (!rendition->pixels.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
            const QRectF target = rendition->target.translated(imageRect.topLeft());
            paintWithin(painter, parts, restrict,
                        [&] { painter.drawImage(target, rendition->pixels); });
        }
    }
    painter.restore();
    return ok;
}

bool FrameComposition::paintContent(QPainter& painter, const Content& content) const
{
    const QRectF imageRect = layout.imageRect;
    const double radius = cornerRadius();
    if (!content) return true;
    if (forEditor || !frame || radius <= 0) {
        painter.save();
        painter.translate(imageRect.topLeft());
        content(painter);
        painter.restore();
        return true;
    }

    // Clipping the whole content to a rounded outline would push every pixel through an
    // antialiased mask. Only the four corner squares need it: keep what lies under them, draw
    // the content clipped to the image's rectangle, then put back the part of each square
    // outside the outline.
    const QTransform world = painter.worldTransform();
    QImage* target = imageDevice(painter);
    if (target && target->devicePixelRatio() == 1.0 && !painter.hasClipping() &&
        isAxisAligned(world)) {
        const QRectF device = world.mapRect(imageRect);
        const int x0 = static_cast<int>(std::floor(device.left()));
        const int y0 = static_cast<int>(std::floor(device.top()));
        const int x1 = static_cast<int>(std::ceil(device.right()));
        const int y1 = static_cast<int>(std::ceil(device.bottom()));
        // One pixel more than the corner's curve, for the antialiased edge.
        const int rx = static_cast<int>(std::ceil(cornerExtent() * world.m11())) + 1;
        const int ry = static_cast<int>(std::ceil(cornerExtent() * world.m22())) + 1;
        if (2 * rx <= x1 - x0 && 2 * ry <= y1 - y0) {
            const std::array<QRect, 4> squares{QRect(x0, y0, rx, ry), QRect(x1 - rx, y0, rx, ry),
                                               QRect(x0, y1 - ry, rx, ry),
                                               QRect(x1 - rx, y1 - ry, rx, ry)};
            std::array<QRect, 4> areas;
            std::array<QImage, 4> under;
            for (size_t i = 0; i < squares.size(); ++i) {
                areas[i] = squares[i] & target->rect();
                if (areas[i].isEmpty()) continue;
                under[i] = target->copy(areas[i]);
                if (under[i].isNull()) return false;
            }

            painter.save();
            painter.translate(imageRect.topLeft());
            painter.setClipRect(QRectF(QPointF(), imageRect.size()), Qt::IntersectClip);
            content(painter);
            painter.restore();

            const QPainterPath outline = world.map(roundedOutline(imageRect, radius));
            for (size_t i = 0; i < squares.size(); ++i) {
                if (areas[i].isEmpty()) continue;
                const QImage drawn = target->copy(areas[i]);
                if (drawn.isNull()) return false;
                QImage corner = under[i];
                {
                    QPainter p(&corner);
                    p.setRenderHint(QPainter::Antialiasing, true);
                    p.setClipPath(outline.translated(-areas[i].topLeft()));
                    p.drawImage(0, 0, drawn);
                }
                painter.save();
                painter.resetTransform();
                painter.setOpacity(1.0);
                painter.setCompositionMode(QPainter::CompositionMode_Source);
                painter.drawImage(areas[i].topLeft(), corner);
                painter.restore();
            }
            return true;
        }
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(imageRect.topLeft());
    painter.setClipPath(roundedOutline(QRectF(QPointF(), imageRect.size()), radius),
                        Qt::IntersectClip);
    content(painter);
    painter.restore();
    return true;
}

void FrameComposition::paintAboveContent(QPainter& painter) const
{
    if (hasCornerCover()) {
        const FrameBackgroundView cover{*frame, true};
        cover.paint(painter, layout.canvasSize,
                    FrameCornerMask{layout.imageRect, cornerRadius()}.path());
    }
    if (hasWatermark()) {
        painter.save();
        WatermarkView{*watermark, layout.canvasSize}.paint(painter);
        painter.restore();
    }
}

} // namespace snapkin
