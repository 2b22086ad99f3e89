#include "output/WatermarkView.h"

#include "model/Color.h"
#include "output/Checkerboard.h"
#include "output/WatermarkLayout.h"
#include "platform/ImageReader.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QTransform>
#include <mutex>

#include <algorithm>
#include <cmath>

namespace snapkin {

namespace {

double boundedOpacity(double opacity)
{
    return std::isfinite(opacity) ? std::clamp(opacity, Watermark::minOpacity, 1.0) : 0.6;
}

double boundedSize(double size)
{
    return std::isfinite(size) ? std::clamp(size, Watermark::minSize, Watermark::maxSize) : 0.2;
}

int dpiOf(const QPaintDevice* device)
{
    const int dpi = device ? device->logicalDpiY() : 0;
    return dpi > 0 ? dpi : 72;
}

constexpr double unlimitedHeight = 1.0e7;

} // namespace

QString WatermarkView::shownText() const
{
    return watermark.text.left(maxTextLength);
}

QFont WatermarkView::font(const QPaintDevice* device) const
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setWeight(QFont::DemiBold);
    // Point sizes are turned into pixels at the device's dpi; the watermark's size is in
    // canvas units, so undo that conversion.
    const double units = WatermarkLayout::fontSize(boundedSize(watermark.size), canvasSize);
    f.setPointSizeF(units * 72.0 / dpiOf(device));
    return f;
}

int WatermarkView::textFlags(const QPaintDevice* device) const
{
    // Lines wrap at word boundaries; a single word wider than the canvas is broken anywhere,
    // so the text never reaches past the width it was measured in.
    const QFontMetricsF metrics(font(device), const_cast<QPaintDevice*>(device));
    const QString text = shownText();
    const QRectF words =
        metrics.boundingRect(QRectF(0, 0, canvasSize.width(), unlimitedHeight),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    const int wrap = words.width() > canvasSize.width() ? Qt::TextWrapAnywhere : Qt::TextWordWrap;
    return Qt::AlignLeft | Qt::AlignTop | wrap;
}

QSizeF WatermarkView::textSize(const QPaintDevice* device) const
{
    const QFontMetricsF metrics(font(device), const_cast<QPaintDevice*>(device));
    return metrics
        .boundingRect(QRectF(0, 0, canvasSize.width(), unlimitedHeight), textFlags(device),
                      shownText())
        .size();
}

std::optional<QImage> WatermarkView::decodeLogo(const QByteArray& data)
{
    // A standard mutex: ThreadSanitizer sees through it.
    static std::mutex mutex;
    static QByteArray lastData;
    static std::optional<QImage> lastLogo;
    {
        const std::lock_guard lock(mutex);
        if (!lastData.isNull() && lastData == data) return lastLogo;
    }
    platform::ImageReadLimits limits;
    limits.maxPixels = maxLogoPixels;
    limits.allocationLimitMB = 256;
    auto decoded = platform::readImage(data, limits);
    std::optional<QImage> logo;
    if (decoded && !decoded->isNull())
        logo = decoded->convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const std::lock_guard lock(mutex);
    lastData = data;
    lastLogo = logo;
    return logo;
}

void WatermarkView::paint(QPainter& painter) const
{
    const double w = canvasSize.width();
    const double h = canvasSize.height();
    const double m = WatermarkLayout::referenceLength(canvasSize);
    if (!(std::isfinite(w) && std::isfinite(h) && m > 0)) return;

    const bool isImage = watermark.kind == WatermarkKind::image;
    std::optional<QImage> logo;
    QSizeF item;
    QString text;
    int flags = 0;
    if (isImage) {
        if (!watermark.imageData) return;
        logo = decodeLogo(*watermark.imageData);
        if (!logo || logo->width() <= 0 || logo->height() <= 0) return;
        item = WatermarkLayout::logoSize(QSizeF(logo->size()), boundedSize(watermark.size),
                                         canvasSize);
    } else {
        text = shownText();
        if (text.isEmpty()) return;
        item = textSize(painter.device());
        flags = textFlags(painter.device());
    }
    if (!(item.width() > 0 && item.height() > 0)) return;

    painter.save();
    painter.setClipRect(QRectF(0, 0, w, h), Qt::IntersectClip);
    painter.setOpacity(painter.opacity() * boundedOpacity(watermark.opacity));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);

    if (isImage) {
        // Scale the logo once to the size it is drawn at, so many tiled copies each cost a
        // plain blit rather than a resampling of the full logo.
        const double scale = deviceScaleOf(painter);
        const QSize devicePixels(std::max(1, static_cast<int>(std::ceil(item.width() * scale))),
                                 std::max(1, static_cast<int>(std::ceil(item.height() * scale))));
        if (devicePixels.width() < logo->width() && devicePixels.height() < logo->height())
            logo = logo->scaled(devicePixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        painter.setFont(font(painter.device()));
        painter.setPen(Color::fromHex(watermark.colorHex));
    }

    const auto drawItem = [&](const QRectF& rect) {
        if (isImage)
            painter.drawImage(rect, *logo);
        else
            painter.drawText(rect, flags, text);
    };

    if (watermark.position != WatermarkPosition::tile) {
        drawItem(WatermarkLayout::placedRect(watermark.position, canvasSize, item));
    } else {
        const WatermarkLayout::Tile tile = WatermarkLayout::tile(canvasSize, item);
        QTransform toCanvas = QTransform::fromTranslate(w / 2, h / 2);
        if (!isImage) toCanvas.rotate(WatermarkLayout::tileTextRotationDegrees);
        painter.setTransform(toCanvas, true);
        const QRectF canvasRect(0, 0, w, h);
        for (const QPointF& centre : tile.centres) {
            const QRectF rect(centre.x() - item.width() / 2, centre.y() - item.height() / 2,
                              item.width(), item.height());
            // Copies wholly outside the canvas are skipped: most of the pattern's reach lies
            // beyond the corners of a long canvas.
            if (toCanvas.mapRect(rect).intersects(canvasRect)) drawItem(rect);
        }
    }
    painter.restore();
}

} // namespace snapkin
