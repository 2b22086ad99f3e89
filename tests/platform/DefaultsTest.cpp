#include "platform/Defaults.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using snapkin::platform::Defaults;

namespace {

QString settingsPath(const QTemporaryDir& dir)
{
    return dir.path() + "/snapkin/settings.json";
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
    const QByteArray blob("\x00\x01\xff" "data", 7);
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
    EXPECT_TRUE(defaults.setValue("captureDelay", 2));
    Defaults reopened(path);
    EXPECT_EQ(reopened.integerForKey("captureDelay"), 2);
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
