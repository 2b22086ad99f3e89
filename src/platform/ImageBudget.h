#pragma once

#include "platform/BaseImage.h"
#include "platform/ImageReader.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <expected>

class QIODevice;

namespace snapkin::platform {

// The memory one decoded image may take, and the one way in for a picture that will be edited
// (an opened or dropped file, a document's image, the clipboard, the screenshot watcher).
//
// An editor holds up to about four pictures of its base image's size: the image and the copies
// made while it is shown and edited (about three), and the flattened output of a copy, save or
// preview. The budget keeps four of them, with the application's own ~50 MB, under 600 MB:
// 128 MiB a picture at 4 bytes a pixel, 33.5 megapixels, which holds an 8K capture
// (7680 x 4320) and three 4K displays side by side (11520 x 2160).
//
// The budget is checked before any pixel is decoded (from the header's size, at 4 bytes a
// pixel), and again on every image that a conversion made. The editor's pixels are the decoded
// ones, converted in place where they can be (else a band at a time, on the calling thread), so
// an image takes one copy of its pixels and never waits on a thread that couldn't start. A
// decode or conversion that runs out of memory is refused as `outOfMemory`, never handed on.
class ImageBudget {
public:
    ImageBudget() = delete;

    static constexpr qint64 maxImageBytes = imageBudgetBytes;
    static constexpr qint64 maxPixels = maxImageBytes / 4;
    // The largest encoded image worth reading: a PNG of the largest image at 16 bits a channel
    // with no compression, and its chunks. Anything longer is refused before it is read.
    static constexpr qint64 maxEncodedBytes = 2 * maxImageBytes + 16LL * 1024 * 1024;

    // The largest image this application makes itself and keeps in a document: a capture of the
    // whole screen (which no budget limits), up to what it can flatten and export, 32767 pixels
    // a side and 16384² in all.
    static constexpr qint64 maxOwnPixels = 268'435'456;
    static constexpr int maxOwnSide = 32767;
    // The longest PNG of such an image: 8-bit RGBA rows stored without compression, and chunks.
    static constexpr qint64 maxOwnEncodedBytes = 4 * maxOwnPixels + 64LL * 1024 * 1024;

    // Whether an image of this size, at 4 bytes a pixel, fits the budget.
    static bool admits(QSize size);

    // An image for an editor (ARGB32 premultiplied) from a file, from a device or from encoded
    // bytes. Over the budget: ImageReadError::tooLarge; short of memory in the decode or any
    // conversion: ImageReadError::outOfMemory.
    static std::expected<BaseImage, ImageReadError> decode(const QString& path);
    static std::expected<BaseImage, ImageReadError> decode(QIODevice& device);
    static std::expected<BaseImage, ImageReadError> decode(const QByteArray& bytes);
    // A picture that came decoded (a conversion's result, a QImage handed over by Qt) checked
    // against the budget and converted for an editor: to sRGB when it carries another colour
    // profile, and to premultiplied pixels. A null image is one that a conversion could not
    // make: outOfMemory.
    static std::expected<BaseImage, ImageReadError> accept(QImage image);

    // The image of a document package, which the application wrote whatever the screen it
    // captured. A PNG such as it writes (8 bits a sample: RGB, RGBA or a palette) is admitted
    // over the budget, up to maxOwnPixels, when the file is long enough to hold its pixels
    // honestly: deflate packs at most 1032 bytes into one, so n bytes hold at most 1032·n bytes
    // of rows. A short file that declares a vast image, or any other kind of image, is held to
    // the budget.
    static std::expected<BaseImage, ImageReadError> decodeDocumentImage(const QByteArray& png);
    // The most pixels decodeDocumentImage() admits for these bytes, told from the PNG header.
    static qint64 documentImagePixelLimit(const QByteArray& png);
};

} // namespace snapkin::platform
