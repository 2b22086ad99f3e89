#include "model/AnnotationStore.h"

#include "platform/ImageFilters.h"
#include "platform/ImageReader.h"

#include <QTransform>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace snapkin {

namespace {

// Rounds half away from zero to an int; nothing for a value that is not finite or does not fit.
std::optional<int> roundedInt(double value)
{
    if (!std::isfinite(value)) return std::nullopt;
    const double r = std::round(value);
    if (r < double(INT_MIN) || r > double(INT_MAX)) return std::nullopt;
    return static_cast<int>(r);
}

// The most pixels an image operation may make; the same cap as for images read from outside.
constexpr qint64 maxResultPixels = platform::ImageReadLimits{}.maxPixels;

} // namespace

// ---- pixel geometry --------------------------------------------------------------------

QSize AnnotationStore::pixelDimensions(const platform::BaseImage& image)
{
    const QSize pixels = image.pixelSize();
    if (!image.isNull() && pixels.width() > 0 && pixels.height() > 0) return pixels;
    const QSizeF points = image.pointSize();
    return QSize(roundedInt(points.width()).value_or(0), roundedInt(points.height()).value_or(0));
}

int AnnotationStore::dpi() const
{
    const double w = m_image.pointSize().width();
    if (!(w > 0)) return 72;
    // A point size from a damaged document can make this absurd; 72 is the safe answer.
    return roundedInt(pixelDimensions().width() * 72.0 / w).value_or(72);
}

double AnnotationStore::pixelScale(const platform::BaseImage& image)
{
    const double w = image.pointSize().width();
    if (!(w > 0)) return 1.0;
    const double scale = pixelDimensions(image).width() / w;
    if (!std::isfinite(scale)) return 1.0;
    return std::max(scale, 1.0);
}

FrameLayout AnnotationStore::frameLayout(const platform::BaseImage& image,
                                         const std::optional<FrameStyle>& frame)
{
    return FrameLayout(image.pointSize(), frame, pixelScale(image));
}

bool AnnotationStore::hasPresentation(const std::optional<FrameStyle>& frame,
                                      const std::optional<Watermark>& watermark)
{
    return frame.has_value() || (watermark && watermark->isVisible());
}

std::optional<double> AnnotationStore::activeRatio() const
{
    if (m_cropAspect == CropAspect::free) {
        if (m_cropLock && m_cropRect.height() > 0) return m_cropRect.width() / m_cropRect.height();
        return std::nullopt;
    }
    return cropAspectRatio(m_cropAspect);
}

// ---- crop ------------------------------------------------------------------------------

void AnnotationStore::beginCrop()
{
    const QSizeF size = m_image.pointSize();
    setCropRect(QRectF(0, 0, size.width(), size.height()));
    setCropAspectValue(CropAspect::free);
    setCropLock(false);
    setSelectedID(std::nullopt);
    setIsCropping(true);
}

void AnnotationStore::setCropAspect(CropAspect aspect)
{
    setCropAspectValue(aspect);
    const auto ratio = cropAspectRatio(aspect);
    if (!ratio) return;
    const double r = *ratio;
    const QRectF rect = m_cropRect;
    double width = rect.width();
    double height = width / r;
    const double imageHeight = m_image.pointSize().height();
    if (rect.y() + height > imageHeight) {
        height = imageHeight - rect.y();
        width = r * height;
    }
    setCropRect(QRectF(rect.x(), rect.y(), width, height));
}

void AnnotationStore::setCropWidth(double value)
{
    const QRectF rect = m_cropRect;
    const QSizeF image = m_image.pointSize();
    const double width = std::max(std::min(image.width() - rect.x(), value), 10.0);
    double height = rect.height();
    if (const auto r = activeRatio()) height = std::min(image.height() - rect.y(), width / *r);
    setCropRect(QRectF(rect.x(), rect.y(), width, height));
}

void AnnotationStore::setCropHeight(double value)
{
    const QRectF rect = m_cropRect;
    const QSizeF image = m_image.pointSize();
    const double height = std::max(std::min(image.height() - rect.y(), value), 10.0);
    double width = rect.width();
    if (const auto r = activeRatio()) width = std::min(image.width() - rect.x(), height * *r);
    setCropRect(QRectF(rect.x(), rect.y(), width, height));
}

