#include "platform/Defaults.h"
#include "platform/SettingsTable.h"

#include "SettingsFileSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using snapkin::platform::Defaults;
using snapkin::platform::SettingsTable;
using snapkin::testing::fileObject;
using snapkin::testing::settingsPath;
using snapkin::testing::writeFile;

namespace {

// A settings file giving every key the application reads the same value.
QByteArray everyKeySetTo(const QJsonValue& value)
{
    QJsonObject object;
    for (const auto& spec : SettingsTable::all())
        object.insert(QString::fromLatin1(spec.key), value);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

TEST(DefaultsDomains, StoredValueHidesRegisteredOneAndRemovalRevealsIt)
{
    QTemporaryDir dir;
    Defaults defaults(settingsPath(dir));
    defaults.registerDefaults({{"captureDelay", 3}, {"captureSound", true}});
    EXPECT_EQ(defaults.integerForKey("captureDelay"), 3);
    EXPECT_FALSE(defaults.hasStoredValue("captureDelay"));

    defaults.setValue("captureDelay", 5);
    EXPECT_EQ(defaults.integerForKey("captureDelay"), 5);
    defaults.removeObject("captureDelay");
    EXPECT_EQ(defaults.integerForKey("captureDelay"), 3);
}

TEST(DefaultsDomains, RegisteredValuesAreNeverWritten)
{
    QTemporaryDir dir;
    {
        Defaults defaults(settingsPath(dir));
        defaults.registerDefaults({{"captureSound", true}});
        defaults.setValue("exportFormat", "png");
    }
    Defaults reopened(settingsPath(dir));
    EXPECT_FALSE(reopened.contains("captureSound"));
    EXPECT_EQ(reopened.stringForKey("exportFormat"), "png");
}

TEST(DefaultsReads, MissingValuesReadAsZeroFalseAndEmpty)
{
    QTemporaryDir dir;
    Defaults defaults(settingsPath(dir));
    EXPECT_EQ(defaults.integerForKey("nothing"), 0);
    EXPECT_EQ(defaults.doubleForKey("nothing"), 0.0);
    EXPECT_FALSE(defaults.boolForKey("nothing"));
    EXPECT_TRUE(defaults.stringForKey("nothing").isEmpty());
    EXPECT_TRUE(defaults.dataForKey("nothing").isEmpty());
    EXPECT_FALSE(defaults.isNumber("nothing"));
}

TEST(DefaultsReads, WrongTypesGiveNeutralValues)
{
    QTemporaryDir dir;
    Defaults defaults(settingsPath(dir));
    defaults.setValue("list", QVariantList{1, 2});
    defaults.setValue("text", "hello");
    EXPECT_EQ(defaults.integerForKey("list"), 0);
    EXPECT_EQ(defaults.doubleForKey("text"), 0.0);
    EXPECT_TRUE(defaults.dataForKey("text").isEmpty());
    EXPECT_TRUE(defaults.stringArrayForKey("list").isEmpty());
    defaults.setValue("huge", 1e300);
    EXPECT_EQ(defaults.integerForKey("huge"), std::numeric_limits<qint64>::max());
}

TEST(DefaultsPersistence, TypesSurviveARestart)
{
    QTemporaryDir dir;
    const QByteArray blob("\x00\x01\xff"
                          "data",
                          7);
    {
        Defaults defaults(settingsPath(dir));
        defaults.setValue("flag", true);
        defaults.setValue("count", 7);
        defaults.setValue("quality", 0.85);
        defaults.setValue("name", "Screenshot");
        defaults.setValue("blob", blob);
        defaults.setValue("names", QStringList{"a", "b"});
        defaults.setValue("rect", QVariantMap{{"x", 1.5}, {"w", 2}});
    }
    Defaults defaults(settingsPath(dir));
    EXPECT_EQ(defaults.object("flag").typeId(), QMetaType::Bool);
    EXPECT_TRUE(defaults.boolForKey("flag"));
    EXPECT_FALSE(defaults.isNumber("flag"));
    EXPECT_TRUE(defaults.isNumber("count"));
    EXPECT_EQ(defaults.integerForKey("count"), 7);
    EXPECT_DOUBLE_EQ(defaults.doubleForKey("quality"), 0.85);
    EXPECT_EQ(defaults.stringForKey("name"), "Screenshot");
    EXPECT_FALSE(defaults.isNumber("name"));
    EXPECT_EQ(defaults.dataForKey("blob"), blob);
    EXPECT_EQ(defaults.stringArrayForKey("names"), (QStringList{"a", "b"}));
    EXPECT_DOUBLE_EQ(defaults.object("rect").toMap().value("x").toDouble(), 1.5);
}

TEST(DefaultsPersistence, CorruptFileIsSetAsideAndDefaultsAreUsed)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    QDir().mkpath(dir.path() + "/snapkin");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{ \"captureDelay\": 5, ");
    }
    Defaults defaults(path);
    defaults.registerDefaults({{"captureDelay", 3}});
    EXPECT_EQ(defaults.integerForKey("captureDelay"), 3);
    EXPECT_TRUE(QFile::exists(path + ".corrupt"));

