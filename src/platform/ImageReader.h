#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <expected>

namespace snapkin::platform {

enum class ImageReadError {
    notFound,     // no file at the path
    unreadable,   // not an image, damaged, or in a format without a reader
    tooLarge,     // more pixels than the cap, or more memory than the allocation limit
};

QString userMessage(ImageReadError error);

// The one reader for images from outside (documents, opened or pasted files, placed images).
// It reads PNG, JPEG, WebP, TIFF, GIF and BMP, chosen by the content (never by the name, and
// never another installed image plugin such as SVG). Orientation is applied. Qt's default
// allocation limit of 128 MB would refuse an 8K capture; this one allows 1 GB, which bounds
// the decoder's own buffers too (a progressive JPEG's coefficients), caps the pixel count, and
// refuses with an error, never a crash. Decoders print nothing on the terminal.
struct ImageReadLimits {
    qint64 maxPixels = 200'000'000;  // about 14142 x 14142
    int allocationLimitMB = 1024;
};

std::expected<QImage, ImageReadError> readImage(const QString& path, ImageReadLimits limits = {});
std::expected<QImage, ImageReadError> readImage(const QByteArray& data, ImageReadLimits limits = {});

} // namespace snapkin::platform
