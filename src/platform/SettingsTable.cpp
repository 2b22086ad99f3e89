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

template <typename V> SettingSpec spec(const Setting<V>& setting)
{
    return {setting.key,     setting.type,      setting.declaredDefault(), setting.minimum,
            setting.maximum, setting.maxLength, setting.maxItemLength,     setting.mergedNewest};
}

std::vector<SettingSpec> makeTable()
{
    using namespace keys;
    std::vector<SettingSpec> t{
        spec(showInDock),
        spec(showInMenuBar),
        spec(showOnboardingOnLaunch),
        spec(didShowOnboarding),
        spec(whatsNew2Shown),
        spec(appearance),
        spec(appLanguage),
        spec(settingsTab),
        spec(startWindowFrame),
        spec(afterCaptureShow),
        spec(afterCaptureCopy),
        spec(afterCaptureSaveToDisk),
        spec(afterCaptureQuickAccess),
        spec(defaultSaveFolder),
        spec(defaultSaveFolderBookmark),
        spec(captureDelay),
        spec(freezeScreenWhileSelecting),
        spec(captureSound),
        spec(adjustRegionBeforeCapture),
        spec(showMagnifierWhileSelecting),
        spec(hideDesktopIconsWhileCapturing),
        spec(windowCaptureShadow),
        spec(windowCaptureTransparentBackground),
        spec(lastRegionRect),
        spec(watchSystemScreenshots),
        spec(systemScreenshotsFolderBookmark),
        spec(exportFormat),
        spec(jpegQuality),
        spec(webpQuality),
        spec(autoCopyAfterSave),
        spec(copyAtFullSize),
        spec(alsoSaveSnapkinDocument),
        spec(frameApplyAlways),
        spec(frameLastOn),
        spec(watermarkLastOn),
        spec(frameStyle),
        spec(watermarkStyle),
        spec(defaultColor),
        spec(defaultLineWidth),
        spec(defaultArrowHead),
        spec(defaultTextSize),
        spec(defaultObscureStyle),
        spec(defaultObscureStrength),
        spec(defaultHighlightOpacity),
        spec(defaultSpotlightDim),
        spec(defaultSpotlightEllipse),
        spec(defaultStampKind),
        spec(sharpenAmount),
        spec(showOptionsBar),
        spec(selectableTextEnabled),
        spec(editorToolbarItems),
        spec(recentDocuments),
        spec(savedAnnotationStyles),
        spec(historyEnabled),
        spec(historyRetentionDays),
        spec(newsletterFirstLaunch),
        spec(newsletterNextPrompt),
        spec(newsletterCaptureCount),
        spec(newsletterSubscribed),
        spec(reviewFirstLaunch),
        spec(reviewExportCount),
    };
    for (const HotKeySetting* hotKey : captureHotKeys) {
        t.push_back(spec(hotKey->keyCode));
        t.push_back(spec(hotKey->modifiers));
        t.push_back(spec(hotKey->keyLabel));
    }
    return t;
}

bool inRange(const SettingSpec& spec, double d)
{
    return std::isfinite(d) && d >= spec.minimum && d <= spec.maximum;
}

} // namespace

std::span<const SettingSpec> SettingsTable::all()
{
    static const std::vector<SettingSpec> table = makeTable();
    return table;
}

const SettingSpec* SettingsTable::find(const QString& key)
{
    static const QHash<QString, const SettingSpec*> index = [] {
        QHash<QString, const SettingSpec*> byKey;
        for (const SettingSpec& spec : all())
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
        if (value.typeId() == QMetaType::QString)
            text = value.toString();
        else if (value.typeId() == QMetaType::QByteArray)
            text = QString::fromUtf8(value.toByteArray());
        else
            return false;
        return text.size() <= spec.maxLength && (text.isEmpty() || QDir::isAbsolutePath(text));
    }
    case T::data:
        return value.typeId() == QMetaType::QByteArray &&
               value.toByteArray().size() <= spec.maxLength;
    case T::stringList:
    case T::numberList: {
        if (!stored.isArray()) return false;
        const QJsonArray items = stored.toArray();
        if (items.size() > spec.maxLength) return false;
        return std::all_of(items.begin(), items.end(), [&](const QJsonValue& item) {
            return spec.type == T::stringList
                       ? item.isString() && item.toString().size() <= spec.maxItemLength
                       : item.isDouble() && inRange(spec, item.toDouble());
        });
    }
    }
    return false;
}

} // namespace snapkin::platform
