#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <concepts>
#include <type_traits>

namespace snapkin::platform {

// The localisation table. A text is looked up by key; when the key has no English text of its
// own, the key is the English text. Tables for other languages are JSON objects of key → text
// in resources/l10n/<language>.json (compiled in as :/l10n/<language>.json).
//
// Texts may hold "%lld" (an integer) and "%@" (any value) placeholders, filled in order, or
// numbered ("%2$@", "%1$lld") so a translation can put them in another order; "%%" is a
// literal percent sign.
//
// Texts that count have plural forms: the English forms are given in code, the key is the
// "other" form, and a table holds {"one": …, "other": …} for it (a bare string when the
// language has one form). Numbers filled in follow the interface language's QLocale.
class L10n {
public:
    // The text for `key` in the current language; `english` when given is the English text,
    // otherwise the key itself is.
    static QString text(const char* key, const char* english = nullptr);

    // Fills the placeholders of `pattern` with `args`, in order.
    static QString fill(const QString& pattern, const QStringList& args);

    // The text for `key` with its placeholders filled: L10n::format("%lld items", 3).
    template <typename... Args> static QString format(const char* key, const Args&... args)
    {
        return fill(text(key), QStringList{toArg(args)...});
    }

    // The text counting `n`: `one` (English) for one, the key `other` for any other count,
    // with `n` filling the first placeholder and `rest` the following ones.
    template <typename... Args>
    static QString plural(const char* one, const char* other, long long n, const Args&... rest)
    {
        return fill(pluralText(one, other, n), QStringList{toArg(n), toArg(rest)...});
    }
    static QString pluralText(const char* one, const char* other, long long n);
    // Whether `n` takes the "one" form in `language` (French and Brazilian Portuguese count
    // zero as one; Japanese and Korean have no singular).
    static bool isOne(const QString& language, long long n);

    // The interface language's locale; English when none is chosen.
    static QLocale locale();
    // `value` (0–100) as a percentage in the interface language: "92%", "92 %".
    static QString percent(double value, int decimals = 0);

    // Chooses the language ("en", "de", …); an unknown language falls back to English.
    static void setLanguage(const QString& language);
    static QString language();
    // Loads a table from a file, replacing the current one (used by tests).
    static bool loadTable(const QString& path);
    // The languages with a table, English first.
    static QStringList availableLanguages();

    static QString toArg(const QString& s) { return s; }
    static QString toArg(const char* s) { return QString::fromUtf8(s); }
    template <std::integral T> static QString toArg(T n)
    {
        return integerText(static_cast<long long>(n));
    }
    template <std::floating_point T> static QString toArg(T n)
    {
        return decimalText(static_cast<double>(n));
    }
    static QString integerText(long long n);
    static QString decimalText(double n);
};

} // namespace snapkin::platform
