#include "settings/Language.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace snapkin;

namespace {

TEST(Language, MigrationRewritesOnlyBarePortuguese)
{
    QTemporaryDir dir;
    platform::Defaults settings(dir.path() + "/settings.json");
    language::migrateLanguage(settings);
    EXPECT_FALSE(settings.hasStoredValue("appLanguage"));

    settings.setValue("appLanguage", "pt");
    language::migrateLanguage(settings);
    EXPECT_EQ(settings.stringForKey("appLanguage"), "pt-PT");

    for (const QString kept : {"pt-BR", "pt-PT", "system", "de"}) {
        settings.setValue("appLanguage", kept);
        language::migrateLanguage(settings);
        EXPECT_EQ(settings.stringForKey("appLanguage"), kept);
    }
}

TEST(Language, StartUpTakesTheStoredChoiceElseTheDesktopsFirstOfferedLanguage)
{
    EXPECT_EQ(language::startUpLanguage("de", {"fr-FR"}), "de");
    EXPECT_EQ(language::startUpLanguage("pt-BR", {"en-US"}), "pt-BR");
    // "system", nothing or an unknown value: the desktop decides.
    EXPECT_EQ(language::startUpLanguage("system", {"pt_BR", "en"}), "pt-BR");
    EXPECT_EQ(language::startUpLanguage("", {"pt"}), "pt-PT");
    EXPECT_EQ(language::startUpLanguage("xx", {"de-AT"}), "de");
    // Languages not offered are passed over.
    EXPECT_EQ(language::startUpLanguage("system", {"nl-NL", "fr-CA"}), "fr");
    EXPECT_EQ(language::startUpLanguage("system", {"nl-NL"}), "en");
}

} // namespace
