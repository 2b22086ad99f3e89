#include "model/Annotation.h"

#include <QJsonArray>

namespace snapkin {

namespace {

// Reads an optional key into `field`: absent or null keeps the default, a value that does not
// read fails.
template <typename T, typename Reader>
std::optional<JsonError> take(const QJsonObject& object, QLatin1String key, T& field, Reader read)
{
    const QString k(key);
    const QJsonValue value = object.value(k);
    if (value.isUndefined() || value.isNull()) return std::nullopt;
    auto result = read(value, k);
    if (!result) return result.error();
    field = std::move(*result);
    return std::nullopt;
}

// Like take(), but a value that does not name a case is ignored.
template <NamedEnum E> void takeLeniently(const QJsonObject& object, QLatin1String key, E& field)
{
    if (auto e = json::readEnum<E>(object.value(QString(key)), QString(key))) field = *e;
}

bool same(QPointF a, QPointF b)
{
    return a.x() == b.x() && a.y() == b.y();
}

bool same(const QList<QPointF>& a, const QList<QPointF>& b)
{
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!same(a[i], b[i])) return false;
    }
    return true;
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

    const auto optionalBool =
        [](const QJsonValue& v, const QString& k) -> std::expected<std::optional<bool>, JsonError> {
        auto b = json::readBool(v, k);
        if (!b) return std::unexpected(b.error());
        return std::optional<bool>(*b);
    };
    const auto optionalDouble =
        [](const QJsonValue& v,
           const QString& k) -> std::expected<std::optional<double>, JsonError> {
        auto d = json::readDouble(v, k);
        if (!d) return std::unexpected(d.error());
        return std::optional<double>(*d);
    };
    const auto optionalBytes =
        [](const QJsonValue& v,
           const QString& k) -> std::expected<std::optional<QByteArray>, JsonError> {
        auto bytes = json::readBase64(v, k);
        if (!bytes) return std::unexpected(bytes.error());
        return std::optional<QByteArray>(std::move(*bytes));
    };

    using L = QLatin1String;
    std::optional<JsonError> error;
    const auto step = [&](std::optional<JsonError> e) {
        if (e && !error) error = e;
    };
    step(take(o, L("id"), a.id, json::readUuid));
    step(take(o, L("colorHex"), a.colorHex, json::readString));
    step(take(o, L("lineWidth"), a.lineWidth, json::readDouble));
    step(take(o, L("text"), a.text, json::readString));
    step(take(o, L("fontSize"), a.fontSize, json::readDouble));
    step(take(o, L("bold"), a.bold, json::readBool));
    step(take(o, L("italic"), a.italic, json::readBool));
    step(take(o, L("fontName"), a.fontName, json::readString));
    step(take(o, L("filled"), a.filled, json::readBool));
    step(take(o, L("doubleHeaded"), a.doubleHeaded, json::readBool));
    takeLeniently(o, L("arrowHead"), a.arrowHead);
    takeLeniently(o, L("stamp"), a.stamp);
    takeLeniently(o, L("obscure"), a.obscure);
    step(take(o, L("obscureStrength"), a.obscureStrength, json::readDouble));
    step(take(o, L("highlightOpacity"), a.highlightOpacity, json::readDouble));
    step(take(o, L("points"), a.points, json::readPoints));
    step(take(o, L("spotEllipse"), a.spotEllipse, json::readBool));
    step(take(o, L("spotDim"), a.spotDim, json::readDouble));
    step(take(o, L("imageData"), a.imageData, optionalBytes));
    step(take(o, L("disc"), a.disc, optionalBool));
    step(take(o, L("stampLabel"), a.stampLabel, json::readString));
    step(take(o, L("tailAngle"), a.tailAngle, optionalDouble));
    step(take(o, L("tailLength"), a.tailLength, json::readDouble));
    step(take(o, L("curved"), a.curved, json::readBool));
    step(take(o, L("curveHandle"), a.curveHandle, json::readPoint));
    step(take(o, L("magnification"), a.magnification, json::readDouble));
    step(take(o, L("magnifierRound"), a.magnifierRound, json::readBool));
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
           same(points, o.points) && spotEllipse == o.spotEllipse && spotDim == o.spotDim &&
           imageData == o.imageData && disc == o.disc && stampLabel == o.stampLabel &&
           tailAngle == o.tailAngle && tailLength == o.tailLength && curved == o.curved &&
           same(curveHandle, o.curveHandle) && magnification == o.magnification &&
           magnifierRound == o.magnifierRound;
}

} // namespace snapkin
