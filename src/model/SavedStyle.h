#pragma once

#include "model/AnnotationKinds.h"
#include "model/EnumCoding.h"
#include "model/JsonCoding.h"
#include "model/Tool.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <expected>
#include <optional>
#include <string_view>

namespace snapkin {

class AnnotationStore;

// Which tools a saved style serves.
enum class StyleCategory { arrow, text, shape };

template <> struct EnumTable<StyleCategory> {
    static constexpr std::array cases{StyleCategory::arrow, StyleCategory::text,
                                      StyleCategory::shape};
    static constexpr std::array<std::string_view, 3> names{"arrow", "text", "shape"};
};

// arrow → arrow, text → text, rectangle and ellipse → shape; nothing for the other tools.
std::optional<StyleCategory> styleCategory(Tool tool);

// A named set of the edit store's style settings that the user can apply again later. Every
// style carries all fields; only those of its category are used when it is applied.
struct SavedStyle {
    QUuid id = QUuid::createUuid();
    StyleCategory category = StyleCategory::arrow;
    // The user's name; none for presets.
    std::optional<QString> name;
    // The built-in preset it came from; none for the user's own styles.
    std::optional<QString> preset;
    QString colorHex = QStringLiteral("#FF3366");
    double lineWidth = 4;
    ArrowHeadStyle arrowHead = ArrowHeadStyle::tapered;
    bool doubleHeaded = false;
    bool curved = false;
    double textSize = 18;
    bool bold = false;
    bool italic = false;
    // Empty means the renderer's default font.
    QString fontName;
    bool filled = false;

    // The store's current settings as a style of the tool's category (arrow for a tool
    // without one).
    static SavedStyle capturing(const AnnotationStore& store, Tool tool, const QString& name);

    // The eight built-in styles, made once per process, so their ids stay the same for its
    // whole life.
    static const QList<SavedStyle>& presets();
    // The localised name of a preset id; none for an id that is not a preset.
    static std::optional<QString> presetName(const QString& presetID);
    // The user's name when it is not empty, else the preset's name, else empty.
    QString displayName() const;

    // All fourteen keys, "name" and "preset" only when present. Fails on a non-finite number.
    std::expected<QJsonObject, JsonError> toJson() const;
    // "category" is required; other keys replace their defaults when present and not null; a
    // value of the wrong type fails, except an unreadable "arrowHead", which stays tapered.
    static std::expected<SavedStyle, JsonError> fromJson(const QJsonValue& value);

    bool operator==(const SavedStyle&) const = default;
};

} // namespace snapkin
