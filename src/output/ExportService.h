#pragma once

#include "output/ExportFormat.h"
#include "platform/BaseImage.h"

#include "output/SavePanel.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>

class QMimeData;
class QWidget;

namespace snapkin {

class AnnotationStore;

// Turns a flattened image into the bytes of a file in one of the export formats. Every route
// out of the editor (saving, dragging, copying, the router's save to a folder) encodes here.
// Stateless: calls never interfere; encoding runs on the caller's thread.
//
// The routes that hand an image to the user (save, copy, drag, share) take the flattened image
// (its device pixel ratio is its pixels per point) and run on the main thread.
class ExportService {
public:
    static ExportService& shared();

    // Lets the user save `image` in the save dialog, with its format and quality options and,
    // when `document` is given, the choice of writing the editable document next to the image.
    // Remembers the chosen format (and the quality of a lossy one, before encoding, so it is kept
    // even when encoding fails), writes the file atomically, writes the document, copies the
    // image when "autoCopyAfterSave" is on and counts one export. True only when the image file
    // was written; a failure to encode or write shows "Couldn't save the image" with the reason
    // and leaves any earlier file as it was. Runs modally. The dialog proposes `fileName` (its
    // extension follows the format), "Screenshot" when empty.
    // The document is written by `writeCompanion`, which the editor gives (the document
    // package is the editor's); without one no document is written.
    using CompanionWriter = std::function<void(AnnotationStore& store, const QString& imagePath)>;
    bool save(const QImage& image, ExportFormat format, AnnotationStore* document,
              QWidget* parent = nullptr, const QString& fileName = {},
              const CompanionWriter& writeCompanion = {}) const;
    // The same for the flattened `document`, drawn on a worker while the dialog opens and the
    // user chooses, so a long document keeps the dialog waiting for nothing. What cannot be
    // flattened at all shows "Couldn't prepare the image" before any dialog; a flatten that
    // fails for want of memory, once the user has chosen.
    bool saveFlattened(AnnotationStore& document, ExportFormat format, QWidget* parent = nullptr,
                       const CompanionWriter& writeCompanion = {}) const;

    // Puts the image on the clipboard as PNG (encoded at once, so a clipboard manager can keep
    // it after Snapkin quits) and TIFF (encoded only when a program asks for it). The image
    // says 72 dpi times its pixel scale, or 72 dpi with "copyAtFullSize" on, so that a 2x capture
    // pastes at twice its size. Counts an export when `countsAsExport` (once the event loop runs
    // again). True when the PNG was made.
    bool copy(const QImage& image, bool countsAsExport) const;
    // The same for a base image; the PNG is the one a save of the same image writes.
    bool copy(const platform::BaseImage& image, bool countsAsExport) const;

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

    // Opens the share menu for `image`: Copy Image, Open With…, Email… (when xdg-email is
    // installed) and, when `savedFile` names a saved file or document, Show in File Manager.
    // It opens under `button` when given (the toolbar's Share), else under the active window's
    // top edge, 60 points left of its right end; nothing without either.
    void share(const QImage& image, const QString& savedFile = {},
               QWidget* button = nullptr) const;
    // The file an editor's work was last saved to in this session: the image the save dialog
    // wrote for `store`, else the store's document; empty when neither exists (any more).
    QString savedFile(const AnnotationStore& store) const;

    // The reason a format cannot hold `image`, for the save alert: WebP's size limit, else a
    // general "couldn't be encoded as <format>".
    static QString encodingFailureReason(const QImage& image, ExportFormat format);
    // `path` with the extension the format's files have: kept when it already is one of the
    // format's, replaced when it is another export format's, appended otherwise.
    static QString withFormatExtension(const QString& path, ExportFormat format);

    // Hooks for tests. Replaces the save dialog (nullptr: Qt's own dialog).
    static void setSavePanelFactory(SavePanelFactory factory);
    // Replaces the clock that names drag files (nullptr: the current time).
    static void setClock(std::function<QDateTime()> clock);

    // The file's bytes, or nothing when the image cannot be encoded (a null image, a size the
    // format cannot hold, an encoder failure); nothing is reported here, callers decide what the
    // user sees. A missing or non-finite quality means the format's remembered one; the quality
    // matters only for JPEG and WebP. JPEG and BMP are composited on white first; the other
    // formats keep transparency (GIF as on/off). The resolution written is 72 dpi times the
    // image's pixel scale; a PDF page has the image's size in points.
    std::optional<QByteArray> data(const platform::BaseImage& image, ExportFormat format,
                                   std::optional<double> quality = std::nullopt) const;

    // The image composited on opaque white, or the same image when it has no transparency.
    static QImage opaque(const QImage& image);

    // A quality fraction (0...1) as libjpeg's percent scale, the one every JPEG tool shows:
    // 0.9 -> 90. Rounded, clamped to 0...100; not a number counts as 0.
    static int jpegQualityPercent(double quality);

private:
    bool saveFrom(const std::function<std::optional<QImage>()>& image, ExportFormat format,
                  AnnotationStore* document, QWidget* parent, const QString& fileName,
                  const CompanionWriter& writeCompanion) const;
    static std::optional<QByteArray> encode(const platform::BaseImage& image, ExportFormat format,
                                            std::optional<double> quality);
};

} // namespace snapkin
