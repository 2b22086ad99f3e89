#pragma once

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <array>
#include <limits>
#include <optional>
#include <type_traits>

namespace snapkin::platform {

// What a settings key may hold, as its file checks see it.
enum class SettingType {
    boolean,
    integer,    // a finite number in [minimum, maximum], read as a whole number (readers drop
                // a fraction, or ignore the value where they want an exact integer)
    number,     // a finite number in [minimum, maximum]
    string,     // at most `maxLength` characters
    path,       // an absolute path as a string or as bytes, at most `maxLength` of them
    data,       // bytes, at most `maxLength`
    stringList, // at most `maxLength` strings of at most `maxItemLength` characters
    numberList, // at most `maxLength` finite numbers in [minimum, maximum]
};

// The declared default of a key of value type V, kept in a form that can be a constant: a Bool
// or a number when declared, a string as its literal, nothing for data and lists (they read as
// empty when missing).
template <typename V> struct SettingDefault {
    using type = std::optional<V>;
};
template <> struct SettingDefault<QString> {
    using type = const char*; // nullptr: none declared
};
struct NoDefault {};
template <> struct SettingDefault<QByteArray> {
    using type = NoDefault;
};
template <> struct SettingDefault<QStringList> {
    using type = NoDefault;
};
template <> struct SettingDefault<QVariantList> {
    using type = NoDefault;
};

// One settings key: its name in the file, the type of its value, the value it reads as when
// missing (where the application declares one) and the bounds the settings file's checks hold a
// stored value to. Read and written through Defaults::get() and Defaults::set(), so a key is
// named in one place and a reader cannot ask for the wrong type.
template <typename V> struct Setting {
    using Value = V;

    const char* key;
    SettingType type;
    typename SettingDefault<V>::type fallback{};
    double minimum = 0;
    double maximum = 0;
    qsizetype maxLength = 0;
    qsizetype maxItemLength = 0;
    // More than 0 for a list that accumulates, newest first (recent documents): each write
    // merges it item by item with the file's, keeping what other instances added and removed,
    // and at most this many items.
    qsizetype mergedNewest = 0;

    QString name() const { return QString::fromLatin1(key); }

    // The declared default as a stored value would hold it; invalid when none is declared.
    QVariant declaredDefault() const
    {
        if constexpr (std::is_same_v<V, QString>) {
            return fallback ? QVariant(QString::fromUtf8(fallback)) : QVariant();
        } else if constexpr (std::is_same_v<typename SettingDefault<V>::type, NoDefault>) {
            return {};
        } else {
            return fallback ? QVariant::fromValue(*fallback) : QVariant();
        }
    }

    // Compares with a key as Defaults::valueChanged() names it.
    friend bool operator==(const Setting& setting, const QString& changed)
    {
        return changed == QLatin1String(setting.key);
    }
};

// A global capture shortcut is kept as three keys: a virtual key code, a modifier mask and the
// key's label.
struct HotKeySetting {
    Setting<qint64> keyCode;
    Setting<qint64> modifiers;
    Setting<QString> keyLabel;

    bool contains(const QString& changed) const
    {
        return keyCode == changed || modifiers == changed || keyLabel == changed;
    }
};

// The bounds the settings file's checks use. They only guard: types, finite numbers, lengths,
// and ranges far beyond any real use.
namespace settingBounds {
// Names of choices (formats, styles, languages, tab tags) are short; paths are at most PATH_MAX.
inline constexpr qsizetype nameLength = 64;
inline constexpr qsizetype pathLength = 4096;
// A settings file larger than this is set aside like a damaged one; data (encoded styles) never
// exceeds it either.
inline constexpr qsizetype fileBytes = 1 << 20;
// A moment as seconds since 1970: readers take 0 or less as not set, and nothing reaches past
// the year 5138.
inline constexpr double latestTime = 1e11;
// Counts and periods: read, one added and written back, or compared; a trillion stays exact in a
// double and far from any overflow.
inline constexpr double largestCount = 1e12;
// Sizes, widths, opacities and strengths of the editor's tools: their readers take any positive
// value (a document may hold any too); a thousand is far beyond every control's range.
inline constexpr double largestSize = 1000;
// The capture countdown, in seconds: its reader counts down any positive number; ten minutes
// is far beyond a real use (the menus offer at most 10 s).
inline constexpr double longestCountdown = 600;
} // namespace settingBounds

namespace settingKinds {
using namespace settingBounds;

constexpr Setting<bool> flag(const char* key, bool fallback)
{
    return {key, SettingType::boolean, fallback};
}
constexpr Setting<QString> name(const char* key, const char* fallback = nullptr)
{
    return {key, SettingType::string, fallback, 0, 0, nameLength};
}
constexpr Setting<double> number(const char* key, double minimum, double maximum,
                                 std::optional<double> fallback = {})
{
    return {key, SettingType::number, fallback, minimum, maximum};
}
constexpr Setting<qint64> whole(const char* key, double minimum, double maximum,
                                std::optional<qint64> fallback = {})
{
    return {key, SettingType::integer, fallback, minimum, maximum};
}
// A number whose reader clamps or ignores any value; only its finiteness is checked.
constexpr Setting<double> anyNumber(const char* key)
{
    return number(key, std::numeric_limits<double>::lowest(), std::numeric_limits<double>::max());
}
constexpr Setting<QString> path(const char* key)
{
    return {key, SettingType::path, nullptr, 0, 0, pathLength};
}
constexpr Setting<QByteArray> data(const char* key)
{
    return {key, SettingType::data, {}, 0, 0, fileBytes};
}
// The reader takes the code and the mask when they are integers that fit 32 bits, else the
// built-in key.
constexpr HotKeySetting hotKey(const char* keyCode, const char* modifiers, const char* keyLabel)
{
    return {whole(keyCode, 0, 0xffffffff),
            whole(modifiers, 0, 0xffffffff),
            {keyLabel, SettingType::string, nullptr, 0, 0, 32}};
}
} // namespace settingKinds

} // namespace snapkin::platform

