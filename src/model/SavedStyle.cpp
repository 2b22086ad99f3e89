#include "model/SavedStyle.h"

#include "model/AnnotationStore.h"
#include "platform/L10n.h"

namespace snapkin {

std::optional<StyleCategory> styleCategory(Tool tool)
{
    switch (tool) {
    case Tool::arrow:
        return StyleCategory::arrow;
    case Tool::text:
        return StyleCategory::text;
    case Tool::rectangle:
    case Tool::ellipse:
        return StyleCategory::shape;
    default:
        return std::nullopt;
    }
}

SavedStyle SavedStyle::capturing(const AnnotationStore& store, Tool tool, const QString& name)
{
    SavedStyle style;
    style.category = styleCategory(tool).value_or(StyleCategory::arrow);
    style.name = name;
    style.colorHex = store.colorHex();
    style.lineWidth = store.lineWidth();
    style.arrowHead = store.arrowHead();
    style.doubleHeaded = store.arrowDoubleHeaded();
    style.curved = store.arrowCurved();
    style.textSize = store.textSize();
    style.bold = store.textBold();
    style.italic = store.textItalic();
    style.fontName = store.textFont();
    style.filled = tool == Tool::ellipse ? store.ellipseFilled() : store.rectFilled();
    return style;
}

namespace {

struct PresetRow {
    const char* id;
    const char* key;
    const char* english;
    StyleCategory category;
    const char* color;
    double lineWidth;
    ArrowHeadStyle head;
    bool curved;
    double textSize;
    bool bold;
};

constexpr std::array<PresetRow, 8> presetRows{{
    {"classic", "style.preset.classic", "Classic", StyleCategory::arrow, "#FF3366", 14,
     ArrowHeadStyle::tapered, false, 18, false},
    {"thinBlue", "style.preset.thinBlue", "Thin Blue", StyleCategory::arrow, "#2E7DF6", 4,
     ArrowHeadStyle::open, false, 18, false},
    {"curvedOrange", "style.preset.curvedOrange", "Curved Orange", StyleCategory::arrow, "#FF9500",
     8, ArrowHeadStyle::filled, true, 18, false},
    {"title", "style.preset.title", "Title", StyleCategory::text, "#FF3366", 4,
     ArrowHeadStyle::tapered, false, 36, true},
    {"note", "style.preset.note", "Note", StyleCategory::text, "#1D1D1F", 4,
     ArrowHeadStyle::tapered, false, 18, false},
    {"onDark", "style.preset.onDark", "On Dark Background", StyleCategory::text, "#FFFFFF", 4,
     ArrowHeadStyle::tapered, false, 24, true},
    {"pinkFrame", "style.preset.pinkFrame", "Pink Frame", StyleCategory::shape, "#FF3366", 6,
     ArrowHeadStyle::tapered, false, 18, false},
    {"thinBlueFrame", "style.preset.thinBlueFrame", "Thin Blue Frame", StyleCategory::shape,
     "#2E7DF6", 2, ArrowHeadStyle::tapered, false, 18, false},
}};

} // namespace

const QList<SavedStyle>& SavedStyle::presets()
{
    static const QList<SavedStyle> styles = [] {
        QList<SavedStyle> list;
        for (const PresetRow& row : presetRows) {
            SavedStyle style;
            style.category = row.category;
            style.preset = QString::fromLatin1(row.id);
            style.colorHex = QString::fromLatin1(row.color);
            style.lineWidth = row.lineWidth;
            style.arrowHead = row.head;
            style.curved = row.curved;
            style.textSize = row.textSize;
            style.bold = row.bold;
            list.append(style);
        }
        return list;
    }();
    return styles;
}

std::optional<QString> SavedStyle::presetName(const QString& presetID)
{
    for (const PresetRow& row : presetRows) {
        if (presetID == QLatin1String(row.id)) return platform::L10n::text(row.key, row.english);
    }
    return std::nullopt;
}

QString SavedStyle::displayName() const
{
    if (name && !name->isEmpty()) return *name;
    if (preset) {
        if (auto presetTitle = presetName(*preset)) return *presetTitle;
    }
    return {};
}

std::expected<QJsonObject, JsonError> SavedStyle::toJson() const
{
    json::JsonWriter writer;
    QJsonObject o;
    o.insert("id", json::uuidText(id));
    o.insert("category", toRaw(category));
    if (name) o.insert("name", *name);
    if (preset) o.insert("preset", *preset);
    o.insert("colorHex", colorHex);
    o.insert("lineWidth", writer.number(lineWidth, "lineWidth"));
    o.insert("arrowHead", toRaw(arrowHead));
    o.insert("doubleHeaded", doubleHeaded);
    o.insert("curved", curved);
    o.insert("textSize", writer.number(textSize, "textSize"));
    o.insert("bold", bold);
    o.insert("italic", italic);
    o.insert("fontName", fontName);
    o.insert("filled", filled);
    if (writer.error()) return std::unexpected(*writer.error());
    return o;
}

std::expected<SavedStyle, JsonError> SavedStyle::fromJson(const QJsonValue& value)
{
    if (!value.isObject()) return std::unexpected(JsonError{JsonErrorKind::notAnObject, {}});
    const QJsonObject o = value.toObject();
    if (json::isMissing(o, "category"))
        return std::unexpected(JsonError{JsonErrorKind::missingValue, "category"});
    auto category = json::readEnum<StyleCategory>(o.value("category"), "category");
    if (!category) return std::unexpected(category.error());

    SavedStyle style;
    style.category = *category;
    std::optional<JsonError> error;
    json::readField(o, "id", json::readUuid, style.id, error);
    json::readField(o, "name", json::readString, style.name, error);
    json::readField(o, "preset", json::readString, style.preset, error);
    json::readField(o, "colorHex", json::readString, style.colorHex, error);
    json::readField(o, "lineWidth", json::readDouble, style.lineWidth, error);
    json::readField(o, "doubleHeaded", json::readBool, style.doubleHeaded, error);
    json::readField(o, "curved", json::readBool, style.curved, error);
    json::readField(o, "textSize", json::readDouble, style.textSize, error);
    json::readField(o, "bold", json::readBool, style.bold, error);
    json::readField(o, "italic", json::readBool, style.italic, error);
    json::readField(o, "fontName", json::readString, style.fontName, error);
    json::readField(o, "filled", json::readBool, style.filled, error);
    if (error) return std::unexpected(*error);
    // An unreadable head is not worth losing the style over.
    if (!json::isMissing(o, "arrowHead")) {
        if (auto head = json::readEnum<ArrowHeadStyle>(o.value("arrowHead"), "arrowHead"))
            style.arrowHead = *head;
    }
    return style;
}

} // namespace snapkin
