#pragma once

#include <QImage>
#include <QSize>
#include <QSizeF>

#include <cstdint>
#include <optional>

namespace snapkin::platform {

// The picture being edited: shared, immutable pixels (ARGB32 premultiplied), the size in points
// at which it is laid out (a document may set it apart from the pixel size), and a serial
// number that is never reused, so caches can key on it. Copies share the pixels.
class BaseImage {
public:
    BaseImage() = default;
    // The point size defaults to the pixel size divided by the image's device pixel ratio.
    explicit BaseImage(const QImage& pixels, std::optional<QSizeF> pointSize = std::nullopt);

    bool isNull() const { return m_image.isNull(); }
    const QImage& image() const { return m_image; }
    QSize pixelSize() const { return m_image.size(); }
    QSizeF pointSize() const { return m_pointSize; }
    // Pixels per point along the width (1 when the point width is not positive).
    double pixelScale() const;
    std::uint64_t serial() const { return m_serial; }

    // The same pixels (and serial) laid out at another point size.
    BaseImage withPointSize(QSizeF pointSize) const;

    friend bool operator==(const BaseImage& a, const BaseImage& b)
    {
        return a.m_serial == b.m_serial && a.m_pointSize == b.m_pointSize;
    }

private:
    QImage m_image;
    QSizeF m_pointSize;
    std::uint64_t m_serial = 0;
};

} // namespace snapkin::platform