// Every key of the application's settings, each declared here once. Code reads and writes a key
// through its constant, never by its name.
namespace snapkin::keys {

using namespace platform::settingKinds;
using platform::HotKeySetting;
using platform::Setting;
using platform::SettingType;

// Application and settings window.
inline constexpr auto showInDock = flag("showInDock", false);
inline constexpr auto showInMenuBar = flag("showInMenuBar", true);
inline constexpr auto showOnboardingOnLaunch = flag("showOnboardingOnLaunch", true);
inline constexpr auto didShowOnboarding = flag("didShowOnboarding", false);
inline constexpr auto whatsNew2Shown = flag("whatsNew2Shown", false);
inline constexpr auto appearance = name("appearance", "system");
inline constexpr auto appLanguage = name("appLanguage", "system");
inline constexpr auto settingsTab = name("settingsTab");
// The start window's place: QWidget::saveGeometry() in Base64 (about 90 characters).
inline constexpr Setting<QString> startWindowFrame{
    "startWindowFrame", SettingType::string, nullptr, 0, 0, 512};

// After a capture.
inline constexpr auto afterCaptureShow = flag("afterCaptureShow", true);
inline constexpr auto afterCaptureCopy = flag("afterCaptureCopy", false);
inline constexpr auto afterCaptureSaveToDisk = flag("afterCaptureSaveToDisk", false);
inline constexpr auto afterCaptureQuickAccess = flag("afterCaptureQuickAccess", false);
inline constexpr auto defaultSaveFolder = path("defaultSaveFolder");
inline constexpr auto defaultSaveFolderBookmark = path("defaultSaveFolderBookmark");

// Capturing.
// 0 or less: no countdown (a value the menus don't offer checks none of their items).
inline constexpr auto captureDelay = whole("captureDelay", -largestCount, longestCountdown, 0);
inline constexpr auto freezeScreenWhileSelecting = flag("freezeScreenWhileSelecting", false);
inline constexpr auto captureSound = flag("captureSound", false);
inline constexpr auto adjustRegionBeforeCapture = flag("adjustRegionBeforeCapture", false);
inline constexpr auto showMagnifierWhileSelecting = flag("showMagnifierWhileSelecting", true);
inline constexpr auto hideDesktopIconsWhileCapturing =
    flag("hideDesktopIconsWhileCapturing", false);
inline constexpr auto windowCaptureShadow = flag("windowCaptureShadow", true);
inline constexpr auto windowCaptureTransparentBackground =
    flag("windowCaptureTransparentBackground", true);
// Display identifier, x, y, width, height.
inline constexpr Setting<QVariantList> lastRegionRect{
    "lastRegionRect", SettingType::numberList, {}, -1e10, 1e10, 5};
inline constexpr auto watchSystemScreenshots = flag("watchSystemScreenshots", false);
inline constexpr auto systemScreenshotsFolderBookmark = path("systemScreenshotsFolderBookmark");

// Global capture shortcuts.
inline constexpr auto captureHotKey =
    hotKey("captureHotKeyKeyCode", "captureHotKeyModifiers", "captureHotKeyKeyLabel");
inline constexpr auto captureHotKeyWindow = hotKey(
    "captureHotKeyWindowKeyCode", "captureHotKeyWindowModifiers", "captureHotKeyWindowKeyLabel");
inline constexpr auto captureHotKeyFrontWindow =
    hotKey("captureHotKeyFrontWindowKeyCode", "captureHotKeyFrontWindowModifiers",
           "captureHotKeyFrontWindowKeyLabel");
inline constexpr auto captureHotKeyFullScreen =
    hotKey("captureHotKeyFullScreenKeyCode", "captureHotKeyFullScreenModifiers",
           "captureHotKeyFullScreenKeyLabel");
inline constexpr auto captureHotKeyLastRegion =
    hotKey("captureHotKeyLastRegionKeyCode", "captureHotKeyLastRegionModifiers",
           "captureHotKeyLastRegionKeyLabel");
inline constexpr auto captureHotKeyCopyText =
    hotKey("captureHotKeyCopyTextKeyCode", "captureHotKeyCopyTextModifiers",
           "captureHotKeyCopyTextKeyLabel");
inline constexpr std::array<const HotKeySetting*, 6> captureHotKeys{
    &captureHotKey,           &captureHotKeyWindow,     &captureHotKeyFrontWindow,
    &captureHotKeyFullScreen, &captureHotKeyLastRegion, &captureHotKeyCopyText};

// Whether a changed key is one of the global capture shortcuts'.
inline bool isCaptureHotKey(const QString& changed)
{
    for (const HotKeySetting* hotKey : captureHotKeys)
        if (hotKey->contains(changed)) return true;
    return false;
}

// Saving and copying. The encoders clamp the quality to 0 … 1 (the slider sets 0.3 … 1).
inline constexpr auto exportFormat = name("exportFormat", "png");
inline constexpr auto jpegQuality = anyNumber("jpegQuality");
inline constexpr auto webpQuality = anyNumber("webpQuality");
inline constexpr auto autoCopyAfterSave = flag("autoCopyAfterSave", false);
inline constexpr auto copyAtFullSize = flag("copyAtFullSize", false);
inline constexpr auto alsoSaveSnapkinDocument = flag("alsoSaveSnapkinDocument", false);
inline constexpr auto frameApplyAlways = flag("frameApplyAlways", false);
inline constexpr auto frameLastOn = flag("frameLastOn", false);
inline constexpr auto watermarkLastOn = flag("watermarkLastOn", false);
inline constexpr auto frameStyle = data("frameStyle");
inline constexpr auto watermarkStyle = data("watermarkStyle");

// The editor: the defaults of its tools. A new editor takes each positive value as it stands
// (the dim clamped to 0.2 … 0.9) and keeps its own for anything else.
inline constexpr auto defaultColor = name("defaultColor");
inline constexpr auto defaultLineWidth = number("defaultLineWidth", -largestSize, largestSize);
inline constexpr auto defaultArrowHead = name("defaultArrowHead");
inline constexpr auto defaultTextSize = number("defaultTextSize", -largestSize, largestSize);
inline constexpr auto defaultObscureStyle = name("defaultObscureStyle");
inline constexpr auto defaultObscureStrength =
    number("defaultObscureStrength", -largestSize, largestSize);
inline constexpr auto defaultHighlightOpacity =
    number("defaultHighlightOpacity", -largestSize, largestSize);
inline constexpr auto defaultSpotlightDim =
    number("defaultSpotlightDim", -largestSize, largestSize);
inline constexpr auto defaultSpotlightEllipse = flag("defaultSpotlightEllipse", true);
inline constexpr auto defaultStampKind = name("defaultStampKind");
// Positive: brought into the sheet's 1 … 100; else the sheet starts at 50.
inline constexpr auto sharpenAmount = anyNumber("sharpenAmount");
inline constexpr auto showOptionsBar = flag("showOptionsBar", true);
inline constexpr auto selectableTextEnabled = flag("selectableTextEnabled", false);
inline constexpr Setting<QStringList> editorToolbarItems{
    "editorToolbarItems", SettingType::stringList, {}, 0, 0, 256, nameLength};
inline constexpr Setting<QStringList> recentDocuments{
    "recentDocuments", SettingType::stringList, {}, 0, 0, 100, pathLength, 10};
inline constexpr auto savedAnnotationStyles = data("savedAnnotationStyles");

// History.
inline constexpr auto historyEnabled = flag("historyEnabled", true);
// Days; 0 or less keeps captures for ever (a value the menu doesn't offer checks none of its
// items). Refusing a value would prune by the default's 30 days instead.
inline constexpr auto historyRetentionDays =
    whole("historyRetentionDays", -largestCount, largestCount, 30);

// Newsletter and review prompts: moments (0 or less: not set) and counts.
inline constexpr auto newsletterFirstLaunch =
    number("newsletterFirstLaunch", -latestTime, latestTime);
inline constexpr auto newsletterNextPrompt =
    number("newsletterNextPrompt", -latestTime, latestTime);
inline constexpr auto newsletterCaptureCount =
    whole("newsletterCaptureCount", -largestCount, largestCount);
inline constexpr auto newsletterSubscribed = flag("newsletterSubscribed", false);
inline constexpr auto reviewFirstLaunch = number("reviewFirstLaunch", -latestTime, latestTime);
inline constexpr auto reviewExportCount = whole("reviewExportCount", -largestCount, largestCount);

} // namespace snapkin::keys