    // The store keeps working and writes a fresh file.
    EXPECT_TRUE(defaults.setValue("captureDelay", 10));
    Defaults reopened(path);
    EXPECT_EQ(reopened.integerForKey("captureDelay"), 10);
}

TEST(DefaultsPersistence, ChangesAreAnnounced)
{
    QTemporaryDir dir;
    Defaults defaults(settingsPath(dir));
    QSignalSpy spy(&defaults, &Defaults::valueChanged);
    defaults.setValue("captureDelay", 1);
    defaults.removeObject("captureDelay");
    defaults.removeObject("captureDelay"); // nothing to remove: no signal
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), "captureDelay");
}

TEST(DefaultsChecks, ValuesOfTheWrongTypeOrOutOfRangeReadAsTheirDefaults)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    const QJsonValue hostile[] = {1e300,
                                  -1e300,
                                  -1,
                                  86400,
                                  QStringLiteral("NaN"),
                                  QString(5000, QLatin1Char('x')),
                                  QJsonObject{{QStringLiteral("a"), 1}},
                                  QJsonArray{1, QStringLiteral("b"), QJsonArray{}}};
    for (const QJsonValue& value : hostile) {
        writeFile(path, everyKeySetTo(value));
        Defaults defaults(path);
        for (const auto& spec : SettingsTable::all()) {
            const QString key = QString::fromLatin1(spec.key);
            // What stays is what the key may hold: a count of 86400, a style named "NaN"
            // (which its reader doesn't know and ignores).
            if (!defaults.hasStoredValue(key)) continue;
            const QVariant kept = defaults.object(key);
            EXPECT_TRUE(SettingsTable::accepts(spec, Defaults::toJson(kept), kept)) << spec.key;
            EXPECT_LE(kept.toString().size(), 64) << spec.key;
            EXPECT_NE(kept.typeId(), QMetaType::QVariantMap) << spec.key;
        }
        EXPECT_LE(defaults.integerForKey("captureDelay"), 0); // no countdown
        EXPECT_FALSE(QFile::exists(path + ".corrupt")); // well-formed: only values were refused
    }
}

