#pragma once

#include <QColorSpace>
#include <QImage>

namespace snapkin::platform {

// Conversions of whole decoded pictures that run on the calling thread and take as little memory
// as the result needs.
//
// Qt converts a large image's format or colour space on its thread pool and waits for every
// part; when no thread can be started (the address space is spent, as under `ulimit -v` with a
// picture of hundreds of megabytes in hand) the wait never ends. Here each conversion is
// handed bands small enough that Qt does them on the calling thread, so a conversion either
// finishes or, when its memory can't be had, fails: never a wait.

// ARGB32 pixels premultiplied in place (the image becomes Format_ARGB32_Premultiplied); false,
// the image unchanged, for another format or when a shared image can't be copied first.
bool premultiplyInPlace(QImage& image);

// A copy of `image` in `format`, made a band of rows at a time; null when its memory can't be
// had. The resolution, the device pixel ratio and the colour space are kept.
QImage convertedInBands(const QImage& image, QImage::Format format);

// The pixels of `image` converted from its colour space to `target` a band of rows at a time,
// in place where the conversion keeps the format; false, the image null, when memory ran out.
bool convertToColorSpaceInBands(QImage& image, const QColorSpace& target);

} // namespace snapkin::platform
