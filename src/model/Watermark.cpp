#include "model/Watermark.h"

#include <algorithm>

namespace snapkin {

bool Watermark::isVisible() const
{
    if (kind == WatermarkKind::image) return imageData.has_value();
    return !text.trimmed().isEmpty();
}

std::expected<QJsonObject, JsonError> Watermark::toJson() const
{
    json::JsonWriter w;
    QJsonObject o;
    o.insert(u"kind", toRaw(kind));
    o.insert(u"text", text);
    if (imageData) o.insert(u"imageData", QString::fromLatin1(imageData->toBase64()));
    o.insert(u"colorHex", colorHex);
    o.insert(u"position", toRaw(position));
    o.insert(u"opacity", w.number(opacity, "opacity"));
    o.insert(u"size", w.number(size, "size"));
    if (w.error()) return std::unexpected(*w.error());
    return o;
}

std::expected<Watermark, JsonError> Watermark::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(JsonError{JsonErrorKind::notAnObject, QStringLiteral("watermark")});
    const QJsonObject o = value.toObject();
    Watermark m;
    // Each field on its own: a bad value gives that field's default and nothing else.
    if (auto v = json::readEnum<WatermarkKind>(o.value(u"kind"), {})) m.kind = *v;
    if (auto v = json::readString(o.value(u"text"), {})) m.text = *v;
    if (auto v = json::readBase64(o.value(u"imageData"), {})) m.imageData = std::move(*v);
    if (auto v = json::readString(o.value(u"colorHex"), {})) m.colorHex = *v;
    if (auto v = json::readEnum<WatermarkPosition>(o.value(u"position"), {})) m.position = *v;
    if (auto v = json::readDouble(o.value(u"opacity"), {})) m.opacity = *v;
    if (auto v = json::readDouble(o.value(u"size"), {})) m.size = *v;
    m.opacity = std::clamp(m.opacity, minOpacity, 1.0);
    m.size = std::clamp(m.size, minSize, maxSize);
    return m;
}

} // namespace snapkin