TEST(DefaultsChecks, ValuesTheApplicationWritesAreKept)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    const QByteArray style("{\"kind\":\"arrow\"}");
    {
        Defaults defaults(path);
        defaults.setValue("captureDelay", 5);
        defaults.setValue("historyRetentionDays", 0);
        defaults.setValue("jpegQuality", 1.0);
        defaults.setValue("webpQuality", 0.35);
        defaults.setValue("defaultLineWidth", 60.0);
        defaults.setValue("defaultTextSize", 18.0);
        defaults.setValue("lastRegionRect", QVariantList{4294967295.0, -12.5, 40.0, 300.0, 200.0});
        defaults.setValue("recentDocuments", QStringList{"/home/me/a.snapkin"});
        defaults.setValue("defaultSaveFolderBookmark", QByteArray("/home/me/Shots"));
        defaults.setValue("savedAnnotationStyles", style);
        defaults.setValue("captureHotKeyModifiers", qint64(0x1c0000));
        defaults.setValue("captureHotKeyKeyLabel", "4");
        defaults.setValue("newsletterFirstLaunch", 1.8e9);
        defaults.setValue("appearance", "dark");
    }
    const QVariantMap written = Defaults(path).storedValues();
    Defaults reopened(path);
    EXPECT_EQ(reopened.storedValues(), written);
    EXPECT_EQ(written.size(), 14);
}

TEST(DefaultsChecks, AFileOverOneMegabyteIsSetAsideLikeADamagedOne)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    QJsonObject object{{QStringLiteral("captureDelay"), 5},
                       {QStringLiteral("padding"), QString(SettingsTable::maximumFileBytes, 'x')}};
    writeFile(path, QJsonDocument(object).toJson());
    Defaults defaults(path);
    EXPECT_FALSE(defaults.hasStoredValue("captureDelay"));
    EXPECT_TRUE(QFile::exists(path + ".corrupt"));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(DefaultsChecks, EveryDeclaredDefaultFitsItsOwnDeclaration)
{
    for (const auto& spec : SettingsTable::all()) {
        if (!spec.defaultValue.isValid()) continue;
        const QJsonValue stored = Defaults::toJson(spec.defaultValue);
        EXPECT_TRUE(SettingsTable::accepts(spec, stored, Defaults::fromJson(stored))) << spec.key;
    }
}

// What a hand-edited file may reasonably hold is kept for the key's reader to apply, clamp or
// ignore; only values far beyond any real use are refused.
TEST(DefaultsChecks, ValuesTheReadersAcceptAreKeptAndOnlyFarOnesRefused)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    const std::pair<const char*, QJsonValue> kept[] = {
        {"captureDelay", 1},
        {"captureDelay", 7},
        {"captureDelay", 600},
        {"captureDelay", -2},
        {"historyRetentionDays", 14},
        {"historyRetentionDays", -5},
        {"historyRetentionDays", 3650},
        {"defaultLineWidth", 100},
        {"defaultLineWidth", 0},
        {"defaultTextSize", 200},
        {"defaultSpotlightDim", 0.05},
        {"defaultSpotlightDim", 1.5},
        {"defaultObscureStrength", 8},
        {"defaultHighlightOpacity", 0.05},
        {"jpegQuality", 0.1},
        {"webpQuality", 1.5},
        {"sharpenAmount", 0.5},
        {"sharpenAmount", 250},
        {"newsletterCaptureCount", -3},
        {"captureHotKeyKeyCode", 70000},
    };
    for (const auto& [key, value] : kept) {
        writeFile(path, QJsonDocument(QJsonObject{{QString::fromLatin1(key), value}}).toJson());
        Defaults defaults(path);
        EXPECT_TRUE(defaults.hasStoredValue(key)) << key << " " << value.toDouble();
        EXPECT_EQ(defaults.doubleForKey(key), value.toDouble()) << key;
    }
    const std::pair<const char*, QJsonValue> refused[] = {
        {"captureDelay", 601},
        {"captureDelay", 86400},
        {"defaultLineWidth", 1001},
        {"defaultTextSize", 1e6},
        {"defaultSpotlightDim", 1e9},
        {"historyRetentionDays", 1e13},
        {"jpegQuality", QStringLiteral("0.5")},
        {"captureDelay", QStringLiteral("7")},
    };
    for (const auto& [key, value] : refused) {
        writeFile(path, QJsonDocument(QJsonObject{{QString::fromLatin1(key), value}}).toJson());
        Defaults defaults(path);
        EXPECT_FALSE(defaults.hasStoredValue(key)) << key << " " << value.toDouble();
    }
}

