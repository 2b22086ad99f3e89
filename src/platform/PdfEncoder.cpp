#include "platform/PdfEncoder.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace snapkin::platform {

std::optional<QByteArray> PdfEncoder::encode(const QImage& image, QSizeF pointSize)
{
    if (image.isNull() || !std::isfinite(pointSize.width()) || !std::isfinite(pointSize.height()) ||
        pointSize.width() <= 0 || pointSize.height() <= 0)
        return std::nullopt;
    const QSizeF page = pointSize;

    QByteArray out;
    QBuffer buffer(&out);
    if (!buffer.open(QIODevice::WriteOnly)) return std::nullopt;
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Snapkin"));
        writer.setResolution(72); // one device unit per point
        const QPageLayout layout(
            QPageSize(page, QPageSize::Point, QString(), QPageSize::ExactMatch),
            QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point,
            QMarginsF(0, 0, 0, 0));
        if (!writer.setPageLayout(layout)) return std::nullopt;
        QPainter painter;
        if (!painter.begin(&writer)) return std::nullopt;
        // Without this hint Qt embeds the pixels as JPEG.
        painter.setRenderHint(QPainter::LosslessImageRendering);
        painter.drawImage(QRectF(QPointF(0, 0), page), image);
        if (!painter.end()) return std::nullopt;
    }
    if (out.isEmpty()) return std::nullopt;
    return out;
}

} // namespace snapkin::platform
