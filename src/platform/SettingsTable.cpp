#include "platform/SettingsTable.h"

#include <QDir>
#include <QHash>
#include <QJsonArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace snapkin::platform {

namespace {

using T = SettingType;

// The capture countdown's menu (settings and tray): off, 3, 5 or 10 seconds.
constexpr std::array<int, 4> countdownSeconds{0, 3, 5, 10};
// The history's "Keep captures for" menu, in days; 0 keeps them for ever.
constexpr std::array<int, 5> retentionDays{7, 30, 90, 365, 0};

// Names of choices (formats, styles, languages, tab tags) are short; paths are at most PATH_MAX.
constexpr qsizetype nameLength = 64;
constexpr qsizetype pathLength = 4096;
// A moment as seconds since 1970; up to the year 5138.
constexpr double latestTime = 1e11;
// Counts that only ever grow by one.
constexpr double largestCount = 1e12;

SettingSpec flag(const char* key, bool fallback)
{
    return {key, T::boolean, fallback};
}

SettingSpec name(const char* key, QVariant fallback = {})
{
    return {key, T::string, std::move(fallback), 0, 0, {}, nameLength};
}

SettingSpec number(const char* key, double minimum, double maximum, QVariant fallback = {})
{
    return {key, T::number, std::move(fallback), minimum, maximum};
}

SettingSpec whole(const char* key, double minimum, double maximum, QVariant fallback = {})
{
    return {key, T::integer, std::move(fallback), minimum, maximum};
}

SettingSpec oneOf(const char* key, std::span<const int> choices, int fallback)
{
    return {key, T::integer, fallback, 0, 0, choices};
}

SettingSpec path(const char* key)
{
    return {key, T::path, {}, 0, 0, {}, pathLength};
}

SettingSpec data(const char* key)
{
    return {key, T::data, {}, 0, 0, {}, SettingsTable::maximumFileBytes};
}

// A global capture shortcut: a virtual key code, a modifier mask and the key's label.
void hotKey(std::vector<SettingSpec>& table, const char* base)
{
    static std::vector<QByteArray> names; // the table holds pointers to these
    for (const char* suffix : {"KeyCode", "Modifiers", "KeyLabel"})
        names.push_back(QByteArray(base) + suffix);
    const auto at = names.size() - 3;
    table.push_back(whole(names[at].constData(), 0, 0xffff));
    table.push_back(whole(names[at + 1].constData(), 0, 0xffffffff));
    table.push_back({names[at + 2].constData(), T::string, {}, 0, 0, {}, 32});
}

std::vector<SettingSpec> makeTable()
{
    std::vector<SettingSpec> t{
        // Application and settings window.
        flag("showInDock", false),
        flag("showInMenuBar", true),
        flag("showOnboardingOnLaunch", true),
        flag("didShowOnboarding", false),
        flag("whatsNew2Shown", false),
        name("appearance", QStringLiteral("system")),
        name("appLanguage", QStringLiteral("system")),
        name("settingsTab"),
        // The start window's place: QWidget::saveGeometry() in Base64 (about 90 characters).
        {"startWindowFrame", T::string, {}, 0, 0, {}, 512},
        // After a capture.
        flag("afterCaptureShow", true),
        flag("afterCaptureCopy", false),
        flag("afterCaptureSaveToDisk", false),
        flag("afterCaptureQuickAccess", false),
        path("defaultSaveFolder"),
        path("defaultSaveFolderBookmark"),
        // Capturing.
        oneOf("captureDelay", countdownSeconds, 0),
        flag("freezeScreenWhileSelecting", false),
        flag("captureSound", false),
        flag("adjustRegionBeforeCapture", false),
        flag("showMagnifierWhileSelecting", true),
        flag("hideDesktopIconsWhileCapturing", false),
        flag("windowCaptureShadow", true),
        flag("windowCaptureTransparentBackground", true),
        // Display identifier, x, y, width, height.
        {"lastRegionRect", T::numberList, {}, -1e10, 1e10, {}, 5},
        flag("watchSystemScreenshots", false),
        path("systemScreenshotsFolderBookmark"),
        // Saving and copying: the quality slider runs from 30 % to 100 %.
        name("exportFormat", QStringLiteral("png")),
        number("jpegQuality", 0.3, 1.0),
        number("webpQuality", 0.3, 1.0),
        flag("autoCopyAfterSave", false),
        flag("copyAtFullSize", false),
        flag("alsoSaveSnapkinDocument", false),
        flag("frameApplyAlways", false),
        flag("frameLastOn", false),
        flag("watermarkLastOn", false),
        data("frameStyle"),
        data("watermarkStyle"),
        // The editor: the defaults of its tools, in their controls' ranges.
        name("defaultColor"),
        number("defaultLineWidth", 1, 60),
        name("defaultArrowHead"),
        number("defaultTextSize", 10, 48),
        name("defaultObscureStyle"),
        number("defaultObscureStrength", 0.4, 3.0),
        number("defaultHighlightOpacity", 0.1, 1.0),
        number("defaultSpotlightDim", 0.2, 0.9),
        flag("defaultSpotlightEllipse", true),
        name("defaultStampKind"),
        number("sharpenAmount", 1, 100),
        flag("showOptionsBar", true),
        flag("selectableTextEnabled", false),
        {"editorToolbarItems", T::stringList, {}, 0, 0, {}, 256, nameLength},
        {"recentDocuments", T::stringList, {}, 0, 0, {}, 100, pathLength},
        data("savedAnnotationStyles"),
        // History.
        flag("historyEnabled", true),
        oneOf("historyRetentionDays", retentionDays, 30),
        // Newsletter and review prompts.
        number("newsletterFirstLaunch", 0, latestTime),
        number("newsletterNextPrompt", 0, latestTime),
        whole("newsletterCaptureCount", 0, largestCount),
        flag("newsletterSubscribed", false),
        number("reviewFirstLaunch", 0, latestTime),
        whole("reviewExportCount", 0, largestCount),
    };
    for (const char* base : {"captureHotKey", "captureHotKeyWindow", "captureHotKeyFrontWindow",
                             "captureHotKeyFullScreen", "captureHotKeyLastRegion",
                             "captureHotKeyCopyText"})
        hotKey(t, base);
    return t;
}

const std::vector<SettingSpec>& table()
{
    static const std::vector<SettingSpec> instance = makeTable();
    return instance;
}

bool isWhole(double d)
{
    return std::isfinite(d) && std::trunc(d) == d;
}

bool inRange(const SettingSpec& spec, double d)
{
    return std::isfinite(d) && d >= spec.minimum && d <= spec.maximum;
}

} // namespace

