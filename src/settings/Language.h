#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace snapkin {

namespace platform {
class Defaults;
}

// The interface language: keys::appLanguage holds the user's choice ("system" or one of the
// offered codes); it takes effect at the next start, where it is applied before any window.
namespace language {

struct Option {
    const char* code;  // the stored value
    const char* label; // the language's own name ("system": a localisation key)
};
inline constexpr std::array<Option, 10> options{{
    {"system", "System default"},
    {"en", "English"},
    {"es", "Español"},
    {"fr", "Français"},
    {"de", "Deutsch"},
    {"it", "Italiano"},
    {"pt-BR", "Português (Brasil)"},
    {"pt-PT", "Português (Portugal)"},
    {"ja", "日本語"},
    {"ko", "한국어"},
}};

// Rewrites a stored "pt" (from before Brazilian and European Portuguese were told apart) to
// "pt-PT"; every other value, and a missing one, stays.
void migrateLanguage(platform::Defaults& settings);

// The language to start in: the stored choice when it is one of the offered codes, else the
// first of the desktop's languages that is offered ("pt_BR" → "pt-BR", bare "pt" → "pt-PT",
// "de-AT" → "de"), else English.
QString startUpLanguage(const QString& stored, const QStringList& uiLanguages);

// At start-up, before any window: migrates the stored choice and sets platform::L10n to the
// language startUpLanguage() picks from it and QLocale::system().uiLanguages().
void applyStartUpLanguage();

} // namespace language

} // namespace snapkin
