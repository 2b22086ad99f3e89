#pragma once

#include "model/AnnotationKinds.h"
#include "model/JsonCoding.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>

#include <expected>
#include <optional>

namespace snapkin {

// One mark on an image. A plain value: one flat record serves every kind, each kind reading
// the fields that concern it. Coordinates are image points, origin top left, y down; angles
// are radians, an angle a pointing along (cos a, sin a).
//
// Build one with designated initialisers; every field not given keeps its default and `id`
// is a fresh random UUID:
//     Annotation a{.kind = AnnotationKind::rectangle, .p1 = {0, 0}, .p2 = {100, 50}};
struct Annotation {
    QUuid id = QUuid::createUuid();
    AnnotationKind kind = AnnotationKind::arrow;
    QPointF p1{};
    QPointF p2{};
    QString colorHex = QStringLiteral("#FF3366");
    double lineWidth = 4;
    // A text annotation's text; a sticker's emoji.
    QString text{};
    double fontSize = 18;
    bool bold = false;
    bool italic = false;
    // Empty means the renderer's default font.
    QString fontName{};
    bool filled = false;
    bool doubleHeaded = false;
    ArrowHeadStyle arrowHead = ArrowHeadStyle::tapered;
    StampKind stamp = StampKind::check;
    ObscureStyle obscure = ObscureStyle::pixelate;
    double obscureStrength = 1.0;
    double highlightOpacity = 0.45;
    // A pen stroke's path, in drawing order.
    QList<QPointF> points{};
    bool spotEllipse = true;
    double spotDim = 0.5;
    // A placed image's encoded bytes.
    std::optional<QByteArray> imageData{};
    // Whether a stamp sits on a filled disc; absent means only number stamps do.
    std::optional<bool> disc{};
    QString stampLabel{};
    // Direction of a stamp's tail from its centre; absent means no tail.
    std::optional<double> tailAngle{};
    double tailLength = 34;
    bool curved = false;
    // The curve's handle relative to the chord p1→p2: t along it, n across it, both in chord
    // lengths.
    QPointF curveHandle{0.5, -0.22};
    double magnification = 2;
    bool magnifierRound = true;

    // ---- JSON ----

    // One object keyed by field name. imageData, disc and tailAngle are written only when
    // present. Fails only on a number JSON cannot hold (NaN, infinity).
    std::expected<QJsonObject, JsonError> toJson() const;
    // Fails when kind, p1 or p2 is missing or invalid, or another present key has a value of
    // the wrong type. An arrowHead, stamp or obscure naming no case keeps its default; null
    // reads as missing. Values are not range-checked.
    static std::expected<Annotation, JsonError> fromJson(const QJsonValue& value);

    // All thirty fields, id included; numbers compare exactly.
    bool operator==(const Annotation& other) const;

    // ---- Geometry ----

    // The rectangle spanned by p1 and p2.
    QRectF box() const { return boxOf(p1, p2); }
    static QRectF boxOf(QPointF a, QPointF b);

    // Selection outline and handles; line width and pen points are not included.
    QRectF boundingRect() const;
    // Whether a click at `point` selects this annotation.
    bool contains(QPointF point) const;
    // Distance from q to the segment a–b.
    static double distance(QPointF q, QPointF a, QPointF b);
    // The tip of a stamp's tail, when it has one.
    std::optional<QPointF> tailTip() const;
    // The label beside a stamp, when it has one.
    std::optional<QRectF> stampLabelRect() const;
    // The quadratic Bézier control point that makes the curve pass through the handle.
    QPointF curveControlPoint() const;
    // count + 1 points along the curve, from p1 to p2 (count at least 1).
    QList<QPointF> curveSamples(int count) const;
    // The curveHandle value that puts the curve's midpoint at q; the current value when the
    // ends coincide.
    QPointF curveHandlePlacingHandleAt(QPointF q) const;
    // The smallest rectangle holding all points; the zero rectangle for none.
    static QRectF bounds(const QList<QPointF>& points);

    // Number of samples used for the bounds, hit test and drawing of a curved arrow.
    static constexpr int curveSampleCount = 48;
};

} // namespace snapkin
