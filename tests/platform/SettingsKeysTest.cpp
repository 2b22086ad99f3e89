#include "platform/SettingsKeys.h"
#include "platform/Defaults.h"
#include "platform/SettingsTable.h"

#include "SettingsFileSupport.h"
#include "TestPaths.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;
using platform::Defaults;
using platform::SettingsTable;
using snapkin::testing::fileObject;

// Two declarations of one key would let one of them carry bounds or a default the other's readers
// never see; every key is declared once, and looking it up finds that declaration.
TEST(SettingsKeys, EveryKeyIsDeclaredOnceAndFoundByItsName)
{
    QSet<QString> seen;
    for (const auto& spec : SettingsTable::all()) {
        const QString key = QString::fromLatin1(spec.key);
        EXPECT_FALSE(key.isEmpty());
        EXPECT_FALSE(seen.contains(key)) << spec.key << " is declared twice";
        seen.insert(key);
        EXPECT_EQ(SettingsTable::find(key), &spec) << spec.key;
    }
    // The hostile-settings checks cover every key the application reads, shortcuts included.
    EXPECT_TRUE(seen.contains(keys::captureHotKeyCopyText.keyLabel.name()));
    EXPECT_TRUE(seen.contains(keys::selectableTextEnabled.name()));
    EXPECT_GE(seen.size(), 61 + 3 * 6);
}

TEST(SettingsKeys, EveryDeclaredDefaultReadsBackThroughTheFileChecks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    int declared = 0;
    {
        Defaults defaults(path);
        for (const auto& spec : SettingsTable::all()) {
            if (!spec.defaultValue.isValid()) continue;
            ++declared;
            defaults.setValue(QString::fromLatin1(spec.key), spec.defaultValue);
        }
    }
    Defaults reopened(path);
    for (const auto& spec : SettingsTable::all()) {
        if (!spec.defaultValue.isValid()) continue;
        EXPECT_TRUE(reopened.hasStoredValue(QString::fromLatin1(spec.key))) << spec.key;
        EXPECT_EQ(Defaults::toJson(reopened.object(QString::fromLatin1(spec.key))),
                  Defaults::toJson(spec.defaultValue))
            << spec.key;
    }
    EXPECT_GE(declared, 30);
}

// The typed accessors write what older runs wrote under the same names, and read it back.
TEST(SettingsKeys, TypedValuesAreStoredInTheFormatsTheFileAlwaysHeld)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.json"));
    {
        Defaults defaults(path);
        defaults.set(keys::captureDelay, 5);
        defaults.set(keys::selectableTextEnabled, true);
        defaults.set(keys::jpegQuality, 0.85);
        defaults.set(keys::exportFormat, QStringLiteral("webp"));
        defaults.set(keys::savedAnnotationStyles, QByteArray("{\"a\":1}"));
        defaults.set(keys::recentDocuments, QStringList{QStringLiteral("/home/me/a.snapkin")});
        defaults.set(keys::captureHotKeyWindow.keyCode, 40);
    }
    const QJsonObject file = fileObject(path);
    EXPECT_EQ(file.value("captureDelay"), QJsonValue(5));
    EXPECT_EQ(file.value("selectableTextEnabled"), QJsonValue(true));
    EXPECT_EQ(file.value("jpegQuality"), QJsonValue(0.85));
    EXPECT_EQ(file.value("exportFormat"), QJsonValue("webp"));
    EXPECT_EQ(file.value("savedAnnotationStyles"),
              QJsonValue(
                  QJsonObject{{"$data", QString::fromLatin1(QByteArray("{\"a\":1}").toBase64())}}));
    EXPECT_EQ(file.value("recentDocuments").toArray().size(), 1);
    EXPECT_EQ(file.value("captureHotKeyWindowKeyCode"), QJsonValue(40));

    Defaults reopened(path);
    EXPECT_EQ(reopened.get(keys::captureDelay), 5);
    EXPECT_TRUE(reopened.get(keys::selectableTextEnabled));
    EXPECT_DOUBLE_EQ(reopened.get(keys::jpegQuality), 0.85);
    EXPECT_EQ(reopened.get(keys::exportFormat), "webp");
    EXPECT_EQ(reopened.get(keys::savedAnnotationStyles), QByteArray("{\"a\":1}"));
    EXPECT_EQ(reopened.get(keys::recentDocuments), QStringList{"/home/me/a.snapkin"});
    EXPECT_EQ(reopened.get(keys::captureHotKeyWindow.keyCode), 40);
}

