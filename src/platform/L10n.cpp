#include "platform/L10n.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QLocale>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QRegularExpression>
#include <QTranslator>

namespace snapkin::platform {

namespace {

struct Forms {
    QString one;
    QString other;
};

struct Texts {
    QHash<QString, QString> plain;
    QHash<QString, Forms> plural;
};

struct Table {
    QMutex mutex;
    QString language = QStringLiteral("en");
    Texts texts;
    bool chosen = false;
};

Table& table()
{
    static Table t;
    return t;
}

// An empty translation is treated as missing, so a text never disappears from the interface.
bool readTable(const QString& path, Texts& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) return false;
    out = {};
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.value().isString()) {
            if (!it.value().toString().isEmpty()) out.plain.insert(it.key(), it.value().toString());
        } else if (it.value().isObject()) {
            const QJsonObject forms = it.value().toObject();
            const QString other = forms.value(QLatin1String("other")).toString();
            if (other.isEmpty()) continue;
            const QString one = forms.value(QLatin1String("one")).toString();
            out.plural.insert(it.key(), Forms{one.isEmpty() ? other : one, other});
            out.plain.insert(it.key(), other);
        }
    }
    return true;
}

// Switches to the built-in table of `language`; false, changing nothing, without one.
bool useTable(Table& t, const QString& language)
{
    Texts texts;
    if (!readTable(":/l10n/" + language + ".json", texts)) return false;
    t.language = language;
    t.texts = std::move(texts);
    return true;
}

QLocale localeFor(const QString& language)
{
    if (language.isEmpty() || language == QLatin1String("en")) return QLocale(QLocale::English);
    return QLocale(QString(language).replace(QLatin1Char('-'), QLatin1Char('_')));
}

// Qt's own texts and QLocale() users follow the interface language; English keeps the
// locale the process started with.
void applyDefaultLocale(const QString& language)
{
    static const QLocale startUp;
    QLocale::setDefault(language == QLatin1String("en") ? startUp : localeFor(language));
}

void chooseSystemLanguage(Table& t)
{
    t.chosen = true;
    const QStringList available = L10n::availableLanguages();
    for (const QString& ui : QLocale::system().uiLanguages()) {
        QString lang = QString(ui).replace('_', '-').section('-', 0, 0).toLower();
        // Brazilian Portuguese by its region; any other Portuguese is European.
        if (lang == QLatin1String("pt"))
            lang = ui.contains(QLatin1String("BR"), Qt::CaseInsensitive) ? QStringLiteral("pt-BR")
                                                                         : QStringLiteral("pt-PT");
        if (lang == "en") return;
        if (available.contains(lang)) {
            if (useTable(t, lang)) applyDefaultLocale(lang);
            return;
        }
    }
}

// Qt's own texts (key names such as "Ctrl" in shortcuts, standard buttons and dialogs) come
// from Qt's translations for the interface language, when installed.
void applyQtTranslations(const QString& language)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    static QPointer<QTranslator> current;
    if (current) {
        QCoreApplication::removeTranslator(current);
        delete current;
    }
    if (language == QLatin1String("en")) return;
    auto* translator = new QTranslator(app);
    if (translator->load(localeFor(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        current = translator;
    } else {
        delete translator;
    }
}

} // namespace

QString L10n::text(const char* key, const char* english)
{
    const QString k = QString::fromUtf8(key);
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    if (!t.chosen) chooseSystemLanguage(t);
    auto it = t.texts.plain.constFind(k);
    if (it != t.texts.plain.constEnd()) return *it;
    return english ? QString::fromUtf8(english) : k;
}

QString L10n::pluralText(const char* one, const char* other, long long n)
{
    const QString k = QString::fromUtf8(other);
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    if (!t.chosen) chooseSystemLanguage(t);
    const bool singular = isOne(t.language, n);
    auto it = t.texts.plural.constFind(k);
    if (it != t.texts.plural.constEnd()) return singular ? it->one : it->other;
    // A language with a single form may store a bare string.
    auto plain = t.texts.plain.constFind(k);
    if (plain != t.texts.plain.constEnd()) return *plain;
    return singular ? QString::fromUtf8(one) : k;
}

bool L10n::isOne(const QString& language, long long n)
{
    if (language == QLatin1String("ja") || language == QLatin1String("ko")) return false;
    if (language == QLatin1String("fr") || language == QLatin1String("pt-BR"))
        return n == 0 || n == 1;
    return n == 1;
}

QLocale L10n::locale()
{
    return localeFor(language());
}

QString L10n::percent(double value, int decimals)
{
    const QString lang = language();
    const QString number = locale().toString(value, 'f', decimals);
    // French uses a narrow no-break space before the sign, German and Spanish a no-break space.
    if (lang == QLatin1String("fr")) return number + QChar(0x202F) + QLatin1Char('%');
    if (lang == QLatin1String("de") || lang == QLatin1String("es"))
        return number + QChar(0x00A0) + QLatin1Char('%');
    return number + QLatin1Char('%');
}

QString L10n::integerText(long long n)
{
    QLocale l = locale();
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(n);
}

QString L10n::decimalText(double n)
{
    QLocale l = locale();
    l.setNumberOptions(QLocale::OmitGroupSeparator);
    return l.toString(n, 'g', QLocale::FloatingPointShortest);
}

QString L10n::fill(const QString& pattern, const QStringList& args)
{
    // "%%", or a placeholder with its position counted from one ("%2$@") or without ("%lld").
    static const QRegularExpression placeholder(
        QStringLiteral("%(%|(?:(\\d+)\\$)?(?:lld|ld|@|d))"));
    QString out;
    qsizetype copied = 0;
    qsizetype next = 0;
    for (auto it = placeholder.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(pattern).mid(copied, match.capturedStart() - copied);
        copied = match.capturedEnd();
        if (match.capturedView(1) == u"%")
            out += QLatin1Char('%');
        else
            out += args.value(match.hasCaptured(2) ? match.captured(2).toLongLong() - 1 : next++);
    }
    return out.append(QStringView(pattern).mid(copied));
}

void L10n::setLanguage(const QString& language)
{
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    t.chosen = true;
    t.texts = {};
    t.language = QStringLiteral("en");
    if (!language.isEmpty() && language != "en") useTable(t, language);
    applyDefaultLocale(t.language);
    const QString chosen = t.language;
    lock.unlock();
    applyQtTranslations(chosen);
}

QString L10n::language()
{
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    return t.language;
}

bool L10n::loadTable(const QString& path)
{
    Texts texts;
    if (!readTable(path, texts)) return false;
    Table& t = table();
    QMutexLocker lock(&t.mutex);
    t.chosen = true;
    t.texts = std::move(texts);
    t.language = QFileInfo(path).baseName();
    return true;
}

QStringList L10n::availableLanguages()
{
    QStringList languages{QStringLiteral("en")};
    for (const QString& name : QDir(":/l10n").entryList({"*.json"}, QDir::Files, QDir::Name)) {
        languages.append(name.chopped(5));
    }
    return languages;
}

} // namespace snapkin::platform
