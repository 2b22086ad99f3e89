#pragma once

#include "output/ExportFormat.h"
#include "platform/BaseImage.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

class QMimeData;

namespace snapkin {

// Turns a flattened image into the bytes of a file in one of the export formats. Every route
// out of the editor (saving, dragging, copying, the router's save to a folder) encodes here.
// Encoding and copying keep no state: calls never interfere, and encoding runs on the caller's
// thread. An instance holds only the clock that names drag files; the application makes one and
// hands it to what drags images out.
//
// The routes that hand an image to the user (copy, drag; the dialogs in ExportDialogs) take the
// flattened image (its device pixel ratio is its pixels per point) and run on the main thread.
class ExportService {
public:
    using Clock = std::function<QDateTime()>;
    // `clock` names drag files (empty: the current time); tests give a fixed one.
    explicit ExportService(Clock clock = {});

    // Puts the image on the clipboard as PNG (encoded at once, so a clipboard manager can keep
    // it after Snapkin quits) and TIFF (encoded only when a program asks for it). The image
    // says 72 dpi times its pixel scale, or 72 dpi with keys::copyAtFullSize on, so that a 2x
    // capture pastes at twice its size. Counts an export when `countsAsExport` (once the event loop
    // runs again). True when the PNG was made.
    static bool copy(const QImage& image, bool countsAsExport);
    // The same for a base image; the PNG is the one a save of the same image writes.
    static bool copy(const platform::BaseImage& image, bool countsAsExport);

    // What a drag out of the editor carries: the image as a PNG file named
    // "Snapkin <date> at <time>.png" in a folder of its own under the private folder's "Drag",
    // plus the same PNG bytes. The file is left for the drop target: the folders of the
    // `keptDragFiles` newest drags stay while the application runs, older ones go at once and
    // all of them when it quits. Without PNG data the result is empty; without a file it
    // carries the bytes. The caller owns the result (QDrag takes it).
    QMimeData* dragData(const QImage& image) const;
    static constexpr int keptDragFiles = 5;
    // "Snapkin 2026-03-05 at 14.07.09": digits and a 24-hour clock whatever the user's locale.
    static QString dragName(const QDateTime& time);

    // The reason a format cannot hold `image`, for the save alert: WebP's size limit, else a
    // general "couldn't be encoded as <format>".
    static QString encodingFailureReason(const QImage& image, ExportFormat format);
    // `path` with the extension the format's files have: kept when it already is one of the
    // format's, replaced when it is another export format's, appended otherwise.
    static QString withFormatExtension(const QString& path, ExportFormat format);

    // The file's bytes, or nothing when the image cannot be encoded (a null image, a size the
    // format cannot hold, an encoder failure); nothing is reported here, callers decide what the
    // user sees. A missing or non-finite quality means the format's remembered one; the quality
    // matters only for JPEG and WebP. JPEG and BMP are composited on white first; the other
    // formats keep transparency (GIF as on/off). The resolution written is 72 dpi times the
    // image's pixel scale; a PDF page has the image's size in points.
    static std::optional<QByteArray> data(const platform::BaseImage& image, ExportFormat format,
                                          std::optional<double> quality = std::nullopt);

    // The image composited on white, or the same image when it has no transparency; what JPEG
    // and BMP encode.
    static QImage opaque(const QImage& image);

    // A quality fraction (0...1) as libjpeg's percent scale, the one every JPEG tool shows:
    // 0.9 -> 90. Rounded, clamped to 0...100; not a number counts as 0.
    static int jpegQualityPercent(double quality);

private:
    static std::optional<QByteArray> encode(const platform::BaseImage& image, ExportFormat format,
                                            std::optional<double> quality);

    Clock m_clock;
};

} // namespace snapkin
