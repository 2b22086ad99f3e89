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

    // A document is untrusted input: past its budget it is refused as `tooLarge` ("The document
    // is too large to open.") before it is parsed. The budget is the memory reading the text
    // would take, estimated from its structure (json::parsedCost: every array, a pen point among
    // them, every value, and every object with the annotation decoded from it), so the same
    // annotations cost the same written compactly or indented. Any text may cost `floorBytes`:
    // a million pen points or some 200,000 small annotations. A longer text may cost
    // `bytesPerTextByte` times its length: the indented writer here spends more than a third of
    // a byte of text on every byte its annotations and points cost, so whatever this
    // application wrote reopens however much it held, while blanks buy a hostile text no more
    // than three times their own length. Texts, numbers and Base64 image data cost about their own
    // length, held by the package's bound on the file; nesting is held by the JSON parser. An
    // annotation decoded from an object takes some 450 bytes beside its parsed JSON: 352 of its
    // own, and its texts.
    static constexpr json::ParsedCosts decodingCosts{.perObject = 192 + 448};
    struct DecodingBudget {
        qint64 floorBytes = 256LL * 1024 * 1024;
        qint64 bytesPerTextByte = 3;
        // What a text of `textBytes` bytes may cost to read.
        qint64 allowanceFor(qint64 textBytes) const;
    };
    // Whether parsing the text stays within the budget (checked without parsing it); the
    // reader's own budget when none is given.
    static bool withinDecodingCost(const QByteArray& json);
    static bool withinDecodingCost(const QByteArray& json, DecodingBudget budget);

    // ---- JSON ----

    // Fails only on a number JSON cannot hold.
    std::expected<QJsonObject, JsonError> toJson() const;
    // UTF-8 JSON, indented, keys sorted, so the same document gives the same bytes.
    std::expected<QByteArray, JsonError> encoded() const;

    // The tolerant reader: an annotation that does not decode is dropped and counted; a bad
    // frame or watermark is dropped. Fails on a missing or malformed canvasSize, or a malformed
    // version, nextStampNumber, pixelSize, generator or annotations value.
    // decode() refuses a text past `budget` as `tooLarge` before parsing it; fromJson() takes a
    // value already parsed, whose cost is spent.
    static std::expected<AnnotationDocument, JsonError> fromJson(const QJsonValue& value);
    static std::expected<AnnotationDocument, JsonError> decode(const QByteArray& json);
    static std::expected<AnnotationDocument, JsonError> decode(const QByteArray& json,
                                                               DecodingBudget budget);

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