void AnnotationStore::applyCrop()
{
    const double s = pixelScale();
    const QRectF crop = m_cropRect;
    const QSizeF points = m_image.pointSize();
    bool usable = std::isfinite(crop.x()) && std::isfinite(crop.y()) &&
                  std::isfinite(crop.width()) && std::isfinite(crop.height());
    std::optional<platform::BaseImage> cropped;
    QRectF snapped;
    if (usable) {
        // The smallest whole-pixel rectangle holding the crop, clipped to the image: a rectangle
        // reaching past an edge keeps only what lies inside instead of being stretched.
        const double right = std::round(points.width() * s);
        const double bottom = std::round(points.height() * s);
        const double x0 = std::clamp(std::floor(crop.left() * s), 0.0, right);
        const double y0 = std::clamp(std::floor(crop.top() * s), 0.0, bottom);
        const double x1 = std::clamp(std::ceil(crop.right() * s), 0.0, right);
        const double y1 = std::clamp(std::ceil(crop.bottom() * s), 0.0, bottom);
        snapped = QRectF(x0 / s, y0 / s, (x1 - x0) / s, (y1 - y0) / s);
        if (snapped.width() > 1 && snapped.height() > 1) cropped = cropImage(m_image, snapped);
    }
    if (cropped) {
        beginChange();
        const QPointF origin = snapped.topLeft();
        transformAnnotations([origin](QPointF p) { return p - origin; });
        setImage(std::move(*cropped));
    }
    setIsCropping(false);
    setTool(Tool::select);
}

// ---- rotate, flip, resize, sharpen ---------------------------------------------------------

void AnnotationStore::transformAnnotations(const std::function<QPointF(QPointF)>& map,
                                           const std::function<void(Annotation&)>& adjust)
{
    Annotations list = m_annotations;
    for (Annotation& a : list) {
        a.p1 = map(a.p1);
        a.p2 = map(a.p2);
        for (QPointF& p : a.points)
            p = map(p);
        if (adjust) adjust(a);
    }
    setAnnotations(std::move(list));
}

void AnnotationStore::rotate(bool clockwise)
{
    const double w = m_image.pointSize().width();
    const double h = m_image.pointSize().height();
    auto rotated = rotateImage(m_image, clockwise);
    if (!rotated) return;
    beginChange();
    const double quarter = clockwise ? std::numbers::pi / 2 : -std::numbers::pi / 2;
    transformAnnotations(
        [=](QPointF p) {
            return clockwise ? QPointF(h - p.y(), p.x()) : QPointF(p.y(), w - p.x());
        },
        [quarter](Annotation& a) {
            if (a.tailAngle) *a.tailAngle += quarter;
        });
    setImage(std::move(*rotated));
}

void AnnotationStore::flip(bool horizontal)
{
    const QSizeF size = m_image.pointSize();
    auto flipped = flipImage(m_image, horizontal);
    if (!flipped) return;
    beginChange();
    transformAnnotations(
        [=](QPointF p) {
            return horizontal ? QPointF(size.width() - p.x(), p.y())
                              : QPointF(p.x(), size.height() - p.y());
        },
        [horizontal](Annotation& a) {
            if (a.tailAngle)
                *a.tailAngle = horizontal ? std::numbers::pi - *a.tailAngle : -*a.tailAngle;
            a.curveHandle.setY(-a.curveHandle.y()); // the bend stays on the mirrored side
        });
    setImage(std::move(*flipped));
}

void AnnotationStore::resize(int pixelWidth, int pixelHeight)
{
    const QSize current = pixelDimensions();
    const QSizeF old = m_image.pointSize();
    if (pixelWidth <= 0 || pixelHeight <= 0 || !(old.width() > 0) || !(old.height() > 0)) return;
    if (QSize(pixelWidth, pixelHeight) == current) return;
    const double s = pixelScale();
    const QSizeF size(pixelWidth / s, pixelHeight / s);
    if (!(size.width() >= 1) || !(size.height() >= 1)) return;
    auto scaled = scaleImage(m_image, QSizeF(pixelWidth, pixelHeight), size);
    if (!scaled) return;
    beginChange();
    const double fx = size.width() / old.width();
    const double fy = size.height() / old.height();
    const double m = std::min(fx, fy);
    transformAnnotations([=](QPointF p) { return QPointF(p.x() * fx, p.y() * fy); },
                         [m](Annotation& a) {
                             a.lineWidth *= m;
                             a.fontSize *= m;
                             a.tailLength *= m;
                         });
    setImage(std::move(*scaled));
    setSelectedID(std::nullopt);
}

