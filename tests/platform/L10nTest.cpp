#include "platform/L10n.h"

#include <QKeySequence>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using snapkin::platform::L10n;

TEST(L10nFill, PlaceholdersAreFilledInOrder)
{
    EXPECT_EQ(L10n::fill("%lld of %lld", {"2", "5"}), "2 of 5");
    EXPECT_EQ(L10n::fill("Saved to %@", {"Pictures"}), "Saved to Pictures");
    EXPECT_EQ(L10n::fill("100%% done, %@", {"ok"}), "100% done, ok");
    EXPECT_EQ(L10n::fill("%@ and %@", {"one"}), "one and ");
    EXPECT_EQ(L10n::fill("50% off", {}), "50% off");
}

TEST(L10nText, KeyIsTheEnglishTextUnlessOneIsGiven)
{
    L10n::setLanguage("en");
    EXPECT_EQ(L10n::text("Copied to clipboard"), "Copied to clipboard");
    EXPECT_EQ(L10n::text("tool.arrow", "Arrow"), "Arrow");
    EXPECT_EQ(L10n::format("%lld items", 3), "3 items");
    EXPECT_EQ(L10n::format("%@ at %lld%%", "Zoom", 150), "Zoom at 150%");
}

TEST(L10nText, BundledTableTranslatesAndFallsBackToEnglishPerKey)
{
    L10n::setLanguage("de");
    EXPECT_EQ(L10n::language(), "de");
    EXPECT_EQ(L10n::text("Copied to clipboard"), "In die Zwischenablage kopiert");
    EXPECT_EQ(L10n::text("Not translated"), "Not translated");
    L10n::setLanguage("xx");
    EXPECT_EQ(L10n::language(), "en");
    EXPECT_EQ(L10n::text("Copied to clipboard"), "Copied to clipboard");
    EXPECT_TRUE(L10n::availableLanguages().contains("de"));
    EXPECT_EQ(L10n::availableLanguages().count("en"), 1);
}

namespace {

// Loads `json` as the table of `language` (the file's name gives the language).
void loadTable(const QTemporaryDir& dir, const QString& language, const QByteArray& json)
{
    const QString path = dir.path() + "/" + language + ".json";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json);
    file.close();
    ASSERT_TRUE(L10n::loadTable(path));
}

} // namespace

TEST(L10nPlural, EnglishChoosesOneOnlyForOne)
{
    L10n::setLanguage("en");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 1), "1 capture");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 0), "0 captures");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 2), "2 captures");
    EXPECT_EQ(L10n::plural("%lld of %@", "%lld of %@ left", 3, "x"), "3 of x left");
}

TEST(L10nPlural, FrenchCountsZeroAsOneAndEmptyFormsFallBack)
{
    QTemporaryDir dir;
    loadTable(dir, "fr", R"({"%lld captures": {"one": "%lld capture", "other": "%lld captures"},
                             "%lld files": {"one": "", "other": ""}})");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 0), "0 capture");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 1), "1 capture");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 2), "2 captures");
    // An empty translation is missing, never an empty text.
    EXPECT_EQ(L10n::plural("%lld file", "%lld files", 1), "1 file");
    EXPECT_EQ(L10n::plural("%lld file", "%lld files", 5), "5 files");
    EXPECT_TRUE(L10n::isOne("pt-BR", 0));
    EXPECT_FALSE(L10n::isOne("pt-PT", 0));
    EXPECT_FALSE(L10n::isOne("de", 0));
    L10n::setLanguage("en");
}

TEST(L10nPlural, JapaneseHasOneFormStoredAsPlainText)
{
    QTemporaryDir dir;
    loadTable(dir, "ja", R"({"%lld captures": "%lld 件のキャプチャ"})");
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 1),
              QString::fromUtf8("1 件のキャプチャ"));
    EXPECT_EQ(L10n::plural("%lld capture", "%lld captures", 7),
              QString::fromUtf8("7 件のキャプチャ"));
    EXPECT_FALSE(L10n::isOne("ja", 1));
    EXPECT_FALSE(L10n::isOne("ko", 1));
    L10n::setLanguage("en");
}

TEST(L10nFill, NumberedPlaceholdersLetATranslationReorder)
{
    EXPECT_EQ(L10n::fill("%2$@ von %1$@", {"a", "b"}), "b von a");
    EXPECT_EQ(L10n::fill("%2$lld × %1$lld px", {"3", "4"}), "4 × 3 px");
    EXPECT_EQ(L10n::fill("%1$@ %1$@", {"x"}), "x x");
    EXPECT_EQ(L10n::fill("%9$@!", {"x"}), "!");
    EXPECT_EQ(L10n::fill("100%$", {}), "100%$");
}

TEST(L10nQtTexts, KeyNamesOfShortcutsFollowTheInterfaceLanguage)
{
    const QKeySequence save(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    L10n::setLanguage("de");
    if (save.toString(QKeySequence::NativeText) == "Ctrl+Shift+S") {
        L10n::setLanguage("en");
        GTEST_SKIP() << "Qt's German translations are not installed";
    }
    EXPECT_EQ(save.toString(QKeySequence::NativeText), "Strg+Umschalt+S");
    L10n::setLanguage("en");
    EXPECT_EQ(save.toString(QKeySequence::NativeText), "Ctrl+Shift+S");
}

TEST(L10nNumbers, GermanUsesDecimalCommaAndSpacedPercent)
{
    L10n::setLanguage("de");
    EXPECT_EQ(L10n::format("%@ px", 1.5), "1,5 px");
    EXPECT_EQ(L10n::format("%lld items", 12000), "12000 items");
    EXPECT_EQ(L10n::percent(92), QString::fromUtf8("92\u00A0%"));
    EXPECT_EQ(L10n::percent(12.5, 1), QString::fromUtf8("12,5\u00A0%"));
    EXPECT_EQ(QLocale().decimalPoint(), ",");
    L10n::setLanguage("fr");
    EXPECT_EQ(L10n::percent(92), QString::fromUtf8("92\u202F%"));
    L10n::setLanguage("en");
    EXPECT_EQ(L10n::format("%@ px", 1.5), "1.5 px");
    EXPECT_EQ(L10n::percent(92), "92%");
}

TEST(L10nText, TableFromFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/fr.json";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"tool.arrow": "Flèche", "ignored": 3})");
    file.close();
    ASSERT_TRUE(L10n::loadTable(path));
    EXPECT_EQ(L10n::text("tool.arrow", "Arrow"), QString::fromUtf8("Flèche"));
    EXPECT_EQ(L10n::text("ignored"), "ignored");
    EXPECT_FALSE(L10n::loadTable(dir.path() + "/missing.json"));
    L10n::setLanguage("en");
}