// A typed read keeps the store's rules: a missing key reads what is registered, else nothing,
// not the declared default (which the owner registers where it wants one).
TEST(SettingsKeys, TypedReadsFollowTheRegisteredAndMissingRules)
{
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.json")));
    EXPECT_FALSE(defaults.get(keys::historyEnabled));
    EXPECT_EQ(defaults.get(keys::historyRetentionDays), 0);
    EXPECT_FALSE(defaults.contains(keys::historyEnabled));

    defaults.registerDefault(keys::historyEnabled);
    defaults.registerDefault(keys::historyRetentionDays);
    EXPECT_TRUE(defaults.get(keys::historyEnabled));
    EXPECT_EQ(defaults.get(keys::historyRetentionDays), 30);
    EXPECT_FALSE(defaults.hasStoredValue(keys::historyEnabled));

    defaults.set(keys::historyEnabled, false);
    EXPECT_FALSE(defaults.get(keys::historyEnabled));
    defaults.removeObject(keys::historyEnabled);
    EXPECT_TRUE(defaults.get(keys::historyEnabled));
}

// Switches that must not turn on or off by a hand-edited value of another type read their own
// declared default instead.
TEST(SettingsKeys, ASwitchHoldingNoBoolReadsItsDeclaredDefault)
{
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.json")));
    EXPECT_TRUE(defaults.getOrDefault(keys::showOptionsBar));
    EXPECT_FALSE(defaults.getOrDefault(keys::showInDock));
    defaults.setValue(keys::showOptionsBar, 0);
    defaults.setValue(keys::showInDock, QStringLiteral("yes"));
    EXPECT_TRUE(defaults.getOrDefault(keys::showOptionsBar));
    EXPECT_FALSE(defaults.getOrDefault(keys::showInDock));
    defaults.set(keys::showOptionsBar, false);
    defaults.set(keys::showInDock, true);
    EXPECT_FALSE(defaults.getOrDefault(keys::showOptionsBar));
    EXPECT_TRUE(defaults.getOrDefault(keys::showInDock));
}

TEST(SettingsKeys, AChangedKeyIsMatchedByItsDeclaration)
{
    EXPECT_TRUE(keys::showOptionsBar == QStringLiteral("showOptionsBar"));
    EXPECT_FALSE(QStringLiteral("showOptionsBarX") == keys::showOptionsBar);
    EXPECT_TRUE(keys::isCaptureHotKey(QStringLiteral("captureHotKeyLastRegionModifiers")));
    EXPECT_TRUE(keys::isCaptureHotKey(keys::captureHotKey.keyLabel.name()));
    EXPECT_FALSE(keys::isCaptureHotKey(QStringLiteral("captureDelay")));
}

// A key spelt out as a string beside its declaration reads its default the day the declaration is
// renamed, with no compiler to tell: the application's code names every key through it.
TEST(SettingsKeys, NoSourceNamesAKeyByItsString)
{
    const QString sources = QStringLiteral(SNAPKIN_TEST_DATA "/../../src");
    QStringList names;
    for (const auto& spec : SettingsTable::all())
        names << QRegularExpression::escape(QString::fromLatin1(spec.key));
    // Where a string becomes a settings key: a string made for it, a store call, a map entry.
    const QRegularExpression asKey(
        QStringLiteral(
            R"re(((QStringLiteral|QLatin1String|QLatin1StringView|fromLatin1|QString|)re"
            R"re(ForKey|setValue|object|contains|hasStoredValue|removeObject|isNumber|)re"
            R"re(insert)\(\s*|\{\s*)"(%1)")re")
            .arg(names.join(QLatin1Char('|'))));
    ASSERT_TRUE(asKey.isValid());
    int files = 0;
    QDirIterator it(sources, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String("platform/SettingsKeys.h"))) continue;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        int number = 0;
        for (const QByteArray& line : file.readAll().split('\n')) {
            ++number;
            const QString code = QString::fromUtf8(line).section(QStringLiteral("//"), 0, 0);
            const auto found = asKey.match(code);
            EXPECT_FALSE(found.hasMatch()) << path.toStdString() << ":" << number << " names "
                                           << found.captured(3).toStdString();
        }
    }
    EXPECT_GT(files, 100);
}
