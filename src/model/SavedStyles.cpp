#include "model/SavedStyles.h"

#include "platform/Defaults.h"
#include "platform/Observable.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace snapkin {

SavedStyles::SavedStyles(platform::Defaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults)
{
    m_styles = SavedStyle::presets();
    if (m_defaults.hasStoredValue(keys::savedAnnotationStyles)) {
        if (auto stored = decode(m_defaults.get(keys::savedAnnotationStyles)))
            m_styles = std::move(*stored);
    }
}

void SavedStyles::setStyles(QList<SavedStyle> styles)
{
    platform::publish(this, m_styles, std::move(styles), &SavedStyles::stylesChanged);
}

QList<SavedStyle> SavedStyles::styles(Tool tool) const
{
    QList<SavedStyle> result;
    const auto category = styleCategory(tool);
    if (!category) return result;
    for (const SavedStyle& style : m_styles) {
        if (style.category == *category) result.append(style);
    }
    return result;
}

void SavedStyles::remove(const QUuid& id)
{
    QList<SavedStyle> kept = m_styles;
    kept.removeIf([&](const SavedStyle& s) { return s.id == id; });
    setStyles(std::move(kept));
    save();
}

void SavedStyles::rename(const QUuid& id, const QString& name)
{
    const QString trimmed = name.trimmed();
    const auto found = std::ranges::find(std::as_const(m_styles), id, &SavedStyle::id);
    if (trimmed.isEmpty() || found == m_styles.cend()) return;
    QList<SavedStyle> renamed = m_styles;
    renamed[found - m_styles.cbegin()].name = trimmed; // a named preset still counts as a preset
    setStyles(std::move(renamed));
    save();
}

void SavedStyles::restoreDefaults()
{
    QList<SavedStyle> styles = SavedStyle::presets();
    for (const SavedStyle& style : m_styles) {
        if (!style.preset) styles.append(style);
    }
    setStyles(std::move(styles));
    save();
}

bool SavedStyles::save()
{
    auto data = encode(m_styles);
    // Writing empty data here would wipe the user's styles from the settings for good.
    if (!data) return false;
    return m_defaults.set(keys::savedAnnotationStyles, *data);
}

std::expected<QByteArray, JsonError> SavedStyles::encode(const QList<SavedStyle>& styles)
{
    QJsonArray array;
    for (const SavedStyle& style : styles) {
        auto object = style.toJson();
        if (!object) return std::unexpected(object.error());
        array.append(*object);
    }
    // QJsonObject keeps its keys sorted, so every level is written in key order.
    QJsonObject file{{"version", 1}, {"styles", array}};
    return QJsonDocument(file).toJson(QJsonDocument::Compact);
}

std::expected<QList<SavedStyle>, JsonError> SavedStyles::decode(const QByteArray& data)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return std::unexpected(JsonError{JsonErrorKind::malformed, {}});
    if (!document.isObject()) return std::unexpected(JsonError{JsonErrorKind::notAnObject, {}});
    const QJsonObject file = document.object();
    if (json::isMissing(file, "version"))
        return std::unexpected(JsonError{JsonErrorKind::missingValue, "version"});
    if (auto version = json::readInteger(file.value("version"), "version"); !version)
        return std::unexpected(version.error());
    if (json::isMissing(file, "styles"))
        return std::unexpected(JsonError{JsonErrorKind::missingValue, "styles"});
    if (!file.value("styles").isArray())
        return std::unexpected(JsonError{JsonErrorKind::wrongType, "styles"});
    QList<SavedStyle> styles;
    for (const QJsonValue& value : file.value("styles").toArray()) {
        auto style = SavedStyle::fromJson(value);
        if (!style) return std::unexpected(style.error());
        styles.append(std::move(*style));
    }
    return styles;
}

} // namespace snapkin
