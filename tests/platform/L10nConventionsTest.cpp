// Checks the translation tables for the slips a translator makes that the key and placeholder
// checks don't see: a menu title that loses its keyboard mnemonic, a "…" dropped from an item
// that opens a window, a space between Japanese words, and the vocabulary of one Portuguese
// variant leaking into the other.

#include "TestPaths.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <functional>

namespace {

QString tablesFolder()
{
    return QStringLiteral(SNAPKIN_TEST_DATA "/../../resources/l10n");
}

QJsonObject table(const QString& language)
{
    QFile file(tablesFolder() + "/" + language + ".json");
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QStringList languages()
{
    QStringList result;
    for (const QString& name : QDir(tablesFolder()).entryList({"*.json"}, QDir::Files))
        result << name.chopped(5);
    return result;
}

// Calls `check(key, text)` for every text of a table: a plural's forms each count.
void forEachText(const QJsonObject& t,
                 const std::function<void(const QString&, const QString&)>& check)
{
    for (auto it = t.begin(); it != t.end(); ++it) {
        if (it.value().isString()) {
            check(it.key(), it.value().toString());
        } else {
            const QJsonObject forms = it.value().toObject();
            for (auto form = forms.begin(); form != forms.end(); ++form)
                check(it.key(), form.value().toString());
        }
    }
}

// The mnemonics of a text: "&F" counts, "&&" (a literal ampersand) doesn't.
int mnemonics(const QString& text)
{
    static const QRegularExpression mnemonic(QStringLiteral(R"((?<!&)&(?=[^&\s]))"));
    return int(text.count(mnemonic));
}

// Whole words of `text` (letters with their accents), lower-cased.
QStringList words(const QString& text)
{
    static const QRegularExpression word(QStringLiteral(R"([\p{L}-]+)"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    QStringList result;
    for (auto it = word.globalMatch(text); it.hasNext();)
        result << it.next().captured(0).toLower();
    return result;
}

} // namespace

TEST(L10nConventions, MenuMnemonicsAndEllipsesSurviveTranslation)
{
    ASSERT_TRUE(languages().contains("ja"));
    for (const QString& language : languages()) {
        SCOPED_TRACE(language.toStdString());
        forEachText(table(language), [](const QString& key, const QString& text) {
            if (mnemonics(key) == 1) {
                EXPECT_EQ(mnemonics(text), 1) << key.toStdString() << " → " << text.toStdString();
            }
            if (key.endsWith(u'…')) {
                EXPECT_TRUE(text.endsWith(u'…'))
                    << key.toStdString() << " → " << text.toStdString();
            }
            EXPECT_FALSE(text.endsWith(QLatin1String("...")))
                << "three dots instead of an ellipsis: " << text.toStdString();
        });
    }
}

TEST(L10nConventions, JapaneseRunsWithoutSpacesBetweenWords)
{
    // A space is fine next to Latin text and numbers ("Snapkin 2.0"), never between two
    // Japanese characters or around Japanese punctuation.
    static const QRegularExpression spaced(
        QStringLiteral(R"([\p{Han}\p{Hiragana}\p{Katakana}\x{3000}-\x{303F}\x{FF01}-\x{FF60}] +)"
                       R"([\p{Han}\p{Hiragana}\p{Katakana}\x{3000}-\x{303F}\x{FF01}-\x{FF60}])"),
        QRegularExpression::UseUnicodePropertiesOption);
    const QJsonObject ja = table("ja");
    ASSERT_FALSE(ja.isEmpty());
    forEachText(ja, [](const QString& key, const QString& text) {
        EXPECT_FALSE(spaced.match(text).hasMatch())
            << key.toStdString() << " → " << text.toStdString();
    });
}

TEST(L10nConventions, EachPortugueseVariantKeepsItsOwnVocabulary)
{
    // Words a reader of the other variant would notice at once; "tela" is left out because
    // both use it for a painter's canvas.
    const QStringList brazilianOnly = {
        "arquivo", "arquivos",   "salvar",      "salvo",   "salve",        "excluir",
        "usuário", "aplicativo", "aplicativos", "você",    "compartilhar", "configurações",
        "mouse",   "padrão",     "gerenciador", "bandeja", "marrom",       "pressione"};
    const QStringList portugueseOnly = {"ficheiro",     "ficheiros", "ecrã",     "utilizador",
                                        "definições",   "partilhar", "rato",     "prima",
                                        "predefinição", "gestor",    "castanho", "píxeis"};
    const struct {
        const char* language;
        const QStringList& foreign;
    } variants[] = {{"pt-BR", portugueseOnly}, {"pt-PT", brazilianOnly}};
    for (const auto& variant : variants) {
        SCOPED_TRACE(variant.language);
        const QJsonObject t = table(QString::fromLatin1(variant.language));
        ASSERT_GT(t.size(), 100);
        forEachText(t, [&](const QString& key, const QString& text) {
            for (const QString& w : words(text)) {
                EXPECT_FALSE(variant.foreign.contains(w))
                    << "“" << w.toStdString() << "” in " << key.toStdString() << " → "
                    << text.toStdString();
            }
        });
    }
}
