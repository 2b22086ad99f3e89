#pragma once

#include <QString>
#include <QStringList>

#include <concepts>
#include <type_traits>

namespace snapkin::platform {

// The localisation table. A text is looked up by key; when the key has no English text of its
// own, the key is the English text. Tables for other languages are JSON objects of key → text
// in resources/l10n/<language>.json (compiled in as :/l10n/<language>.json).
//
// Texts may hold "%lld" (an integer) and "%@" (any value) placeholders, filled in order;
// "%%" is a literal percent sign.
class L10n {
public:
    // The text for `key` in the current language; `english` when given is the English text,
    // otherwise the key itself is.
    static QString text(const char* key, const char* english = nullptr);
    static QString text(const QString& key);

    // Fills the placeholders of `pattern` with `args`, in order.
    static QString fill(const QString& pattern, const QStringList& args);

    // The text for `key` with its placeholders filled: L10n::format("%lld items", 3).
    template <typename... Args>
    static QString format(const char* key, const Args&... args)
    {
        return fill(text(key), QStringList{toArg(args)...});
    }

    // Chooses the language ("en", "de", …); an unknown language falls back to English.
    static void setLanguage(const QString& language);
    static QString language();
    // Loads a table from a file, replacing the current one (used by tests).
    static bool loadTable(const QString& path);
    // The languages with a table, English first.
    static QStringList availableLanguages();

    static QString toArg(const QString& s) { return s; }
    static QString toArg(const char* s) { return QString::fromUtf8(s); }
    template <std::integral T>
    static QString toArg(T n) { return QString::number(n); }
    template <std::floating_point T>
    static QString toArg(T n) { return QString::number(n); }
};

} // namespace snapkin::platform