std::span<const SettingSpec> SettingsTable::all()
{
    return table();
}

const SettingSpec* SettingsTable::find(const QString& key)
{
    static const QHash<QString, const SettingSpec*> index = [] {
        QHash<QString, const SettingSpec*> byKey;
        for (const SettingSpec& spec : table())
            byKey.insert(QString::fromLatin1(spec.key), &spec);
        return byKey;
    }();
    return index.value(key, nullptr);
}

bool SettingsTable::accepts(const SettingSpec& spec, const QJsonValue& stored,
                            const QVariant& value)
{
    switch (spec.type) {
    case T::boolean:
        return stored.isBool();
    case T::integer: {
        if (!stored.isDouble() || !isWhole(stored.toDouble())) return false;
        const double d = stored.toDouble();
        if (!spec.choices.empty())
            return std::find(spec.choices.begin(), spec.choices.end(), d) != spec.choices.end();
        return inRange(spec, d);
    }
    case T::number:
        return stored.isDouble() && inRange(spec, stored.toDouble());
    case T::string:
        return stored.isString() && stored.toString().size() <= spec.maxLength;
    case T::path: {
        // Stored as text, or as the file name's bytes in a data object.
        QString text;
        if (value.typeId() == QMetaType::QString) text = value.toString();
        else if (value.typeId() == QMetaType::QByteArray) text = QString::fromUtf8(value.toByteArray());
        else return false;
        return text.size() <= spec.maxLength && (text.isEmpty() || QDir::isAbsolutePath(text));
    }
    case T::data:
        return value.typeId() == QMetaType::QByteArray &&
               value.toByteArray().size() <= spec.maxLength;
    case T::stringList: {
        if (!stored.isArray()) return false;
        const QJsonArray items = stored.toArray();
        if (items.size() > spec.maxLength) return false;
        return std::all_of(items.begin(), items.end(), [&](const QJsonValue& item) {
            return item.isString() && item.toString().size() <= spec.maxItemLength;
        });
    }
    case T::numberList: {
        if (!stored.isArray()) return false;
        const QJsonArray items = stored.toArray();
        if (items.size() > spec.maxLength) return false;
        return std::all_of(items.begin(), items.end(), [&](const QJsonValue& item) {
            return item.isDouble() && inRange(spec, item.toDouble());
        });
    }
    }
    return false;
}

} // namespace snapkin::platform
