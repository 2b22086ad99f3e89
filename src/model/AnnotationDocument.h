#pragma once

#include "model/Annotation.h"
#include "model/FrameStyle.h"
#include "model/JsonCoding.h"
#include "model/Watermark.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <expected>
#include <optional>

namespace snapkin {

// The saved form of one edit: everything needed to reopen an image with its annotations
// still editable, except the image itself.
struct AnnotationDocument {
    static constexpr qint64 currentVersion = 1;

    qint64 version = currentVersion;
    // Size in points of the base image: the space of all annotation coordinates. Stored as
    // read; use imagePointSize() to size an image from it.
    QSizeF canvasSize{0, 0};
    // Bottom first: the last is drawn on top and hit first.
    QList<Annotation> annotations;
    // The number the next number stamp shows; advance it with stampNumberAfter().
    qint64 nextStampNumber = 1;
    std::optional<QSizeF> pixelSize;
    // Name and version of the application that wrote the document.
    std::optional<QString> generator;
    std::optional<FrameStyle> frame;
    std::optional<Watermark> watermark;
    // How many stored annotations the reader had to drop; never written.
    qint64 skippedAnnotations = 0;

    // ---- What a document may cost ----

    // A document is untrusted input: beyond its bounds it is refused as `tooLarge` ("The
    // document is too large to open.") rather than decoded. The bounds grow with the length of
    // the text read, by what that text can honestly hold: the writer here spends at least
    // writtenBytesPerContainer bytes of text on every array and object (a pen point is one) and
    // writtenBytesPerAnnotation on every annotation, so whatever this application wrote always
    // reopens, however long a stroke or however many annotations it held. Hostile text packed
    // tighter is refused past the same counts, so that opening one stays within a few times its
    // file's size in memory and time (a parsed JSON document spends about 160 bytes on a point
    // and 700 on a small annotation; Base64 image data, the bulk of a large document, costs
    // about its own size). Below the floors a short text may hold anything.
    static constexpr qsizetype maxAnnotations = 10'000;
    static constexpr qsizetype maxPointsPerStroke = 100'000;
    static constexpr qint64 maxJsonContainers = 1'000'000;
    static constexpr qint64 writtenBytesPerContainer = 64;
    static constexpr qint64 writtenBytesPerAnnotation = 512;

    struct Bounds {
        qsizetype annotations = maxAnnotations;
        qsizetype pointsPerStroke = maxPointsPerStroke;
        // Arrays and objects in the whole text, counted before it is parsed.
        qint64 jsonContainers = maxJsonContainers;
    };
    // The bounds for a document read from `textBytes` bytes of JSON.
    static Bounds boundsFor(qint64 textBytes);
    // Whether the text is within its bounds' container count (checked without parsing it).
    static bool withinDecodingCost(const QByteArray& json);

    // ---- JSON ----

    // Fails only on a number JSON cannot hold.
    std::expected<QJsonObject, JsonError> toJson() const;
    // UTF-8 JSON, indented, keys sorted, so the same document gives the same bytes.
    std::expected<QByteArray, JsonError> encoded() const;

    // The tolerant reader: an annotation that does not decode is dropped and counted; a bad
    // frame or watermark is dropped. Fails on a missing or malformed canvasSize, or a malformed
    // version, nextStampNumber, pixelSize, generator or annotations value.
    // fromJson() holds the value to `bounds`; decode() to the bounds of its text, checked with
    // withinDecodingCost() before parsing.
    static std::expected<AnnotationDocument, JsonError> fromJson(const QJsonValue& value,
                                                                 Bounds bounds);
    static std::expected<AnnotationDocument, JsonError> decode(const QByteArray& json);

    // All nine fields, skippedAnnotations included.
    bool operator==(const AnnotationDocument& other) const;

    // ---- Using stored numbers safely ----

    // The point size to give an image of `imagePixels` pixels: canvasSize when both sides are
    // finite, positive and within a factor of maxPointsPerPixelRatio of the pixel size;
    // otherwise the pixel size (one point per pixel). A damaged or hostile canvasSize thus
    // never drives an enormous or non-finite canvas.
    QSizeF imagePointSize(QSize imagePixels) const;
    static constexpr double maxPointsPerPixelRatio = 16;

    // n + 1, saturating at the largest integer instead of overflowing.
    static qint64 stampNumberAfter(qint64 n);
};

} // namespace snapkin
