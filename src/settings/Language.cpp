#include "settings/Language.h"

#include "platform/Defaults.h"
#include "platform/L10n.h"

#include <QLocale>

#include <algorithm>

namespace snapkin::language {

namespace {

bool isOffered(const QString& code)
{
    return code != QLatin1String("system") && std::ranges::any_of(options, [&](const Option& o) {
               return code == QLatin1String(o.code);
           });
}

// "pt_BR" / "pt-br" → "pt-BR"; bare or other Portuguese → "pt-PT"; else the language part.
QString offeredCode(const QString& uiLanguage)
{
    QString normal = uiLanguage;
    normal.replace(QLatin1Char('_'), QLatin1Char('-'));
    const QStringList parts = normal.split(QLatin1Char('-'));
    const QString lang = parts.value(0).toLower();
    if (lang != QLatin1String("pt")) return lang;
    return parts.mid(1).contains(QLatin1String("BR"), Qt::CaseInsensitive)
               ? QStringLiteral("pt-BR")
               : QStringLiteral("pt-PT");
}

} // namespace

void migrateLanguage(platform::Defaults& settings)
{
    const QVariant stored = settings.object(keys::appLanguage);
    if (stored.typeId() == QMetaType::QString && stored.toString() == QLatin1String("pt"))
        settings.set(keys::appLanguage, QStringLiteral("pt-PT"));
}

QString startUpLanguage(const QString& stored, const QStringList& uiLanguages)
{
    if (isOffered(stored)) return stored;
    for (const QString& ui : uiLanguages) {
        const QString code = offeredCode(ui);
        if (isOffered(code)) return code;
    }
    return QStringLiteral("en");
}

void applyStartUpLanguage()
{
    platform::Defaults& settings = platform::Defaults::standard();
    migrateLanguage(settings);
    platform::L10n::setLanguage(
        startUpLanguage(settings.get(keys::appLanguage), QLocale::system().uiLanguages()));
}

} // namespace snapkin::language
