#include "platform/SettingsTable.h"

#include <QDir>
#include <QHash>
#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace snapkin::platform {

namespace {

using T = SettingType;

// Names of choices (formats, styles, languages, tab tags) are short; paths are at most PATH_MAX.
constexpr qsizetype nameLength = 64;
constexpr qsizetype pathLength = 4096;
// A moment as seconds since 1970: readers take 0 or less as not set, and nothing reaches past
// the year 5138.
constexpr double latestTime = 1e11;
// Counts and periods: read, one added and written back, or compared; a trillion stays exact in a
// double and far from any overflow.
constexpr double largestCount = 1e12;
// Sizes, widths, opacities and strengths of the editor's tools: their readers take any positive
// value (a document may hold any too); a thousand is far beyond every control's range.
constexpr double largestSize = 1000;
// The capture countdown, in seconds: its reader counts down any positive number; ten minutes
// is far beyond a real use (the menus offer at most 10 s).
constexpr double longestCountdown = 600;

SettingSpec flag(const char* key, bool fallback)
{
    return {key, T::boolean, fallback};
}

SettingSpec name(const char* key, QVariant fallback = {})
{
    return {key, T::string, std::move(fallback), 0, 0, nameLength};
}

SettingSpec number(const char* key, double minimum, double maximum, QVariant fallback = {})
{
    return {key, T::number, std::move(fallback), minimum, maximum};
}

SettingSpec whole(const char* key, double minimum, double maximum, QVariant fallback = {})
{
    return {key, T::integer, std::move(fallback), minimum, maximum};
}

// A number whose reader clamps or ignores any value; only its finiteness is checked.
SettingSpec anyNumber(const char* key)
{
    return number(key, std::numeric_limits<double>::lowest(), std::numeric_limits<double>::max());
}

SettingSpec path(const char* key)
{
    return {key, T::path, {}, 0, 0, pathLength};
}

SettingSpec data(const char* key)
{
    return {key, T::data, {}, 0, 0, SettingsTable::maximumFileBytes};
}

// A global capture shortcut: a virtual key code, a modifier mask and the key's label. The reader
// takes the code and the mask when they are integers that fit 32 bits, else the built-in key.
void hotKey(std::vector<SettingSpec>& table, const char* base)
{
    static std::vector<QByteArray> names; // the table holds pointers to these
    for (const char* suffix : {"KeyCode", "Modifiers", "KeyLabel"})
        names.push_back(QByteArray(base) + suffix);
    const auto at = names.size() - 3;
    table.push_back(whole(names[at].constData(), 0, 0xffffffff));
    table.push_back(whole(names[at + 1].constData(), 0, 0xffffffff));
    table.push_back({names[at + 2].constData(), T::string, {}, 0, 0, 32});
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
        {"startWindowFrame", T::string, {}, 0, 0, 512},
        // After a capture.
        flag("afterCaptureShow", true),
        flag("afterCaptureCopy", false),
        flag("afterCaptureSaveToDisk", false),
        flag("afterCaptureQuickAccess", false),
        path("defaultSaveFolder"),
        path("defaultSaveFolderBookmark"),
        // Capturing.
        // 0 or less: no countdown (a value the menus don't offer checks none of their items).
        whole("captureDelay", -largestCount, longestCountdown, 0),
        flag("freezeScreenWhileSelecting", false),
        flag("captureSound", false),
        flag("adjustRegionBeforeCapture", false),
        flag("showMagnifierWhileSelecting", true),
        flag("hideDesktopIconsWhileCapturing", false),
        flag("windowCaptureShadow", true),
        flag("windowCaptureTransparentBackground", true),
        // Display identifier, x, y, width, height.
        {"lastRegionRect", T::numberList, {}, -1e10, 1e10, 5},
        flag("watchSystemScreenshots", false),
        path("systemScreenshotsFolderBookmark"),
        // Saving and copying. The encoders clamp the quality to 0 … 1 (the slider sets 0.3 … 1).
        name("exportFormat", QStringLiteral("png")),
        anyNumber("jpegQuality"),
        anyNumber("webpQuality"),
        flag("autoCopyAfterSave", false),
        flag("copyAtFullSize", false),
        flag("alsoSaveSnapkinDocument", false),
        flag("frameApplyAlways", false),
        flag("frameLastOn", false),
        flag("watermarkLastOn", false),
        data("frameStyle"),
        data("watermarkStyle"),
        // The editor: the defaults of its tools. A new editor takes each positive value as it
        // stands (the dim clamped to 0.2 … 0.9) and keeps its own for anything else.
        name("defaultColor"),
        number("defaultLineWidth", -largestSize, largestSize),
        name("defaultArrowHead"),
        number("defaultTextSize", -largestSize, largestSize),
        name("defaultObscureStyle"),
        number("defaultObscureStrength", -largestSize, largestSize),
        number("defaultHighlightOpacity", -largestSize, largestSize),
        number("defaultSpotlightDim", -largestSize, largestSize),
        flag("defaultSpotlightEllipse", true),
        name("defaultStampKind"),
        // Positive: brought into the sheet's 1 … 100; else the sheet starts at 50.
        anyNumber("sharpenAmount"),
        flag("showOptionsBar", true),
        flag("selectableTextEnabled", false),
        {"editorToolbarItems", T::stringList, {}, 0, 0, 256, nameLength},
        {"recentDocuments", T::stringList, {}, 0, 0, 100, pathLength},
        data("savedAnnotationStyles"),
        // History.
        flag("historyEnabled", true),
        // Days; 0 or less keeps captures for ever (a value the menu doesn't offer checks none of
        // its items). Refusing a value would prune by the default's 30 days instead.
        whole("historyRetentionDays", -largestCount, largestCount, 30),
        // Newsletter and review prompts: moments (0 or less: not set) and counts.
        number("newsletterFirstLaunch", -latestTime, latestTime),
        number("newsletterNextPrompt", -latestTime, latestTime),
        whole("newsletterCaptureCount", -largestCount, largestCount),
        flag("newsletterSubscribed", false),
        number("reviewFirstLaunch", -latestTime, latestTime),
        whole("reviewExportCount", -largestCount, largestCount),
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
    case T::integer:
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