// Another process (a second instance, a hand edit) writes the file while this store runs: a write
// of this store carries its own changes, removals too, and keeps every other key as it is on disk.
TEST(DefaultsSharing, AWriteKeepsWhatOthersWroteMeanwhileAndCarriesOnlyOurChanges)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    writeFile(path, R"({"captureDelay": 3, "showInDock": true, "appearance": "dark"})");
    Defaults ours(path);

    writeFile(path, R"({"captureDelay": 3, "showInDock": true, "appearance": "light",
                        "exportFormat": "jpeg", "afterCaptureCopy": true})");
    EXPECT_TRUE(ours.setValue("captureDelay", 5));
    EXPECT_TRUE(ours.removeObject("showInDock"));

    const QJsonObject written = fileObject(path);
    EXPECT_EQ(written.value("captureDelay"), QJsonValue(5));
    EXPECT_FALSE(written.contains("showInDock"));
    EXPECT_EQ(written.value("appearance"), QJsonValue("light"));
    EXPECT_EQ(written.value("exportFormat"), QJsonValue("jpeg"));
    EXPECT_EQ(written.value("afterCaptureCopy"), QJsonValue(true));
    // What this store read stays what its readers see until it reads the file again.
    EXPECT_EQ(ours.stringForKey("appearance"), "dark");
    ours.reload();
    EXPECT_EQ(ours.stringForKey("exportFormat"), "jpeg");
}

// Two instances over one file, each changing its own keys and quitting in turn.
TEST(DefaultsSharing, TwoStoresOverOneFileKeepEachOthersChanges)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    {
        Defaults first(path);
        Defaults second(path);
        first.setValue("exportFormat", "webp");
        second.setValue("afterCaptureCopy", true);
        first.setValue("captureDelay", 2);
        second.removeObject("exportFormat"); // second never had it: nothing of first's goes
    }
    Defaults reopened(path);
    EXPECT_EQ(reopened.stringForKey("exportFormat"), "webp");
    EXPECT_TRUE(reopened.boolForKey("afterCaptureCopy"));
    EXPECT_EQ(reopened.integerForKey("captureDelay"), 2);
}

// A change whose write failed is carried by the next write that succeeds.
TEST(DefaultsSharing, AChangeAFailedWriteMissedIsWrittenWithTheNextOne)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    Defaults ours(path);
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file belongs: every write fails
    EXPECT_FALSE(ours.setValue("captureDelay", 4));
    EXPECT_FALSE(ours.saveFailure().isEmpty());
    ASSERT_TRUE(QDir().rmdir(path));

    EXPECT_TRUE(ours.setValue("appearance", "dark"));
    EXPECT_TRUE(ours.saveFailure().isEmpty());
    const QJsonObject written = fileObject(path);
    EXPECT_EQ(written.value("captureDelay"), QJsonValue(4));
    EXPECT_EQ(written.value("appearance"), QJsonValue("dark"));
}

// A listener told of a failed write may change a setting itself: that write runs, rather than
// waiting for ever on the one that told it.
TEST(DefaultsSharing, AListenerToAFailedWriteMayChangeASetting)
{
    QTemporaryDir dir;
    const QString path = settingsPath(dir);
    Defaults ours(path);
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file belongs: every write fails
    int told = 0;
    QObject::connect(&ours, &Defaults::saveFailed, [&] {
        if (++told == 1) ours.setValue("appearance", "dark");
    });
    EXPECT_FALSE(ours.setValue("captureDelay", 4));
    EXPECT_EQ(told, 2);
    EXPECT_EQ(ours.stringForKey("appearance"), "dark");
    ASSERT_TRUE(QDir().rmdir(path));
}
