// Checks the translation tables against the keys the sources look up (collected at build time
// by scripts/l10n-keys): every table holds every key, no key the code has stopped using, and
// translations whose placeholders stand for the same arguments as the English text's.

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QJsonObject readObject(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError)
        << path.toStdString() << ": " << error.errorString().toStdString();
    return doc.object();
}

QString tablesFolder()
{
    return QStringLiteral(SNAPKIN_TEST_DATA "/../../resources/l10n");
}

QStringList tableFiles()
{
    return QDir(tablesFolder()).entryList({"*.json"}, QDir::Files, QDir::Name);
}

// The arguments a text's placeholders stand for: argument index → "integer" or "object".
// Unnumbered placeholders take the next index; "%%" is not a placeholder. An index used twice
// with different kinds is reported as "conflict".
QMap<int, QString> placeholders(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(R"(%(%|(?:(\d+)\$)?(lld|ld|d|@)))"));
    QMap<int, QString> result;
    int next = 0;
    for (auto it = pattern.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) == QLatin1String("%")) continue;
        const int index = m.captured(2).isEmpty() ? next++ : m.captured(2).toInt() - 1;
        const QString kind = m.captured(3) == QLatin1String("@") ? QStringLiteral("object")
                                                                 : QStringLiteral("integer");
        if (result.contains(index) && result[index] != kind)
            result[index] = "conflict";
        else
            result[index] = kind;
    }
    return result;
}

std::string describe(const QMap<int, QString>& p)
{
    QStringList parts;
    for (auto it = p.begin(); it != p.end(); ++it)
        parts << QString::number(it.key() + 1) + ":" + it.value();
    return parts.join(", ").toStdString();
}

struct Keys {
    QJsonObject keys;
    QJsonArray errors;
};

Keys collectedKeys()
{
    const QJsonObject file = readObject(QStringLiteral(SNAPKIN_BUILD_DIR "/l10n-keys.json"));
    return {file.value("keys").toObject(), file.value("errors").toArray()};
}

bool singleForm(const QString& language)
{
    return language == QLatin1String("ja") || language == QLatin1String("ko");
}

} // namespace

TEST(L10nTables, KeysOfTheSourcesAreAllFound)
{
    const Keys collected = collectedKeys();
    ASSERT_GT(collected.keys.size(), 100) << "no keys collected: is l10n-keys.json built?";
    for (const auto& error : collected.errors)
        ADD_FAILURE() << error.toString().toStdString();
    // Spot checks that each way of looking a key up is collected: a direct text, a wrapper's
    // argument, a command table, a key with its English text, a plural.
    for (const char* key : {"Copied to clipboard", "Settings", "About Snapkin",
                            "style.preset.classic", "%lld annotations", "Teal"})
        EXPECT_TRUE(collected.keys.contains(QString::fromUtf8(key))) << key;
    EXPECT_EQ(collected.keys.value("%lld annotations").toObject().value("kind").toString(),
              "plural");
    EXPECT_EQ(collected.keys.value("style.preset.classic").toObject().value("english").toString(),
              "Classic");
}

TEST(L10nTables, EveryTableTranslatesEveryKeyTheCodeUsesAndNoOther)
{
    const Keys collected = collectedKeys();
    ASSERT_FALSE(collected.keys.isEmpty());
    const QStringList files = tableFiles();
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString language = name.chopped(5);
        const QJsonObject table = readObject(tablesFolder() + "/" + name);
        for (auto it = collected.keys.begin(); it != collected.keys.end(); ++it) {
            const QString key = it.key();
            const QJsonObject info = it.value().toObject();
            const QString english = info.value("english").toString();
            if (!table.contains(key)) {
                ADD_FAILURE() << "missing: " << key.toStdString();
                continue;
            }
            const QJsonValue value = table.value(key);
            QStringList forms;
            if (info.value("kind").toString() == QLatin1String("plural")) {
                if (value.isString() && singleForm(language)) {
                    forms << value.toString();
                } else if (value.isObject()) {
                    const QJsonObject object = value.toObject();
                    forms << object.value("other").toString();
                    if (!singleForm(language)) forms << object.value("one").toString();
                } else {
                    ADD_FAILURE() << "plural without forms: " << key.toStdString();
                    continue;
                }
            } else if (value.isString()) {
                forms << value.toString();
            } else {
                ADD_FAILURE() << "not a text: " << key.toStdString();
                continue;
            }
            for (const QString& form : forms) {
                EXPECT_FALSE(form.trimmed().isEmpty()) << "empty: " << key.toStdString();
                EXPECT_EQ(describe(placeholders(form)), describe(placeholders(english)))
                    << key.toStdString() << " → " << form.toStdString();
            }
        }
        for (auto it = table.begin(); it != table.end(); ++it)
            EXPECT_TRUE(collected.keys.contains(it.key())) << "unused: " << it.key().toStdString();
    }
}

TEST(L10nTables, PlaceholdersAreReadByArgument)
{
    EXPECT_EQ(describe(placeholders("%@ of %lld, 100%%")), "1:object, 2:integer");
    EXPECT_EQ(describe(placeholders("%2$lld de %1$@")), "1:object, 2:integer");
    EXPECT_NE(describe(placeholders("%lld of %@")), describe(placeholders("%@ of %lld")));
    EXPECT_NE(describe(placeholders("%@")), describe(placeholders("%@ %@")));
}
