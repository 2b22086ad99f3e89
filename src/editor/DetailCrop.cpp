#include "editor/DetailCrop.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace snapkin {

namespace {

constexpr int thumbnailWidth = 128;

// The image scaled to thumbnailWidth × `height` in 8-bit grey, composited over black as an
// opaque grey surface would take it. Null when it cannot be made.
QImage greyThumbnail(const QImage& bitmap, int height)
{
    // scaled() averages every source pixel (drawing with a smooth transform would sample only
    // a few of a large image's and miss fine text).
    const QImage small =
        bitmap.scaled(thumbnailWidth, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (small.isNull()) return {};
    QImage opaque(thumbnailWidth, height, QImage::Format_RGB32);
    if (opaque.isNull()) return {};
    opaque.fill(Qt::black);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, small);
    }
    return opaque.convertToFormat(QImage::Format_Grayscale8);
}

// The top-left corner, in image pixels, of the window with the most edge strength; nothing
// when the thumbnail cannot be made.
std::optional<QPointF> densestOrigin(const QImage& bitmap, double cropW, double cropH)
{
    const int pw = bitmap.width(), ph = bitmap.height();
    const int w = thumbnailWidth;
    const int h = std::max(1, int(std::round(double(ph) / pw * thumbnailWidth)));
    const QImage grey = greyThumbnail(bitmap, h);
    if (grey.isNull()) return std::nullopt;

    // Summed-area table of the edge strength: sat[(y)(w+1)+x] is the sum over all thumbnail
    // pixels above and left of (x, y). The last column and row have no strength of their own.
    const auto at = [&](int x, int y) { return int(grey.constScanLine(y)[x]); };
    std::vector<qint64> sat(size_t(w + 1) * size_t(h + 1), 0);
    const auto cell = [&](int x, int y) -> qint64& { return sat[size_t(y) * size_t(w + 1) + x]; };
    for (int y = 0; y < h; ++y) {
        qint64 row = 0;
        for (int x = 0; x < w; ++x) {
            if (x <= w - 2 && y <= h - 2)
                row += std::abs(at(x + 1, y) - at(x, y)) + std::abs(at(x, y + 1) - at(x, y));
            cell(x + 1, y + 1) = cell(x + 1, y) + row;
        }
    }

    const double s = double(w) / pw;
    const int cw = std::max(1, std::min(w, int(std::trunc(cropW * s))));
    const int ch = std::max(1, std::min(h, int(std::trunc(cropH * s))));
    const int step = std::max(1, std::min(cw, ch) / 4);
    qint64 best = -1;
    int bestX = 0, bestY = 0;
    for (int y = 0; y <= h - ch; y += step) {
        for (int x = 0; x <= w - cw; x += step) {
            const qint64 score =
                cell(x + cw, y + ch) - cell(x, y + ch) - cell(x + cw, y) + cell(x, y);
            // Strictly greater: among equals the first, in reading order, stays.
            if (score > best) {
                best = score;
                bestX = x;
                bestY = y;
            }
        }
    }
    return QPointF(bestX / s, bestY / s);
}

} // namespace

std::optional<QRect> detailRegion(const platform::BaseImage& image, QSizeF size)
{
    const QImage& bitmap = image.image();
    const double pointWidth = image.pointSize().width();
    if (bitmap.isNull() || !(pointWidth > 0)) return std::nullopt;
    const int pw = bitmap.width(), ph = bitmap.height();
    const double scale = pw / pointWidth;
    const double cropW = std::min(size.width() * scale, double(pw));
    const double cropH = std::min(size.height() * scale, double(ph));
    if (!(cropW > 0) || !(cropH > 0)) return std::nullopt;

    const QPointF origin =
        densestOrigin(bitmap, cropW, cropH).value_or(QPointF((pw - cropW) / 2, (ph - cropH) / 2));
    // The smallest whole-pixel rectangle around it, moved inside the bitmap.
    const int x0 = int(std::floor(origin.x())), y0 = int(std::floor(origin.y()));
    const int width = int(std::ceil(origin.x() + cropW)) - x0;
    const int height = int(std::ceil(origin.y() + cropH)) - y0;
    const int x = std::min(pw - width, std::max(0, x0));
    const int y = std::min(ph - height, std::max(0, y0));
    const QRect region = QRect(x, y, width, height).intersected(bitmap.rect());
    if (region.isEmpty()) return std::nullopt;
    return region;
}

std::optional<platform::BaseImage> detailCrop(const platform::BaseImage& image, QSizeF size)
{
    const std::optional<QRect> region = detailRegion(image, size);
    if (!region) return std::nullopt;
    QImage cut = image.image().copy(*region);
    if (cut.isNull()) return std::nullopt;
    const double scale = image.image().width() / image.pointSize().width();
    return platform::BaseImage(cut, QSizeF(region->width() / scale, region->height() / scale));
}

} // namespace snapkin