void AnnotationStore::sharpen(double amount)
{
    if (!(amount > 0)) return;
    auto result = sharpened(m_image, amount);
    if (!result) return;
    beginChange();
    setImage(std::move(*result));
}

// ---- image functions -----------------------------------------------------------------------

std::optional<platform::BaseImage> AnnotationStore::cropImage(const platform::BaseImage& image,
                                                              const QRectF& rect)
{
    const double pointWidth = image.pointSize().width();
    if (image.isNull() || !(pointWidth > 0) || !rect.isValid()) return std::nullopt;
    const double k = image.pixelSize().width() / pointWidth;
    const double x0 = std::floor(rect.left() * k), y0 = std::floor(rect.top() * k);
    const double x1 = std::ceil(rect.right() * k), y1 = std::ceil(rect.bottom() * k);
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return std::nullopt;
    const QSize bitmap = image.pixelSize();
    const double cx0 = std::clamp(x0, 0.0, double(bitmap.width()));
    const double cy0 = std::clamp(y0, 0.0, double(bitmap.height()));
    const double cx1 = std::clamp(x1, 0.0, double(bitmap.width()));
    const double cy1 = std::clamp(y1, 0.0, double(bitmap.height()));
    const QRect pixels(int(cx0), int(cy0), int(cx1 - cx0), int(cy1 - cy0));
    if (pixels.isEmpty()) return std::nullopt;
    const QImage cut = image.image().copy(pixels);
    if (cut.isNull()) return std::nullopt;
    // The point size of what was kept: the rectangle asked for, or less where it reached past
    // the bitmap (so the kept part is never stretched).
    const bool clipped = cx0 != x0 || cy0 != y0 || cx1 != x1 || cy1 != y1;
    const QSizeF size = clipped ? QSizeF(pixels.width() / k, pixels.height() / k) : rect.size();
    return platform::BaseImage(cut, size);
}

std::optional<platform::BaseImage> AnnotationStore::rotateImage(const platform::BaseImage& image,
                                                                bool clockwise)
{
    if (image.isNull()) return std::nullopt;
    // A quarter turn of QTransform (y down) is exact: Qt moves whole pixels for it.
    const QImage turned = image.image().transformed(QTransform().rotate(clockwise ? 90 : -90));
    if (turned.isNull()) return std::nullopt;
    const QSizeF size = image.pointSize();
    return platform::BaseImage(turned, QSizeF(size.height(), size.width()));
}

std::optional<platform::BaseImage> AnnotationStore::flipImage(const platform::BaseImage& image,
                                                              bool horizontal)
{
    if (image.isNull()) return std::nullopt;
    const QImage mirrored = image.image().mirrored(horizontal, !horizontal);
    if (mirrored.isNull()) return std::nullopt;
    return platform::BaseImage(mirrored, image.pointSize());
}

std::optional<platform::BaseImage> AnnotationStore::scaleImage(const platform::BaseImage& image,
                                                               QSizeF pixels, QSizeF logicalSize)
{
    if (image.isNull()) return std::nullopt;
    const auto w = roundedInt(pixels.width());
    const auto h = roundedInt(pixels.height());
    if (!w || !h) return std::nullopt;
    const int width = std::max(*w, 1);
    const int height = std::max(*h, 1);
    if (qint64(width) * height > maxResultPixels) return std::nullopt;
    const QImage scaled =
        image.image().scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull()) return std::nullopt;
    return platform::BaseImage(scaled, logicalSize);
}

std::optional<platform::BaseImage> AnnotationStore::sharpened(const platform::BaseImage& image,
                                                              double amount)
{
    const double pointWidth = image.pointSize().width();
    if (image.isNull() || !(pointWidth > 0) || !std::isfinite(amount)) return std::nullopt;
    // One point expressed in pixels, so the same amount looks alike at every pixel scale.
    const double radius = std::max(image.pixelSize().width() / pointWidth, 1.0);
    const QImage result = platform::ImageFilters::unsharpMask(image.image(), radius, 1.5 * amount);
    if (result.isNull()) return std::nullopt;
    return platform::BaseImage(result, image.pointSize());
}

} // namespace snapkin
