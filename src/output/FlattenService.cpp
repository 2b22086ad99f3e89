#include "output/FlattenService.h"

#include "canvas/AnnotationRenderer.h"
#include "model/AnnotationDocument.h"
#include "model/AnnotationStore.h"
#include "model/FrameLayout.h"
#include "platform/L10n.h"

#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace snapkin {

namespace {

// Whole pixels for a length in points at `scale`; the frame layout already rounds the canvas
// to whole pixels, so this only absorbs floating-point noise.
double pixelsFor(double points, double scale)
{
    return std::ceil(points * scale - 1e-6);
}

// Draws the base image filling (0, 0, size). When the painter maps it pixel for pixel, it is
// copied without resampling (the common case, and the bulk of a flatten's work).
void drawBaseImage(QPainter& painter, const platform::BaseImage& image, QSizeF size)
{
    const QImage& pixels = image.image();
    if (pixels.isNull()) return;
    const QTransform t = painter.worldTransform();
    if (t.type() <= QTransform::TxScale && painter.device()) {
        const QRectF mapped = t.mapRect(QRectF(QPointF(), size));
        const QPointF origin = mapped.topLeft();
        const auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
        if (whole(origin.x()) && whole(origin.y()) &&
            std::abs(mapped.width() - pixels.width()) < 1e-6 &&
            std::abs(mapped.height() - pixels.height()) < 1e-6 && t.m11() > 0 && t.m22() > 0) {
            painter.save();
            painter.setWorldTransform(QTransform());
            QImage plain = pixels;
            plain.setDevicePixelRatio(1.0);
            painter.drawImage(QPoint(static_cast<int>(std::round(origin.x())),
                                     static_cast<int>(std::round(origin.y()))),
                              plain);
            painter.restore();
            return;
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(QPointF(), size), pixels);
    painter.restore();
}

} // namespace

QString userMessage(FlattenError)
{
    return platform::L10n::text("Couldn't prepare the image");
}

QString explanation(FlattenError)
{
    return platform::L10n::text(
        "The image couldn't be rendered with its annotations, so nothing was exported. Your "
        "work is still open — try again, or crop the image to make it smaller.");
}

bool FlattenService::Input::hasPresentation() const
{
    return AnnotationStore::hasPresentation(frame, watermark);
}

FrameLayout FlattenService::Input::frameLayout() const
{
    return AnnotationStore::frameLayout(image, frame);
}

FlattenService::Input FlattenService::input(const AnnotationStore& store)
{
    return {store.image(), store.annotations(), store.frame(), store.watermark()};
}

FlattenService::Input FlattenService::input(const AnnotationDocument& document,
                                            const platform::BaseImage& image)
{
    return {image, document.annotations, document.frame, document.watermark};
}

double FlattenService::pixelScale(const platform::BaseImage& image)
{
    return AnnotationStore::pixelScale(image);
}

FrameComposition FlattenService::composition(const AnnotationStore& store)
{
    return FrameComposition{store.frameLayout(), store.frame(), store.watermark(), store.image(),
                            false};
}

FrameComposition FlattenService::composition(const Input& input)
{
    return FrameComposition{input.frameLayout(), input.frame, input.watermark, input.image, false};
}

namespace {

struct Planned {
    double scale;
    bool framed;
    FrameComposition framing;
    double pw, ph;
};

// The finished image's scale, framing and pixel size, or why there is none.
std::expected<Planned, FlattenError> plan(const FlattenService::Input& input)
{
    const QSizeF imageSize = input.image.pointSize();
    const double w = imageSize.width();
    const double h = imageSize.height();
    if (!(w > 0 && h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return std::unexpected(FlattenError::emptyImage);

    const double scale = FlattenService::pixelScale(input.image);
    const bool framed = input.hasPresentation();
    FrameComposition framing = FlattenService::composition(input);
    const QSizeF contentSize = framed ? framing.layout.canvasSize : imageSize;
    const double pw = pixelsFor(contentSize.width(), scale);
    const double ph = pixelsFor(contentSize.height(), scale);
    if (!(pw >= 1 && ph >= 1)) return std::unexpected(FlattenError::emptyImage);
    if (pw > FlattenService::maxSide || ph > FlattenService::maxSide ||
        pw * ph > static_cast<double>(FlattenService::maxPixels))
        return std::unexpected(FlattenError::tooLarge);
    return Planned{scale, framed, std::move(framing), pw, ph};
}

} // namespace

std::optional<FlattenError> FlattenService::refusal(const Input& input)
{
    if (const auto planned = plan(input); !planned) return planned.error();
    return std::nullopt;
}

QFuture<std::expected<QImage, FlattenError>> FlattenService::flattenInBackground(Input input)
{
    return QtConcurrent::run([input = std::move(input)] { return flatten(input); });
}

std::expected<QImage, FlattenError> FlattenService::flatten(const Input& input,
                                                            const std::atomic<bool>* cancelled)
{
    const auto planned = plan(input);
    if (!planned) return std::unexpected(planned.error());
    const QSizeF imageSize = input.image.pointSize();
    const double w = imageSize.width();
    const double h = imageSize.height();
    const double scale = planned->scale;
    // Nothing over the image and nothing around it, at the image's own pixel size: the picture
    // is the image itself, its pixels shared rather than copied (a document's may take a
    // gigabyte). Drawing it over transparent pixels would give the same pixels.
    const QImage& pixels = input.image.image();
    if (!planned->framed && input.annotations.isEmpty() &&
        std::abs(w * scale - pixels.width()) < 1e-6 &&
        std::abs(h * scale - pixels.height()) < 1e-6 && planned->pw == pixels.width() &&
        planned->ph == pixels.height()) {
        QImage same = pixels;
        same.setDevicePixelRatio(scale);
        return same;
    }
    QImage result(static_cast<int>(planned->pw), static_cast<int>(planned->ph),
                  QImage::Format_ARGB32_Premultiplied);
    if (result.isNull()) return std::unexpected(FlattenError::outOfMemory);
    result.fill(Qt::transparent);

    const auto content = [&](QPainter& painter) {
        // Annotations reaching past the image lie over the frame's padding, unless the frame
        // clips the content to its rounded outline; without a frame, the image is the picture.
        if (!planned->framed) painter.setClipRect(QRectF(0, 0, w, h), Qt::IntersectClip);
        drawBaseImage(painter, input.image, imageSize);
        AnnotationRenderer renderer(input.annotations, std::nullopt, imageSize, input.image);
        renderer.setCancellation(cancelled);
        renderer.paint(painter);
    };

    bool ok = true;
    {
        QPainter painter(&result);
        if (!painter.isActive()) return std::unexpected(FlattenError::outOfMemory);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.scale(scale, scale);
        if (planned->framed) {
            ok = planned->framing.paint(painter, content);
        } else {
            painter.save();
            content(painter);
            painter.restore();
        }
    }
    if (!ok) return std::unexpected(FlattenError::outOfMemory);
    result.setDevicePixelRatio(scale);
    return result;
}

std::expected<QImage, FlattenError> FlattenService::flatten(const AnnotationStore& store)
{
    return flatten(input(store));
}

std::expected<QImage, FlattenError> FlattenService::flatten(const AnnotationDocument& document,
                                                            const platform::BaseImage& image)
{
    return flatten(input(document, image));
}

} // namespace snapkin
