#include "model/FrameStyle.h"

#include "platform/L10n.h"

#include <algorithm>

namespace snapkin {

using platform::L10n;

QString FrameStyle::Gradient::name() const
{
    if (id == u"pink") return L10n::text("Pink");
    if (id == u"sunset") return L10n::text("Sunset");
    if (id == u"violet") return L10n::text("Violet");
    if (id == u"ocean") return L10n::text("Ocean");
    if (id == u"graphite") return L10n::text("Graphite");
    return L10n::text("Mist");
}

const QList<FrameStyle::Gradient>& FrameStyle::gradients()
{
    static const QList<Gradient> presets{
        {QStringLiteral("pink"), {QStringLiteral("#FF4D6D"), QStringLiteral("#D6174F")}},
        {QStringLiteral("sunset"), {QStringLiteral("#FF3366"), QStringLiteral("#FF9F0A")}},
        {QStringLiteral("violet"), {QStringLiteral("#FF3366"), QStringLiteral("#5E5CE6")}},
        {QStringLiteral("ocean"), {QStringLiteral("#2E7DF6"), QStringLiteral("#30C8D6")}},
        {QStringLiteral("graphite"), {QStringLiteral("#48484A"), QStringLiteral("#1C1C1E")}},
        {QStringLiteral("mist"), {QStringLiteral("#F5F5F7"), QStringLiteral("#D2D2D7")}},
    };
    return presets;
}

std::expected<QJsonObject, JsonError> FrameStyle::toJson() const
{
    json::JsonWriter w;
    QJsonObject o;
    o.insert(u"background", toRaw(background));
    o.insert(u"gradientColors", QJsonArray::fromStringList(gradientColors));
    o.insert(u"solidHex", solidHex);
    o.insert(u"padding", w.number(padding, "padding"));
    o.insert(u"cornerRadius", w.number(cornerRadius, "cornerRadius"));
    o.insert(u"shadow", w.number(shadow, "shadow"));
    o.insert(u"aspect", toRaw(aspect));
    if (w.error()) return std::unexpected(*w.error());
    return o;
}

std::expected<FrameStyle, JsonError> FrameStyle::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::unexpected(JsonError{JsonErrorKind::notAnObject, QStringLiteral("frame")});
    const QJsonObject o = value.toObject();
    FrameStyle f;
    // Each field on its own: a bad value gives that field's default and nothing else.
    if (auto v = json::readEnum<FrameBackgroundKind>(o.value(u"background"), {})) f.background = *v;
    if (auto v = json::readStringArray(o.value(u"gradientColors"), {}); v && !v->isEmpty())
        f.gradientColors = *v;
    if (auto v = json::readString(o.value(u"solidHex"), {})) f.solidHex = *v;
    if (auto v = json::readDouble(o.value(u"padding"), {})) f.padding = *v;
    if (auto v = json::readDouble(o.value(u"cornerRadius"), {})) f.cornerRadius = *v;
    if (auto v = json::readDouble(o.value(u"shadow"), {})) f.shadow = *v;
    if (auto v = json::readEnum<CropAspect>(o.value(u"aspect"), {})) f.aspect = *v;
    f.padding = std::clamp(f.padding, 0.0, maxPadding);
    f.cornerRadius = std::clamp(f.cornerRadius, 0.0, maxCornerRadius);
    f.shadow = std::clamp(f.shadow, 0.0, 1.0);
    return f;
}

} // namespace snapkin
