#include "platform/L10n.h"

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

TEST(L10nText, BundledTableTranslatesAndFallsBackToEnglish)
{
    L10n::setLanguage("de");
    EXPECT_EQ(L10n::language(), "de");
    EXPECT_EQ(L10n::text("Copied to clipboard"), "In die Zwischenablage kopiert");
    EXPECT_EQ(L10n::format("%lld items", 4), "4 Objekte");
    EXPECT_EQ(L10n::text("Not translated"), "Not translated");
    L10n::setLanguage("xx");
    EXPECT_EQ(L10n::language(), "en");
    EXPECT_EQ(L10n::text("Copied to clipboard"), "Copied to clipboard");
    EXPECT_TRUE(L10n::availableLanguages().contains("de"));
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
