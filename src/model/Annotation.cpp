#include "model/Annotation.h"

#include <algorithm>

namespace snapkin {

namespace {

// A value that does not name a case is ignored, as is a missing one.
template <NamedEnum E> void takeLeniently(const QJsonObject& object, QLatin1String key, E& field)
{
    if (auto e = json::readEnum<E>(object.value(QString(key)), QString(key))) field = *e;
}

bool same(QPointF a, QPointF b)
{
    return a.x() == b.x() && a.y() == b.y();
}

} // namespace

std::expected<QJsonObject, JsonError> Annotation::toJson() const
{
    json::JsonWriter w;
    QJsonObject o;
    o.insert(u"id", json::uuidText(id));
    o.insert(u"kind", toRaw(kind));
    o.insert(u"p1", w.point(p1, "p1"));
    o.insert(u"p2", w.point(p2, "p2"));
    o.insert(u"colorHex", colorHex);
    o.insert(u"lineWidth", w.number(lineWidth, "lineWidth"));
    o.insert(u"text", text);
    o.insert(u"fontSize", w.number(fontSize, "fontSize"));
    o.insert(u"bold", bold);
    o.insert(u"italic", italic);
    o.insert(u"fontName", fontName);
    o.insert(u"filled", filled);
    o.insert(u"doubleHeaded", doubleHeaded);
    o.insert(u"arrowHead", toRaw(arrowHead));
    o.insert(u"stamp", toRaw(stamp));
    o.insert(u"obscure", toRaw(obscure));
    o.insert(u"obscureStrength", w.number(obscureStrength, "obscureStrength"));
    o.insert(u"highlightOpacity", w.number(highlightOpacity, "highlightOpacity"));
    o.insert(u"points", w.points(points, "points"));
    o.insert(u"spotEllipse", spotEllipse);
    o.insert(u"spotDim", w.number(spotDim, "spotDim"));
    if (imageData) o.insert(u"imageData", QString::fromLatin1(imageData->toBase64()));
    if (disc) o.insert(u"disc", *disc);
    o.insert(u"stampLabel", stampLabel);
    if (tailAngle) o.insert(u"tailAngle", w.number(*tailAngle, "tailAngle"));
    o.insert(u"tailLength", w.number(tailLength, "tailLength"));
    o.insert(u"curved", curved);
    o.insert(u"curveHandle", w.point(curveHandle, "curveHandle"));
    o.insert(u"magnification", w.number(magnification, "magnification"));
    o.insert(u"magnifierRound", magnifierRound);
    if (w.error()) return std::unexpected(*w.error());
    return o;
}

std::expected<Annotation, JsonError> Annotation::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(JsonError{JsonErrorKind::notAnObject, QStringLiteral("annotation")});
    const QJsonObject o = value.toObject();

    auto kind = json::readEnum<AnnotationKind>(o.value(u"kind"), QStringLiteral("kind"));
    if (!kind) {
        if (json::isMissing(o, QStringLiteral("kind")))
            return std::unexpected(JsonError{JsonErrorKind::missingValue, QStringLiteral("kind")});
        return std::unexpected(kind.error());
    }
    auto p1 = json::readPoint(o.value(u"p1"), QStringLiteral("p1"));
    if (!p1) return std::unexpected(p1.error());
    auto p2 = json::readPoint(o.value(u"p2"), QStringLiteral("p2"));
    if (!p2) return std::unexpected(p2.error());

    Annotation a{.kind = *kind, .p1 = *p1, .p2 = *p2};

    std::optional<JsonError> error;
    json::readField(o, "id", json::readUuid, a.id, error);
    json::readField(o, "colorHex", json::readString, a.colorHex, error);
    json::readField(o, "lineWidth", json::readDouble, a.lineWidth, error);
    json::readField(o, "text", json::readString, a.text, error);
    json::readField(o, "fontSize", json::readDouble, a.fontSize, error);
    json::readField(o, "bold", json::readBool, a.bold, error);
    json::readField(o, "italic", json::readBool, a.italic, error);
    json::readField(o, "fontName", json::readString, a.fontName, error);
    json::readField(o, "filled", json::readBool, a.filled, error);
    json::readField(o, "doubleHeaded", json::readBool, a.doubleHeaded, error);
    takeLeniently(o, QLatin1String("arrowHead"), a.arrowHead);
    takeLeniently(o, QLatin1String("stamp"), a.stamp);
    takeLeniently(o, QLatin1String("obscure"), a.obscure);
    json::readField(o, "obscureStrength", json::readDouble, a.obscureStrength, error);
    json::readField(o, "highlightOpacity", json::readDouble, a.highlightOpacity, error);
    json::readField(o, "points", json::readPoints, a.points, error);
    json::readField(o, "spotEllipse", json::readBool, a.spotEllipse, error);
    json::readField(o, "spotDim", json::readDouble, a.spotDim, error);
    json::readField(o, "imageData", json::readBase64, a.imageData, error);
    json::readField(o, "disc", json::readBool, a.disc, error);
    json::readField(o, "stampLabel", json::readString, a.stampLabel, error);
    json::readField(o, "tailAngle", json::readDouble, a.tailAngle, error);
    json::readField(o, "tailLength", json::readDouble, a.tailLength, error);
    json::readField(o, "curved", json::readBool, a.curved, error);
    json::readField(o, "curveHandle", json::readPoint, a.curveHandle, error);
    json::readField(o, "magnification", json::readDouble, a.magnification, error);
    json::readField(o, "magnifierRound", json::readBool, a.magnifierRound, error);
    if (error) return std::unexpected(*error);
    return a;
}

bool Annotation::operator==(const Annotation& o) const
{
    return id == o.id && kind == o.kind && same(p1, o.p1) && same(p2, o.p2) &&
           colorHex == o.colorHex && lineWidth == o.lineWidth && text == o.text &&
           fontSize == o.fontSize && bold == o.bold && italic == o.italic &&
           fontName == o.fontName && filled == o.filled && doubleHeaded == o.doubleHeaded &&
           arrowHead == o.arrowHead && stamp == o.stamp && obscure == o.obscure &&
           obscureStrength == o.obscureStrength && highlightOpacity == o.highlightOpacity &&
           std::ranges::equal(points, o.points, [](QPointF x, QPointF y) { return same(x, y); }) &&
           spotEllipse == o.spotEllipse && spotDim == o.spotDim && imageData == o.imageData &&
           disc == o.disc && stampLabel == o.stampLabel && tailAngle == o.tailAngle &&
           tailLength == o.tailLength && curved == o.curved && same(curveHandle, o.curveHandle) &&
           magnification == o.magnification && magnifierRound == o.magnifierRound;
}

} // namespace snapkin
